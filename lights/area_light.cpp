// area_light.cpp - the area light: a face of its own type that emits.
//
// Its parameter block is built as a VekAreaLight in the block the light
// pool hands out, and gets the face set-up every surface gets (bounds,
// plane, main axis), so the host only adds ray marks (SetRayNumber) before
// registering it with the intersection engine, where its Type() keeps it
// apart from surfaces. The energy is spread over the polygon's area.
#include <cmath>
#include <new>

#include "VekMemory.h"
#include "VekTool.h"
#include "core/report.h"
#include "lights/light_common.h"

namespace {

constexpr const char* kName = "VekLight_InstanciateAreaLight";
// Below this area the energy density would be unbounded (the library's
// general zero tolerance).
constexpr float kMinArea = 1e-10f;

// The polygon's area: the triangle (0, 1, 2), for a quadrilateral plus the
// triangle (0, 2, 3), split along the diagonal from the first corner to the third.
float PolygonArea(int32_t count, float (*corners)[3])
{
    float area = VekTool_GetTriangleArea(corners[0], corners[1], corners[2]);
    if (count != 3) area += VekTool_GetTriangleArea(corners[0], corners[2], corners[3]);
    return area;
}

}  // namespace

VekAreaLight::VekAreaLight() : VekFace(), energyDensity(0.0f, 0.0f, 0.0f), area(0.0f), visible(0) {}

int VekAreaLight::Type() const { return VEK_FACE_TYPE_AREA_LIGHT; }

int32_t VekLight_InstanciateAreaLight(float* energy, int32_t vertexCount, float* corners, int32_t visible)
{
    if (!vek::HasVectors(kName, {energy, corners})) return -1;
    // A face has three or four corners, and a polygon without area (or with
    // a corner that is not a finite point) cannot carry an energy density:
    // such a shape makes no light, as a too short linear light makes none.
    if (vertexCount != 3 && vertexCount != 4) {
        vek::Warn(VEK_WARNING_BAD_SHAPE, kName);
        return -1;
    }
    auto* points = reinterpret_cast<float(*)[3]>(corners);
    const float area = PolygonArea(vertexCount, points);
    if (!(area >= kMinArea) || !std::isfinite(area)) {
        vek::Warn(VEK_WARNING_BAD_SHAPE, kName);
        return -1;
    }

    // 1. Common start; the block becomes a face.
    _VekLight* light = vek::StartLight(VEK_LIGHT_AREA);
    auto* a = new (light->parameters) VekAreaLight();
    vek::FloorEnergy(energy, a->energyDensity);

    // 2. Corners in order.
    a->vertexCount = vertexCount;
    for (int32_t i = 0; i < vertexCount; ++i) a->vertex[i] = CG::vec3<float>(points[i][0], points[i][1], points[i][2]);
    for (int32_t i = vertexCount; i < 4; ++i) a->vertex[i] = a->vertex[vertexCount - 1];

    // 3. Normal, oriented by the corner order.
    VekTool_GetPolygonNormal(vertexCount, points, &a->normal.x);

    // 4.-5. Area, visibility, energy per unit area.
    a->area = area;
    a->visible = visible;
    for (int k = 0; k < 3; ++k) a->energyDensity[k] /= area;

    // The face set-up; rayNumbers stay null and flags 0 for the host.
    a->SetBoundingBox();
    a->SetRaytraceInfo();
    return light->index;
}
