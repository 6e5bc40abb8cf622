// instanciate.cpp - turning a host polygon into a surface ready for the
// intersection engine: cleaning (duplicate and collinear corners, fold-backs),
// the planarity split, the face normal, corner normals and the smooth mark,
// map coordinates, the attribute by name, and the reversed back side of a
// double-sided surface.
#include <cmath>
#include <cstring>

#include "VekAttribute.h"
#include "VekMemory.h"
#include "VekSurface.h"
#include "VekTool.h"
#include "core/report.h"
#include "scene/attribute.h"
#include "scene/instanciate.h"
#include "scene/surface_state.h"

namespace vek {
namespace {

const char* const kName = "VekSurface_Instanciate";

// Corners closer than this are one corner.
constexpr float kDuplicateDistance = 1e-6f;
// cos(0.1 degree): edges this close to straight drop the corner between
// them; this close to reversed, the outline folds back on itself.
constexpr double kStraightCosine = 0.999998477;
constexpr float kStraightCosineF = 0.999998477f;
// A quadrilateral whose fourth corner leaves the plane of the first three by
// more than this (normalised triple product, compared in double precision)
// is not planar.
constexpr double kPlanarity = 1e-10;

constexpr uint32_t kSmoothFlag = VEK_FACE_SMOOTH;
constexpr uint32_t kMapFlag = VEK_FACE_HAS_MAP_COORDS;

struct Corners {
    int count = 0;
    float position[4][3];
    float normal[4][3];
    float mapCoord[4][3];
};

enum class Cleaned { kBadShape, kChanged, kUnchanged };

void Sub(const float* a, const float* b, float* out)
{
    for (int k = 0; k < 3; ++k) out[k] = a[k] - b[k];
}

// True when the first count * 3 values of an optional array are finite.
bool AllFinite(const float* values, int count)
{
    if (!values) return true;
    for (int k = 0; k < 3 * count; ++k)
        if (!std::isfinite(values[k])) return false;
    return true;
}

Cleaned Clean(long count, const float* positions, const float* normals, const float* mapCoords, Corners& out)
{
    // 1. Only triangles and quadrilaterals. Corners, corner normals and map
    //    coordinates that are not finite make no shape either: such a face
    //    could not be placed in the grid, shaded or textured.
    if (count < 3 || count > 4 || !positions) return Cleaned::kBadShape;
    const int n = static_cast<int>(count);
    auto P = [&](int i) { return positions + 3 * i; };
    if (!AllFinite(positions, n) || !AllFinite(normals, n) || !AllFinite(mapCoords, n)) return Cleaned::kBadShape;

    // 2. Duplicates: keep a corner only if it is apart from the one before it.
    int kept[4];
    int m = 0;
    for (int i = 0; i < n; ++i) {
        float d[3];
        Sub(P(i), P(i == 0 ? n - 1 : i - 1), d);
        if (std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) > kDuplicateDistance) kept[m++] = i;
    }
    if (m < 3) return Cleaned::kBadShape;

    // 3. Collinear corners and fold-backs, judged against the kept neighbours.
    bool dropped[4] = {false, false, false, false};
    int remaining = m;
    for (int k = 0; k < m; ++k) {
        float a[3], b[3];
        Sub(P(kept[k]), P(kept[k == 0 ? m - 1 : k - 1]), a);
        Sub(P(kept[k == m - 1 ? 0 : k + 1]), P(kept[k]), b);
        VekTool_Normalize(a, a);
        VekTool_Normalize(b, b);
        const float d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
        if (static_cast<double>(d) > kStraightCosine) {
            dropped[k] = true;
            --remaining;
        } else if (static_cast<double>(d) < -kStraightCosine) {
            return Cleaned::kBadShape;
        }
    }
    // 4.
    if (remaining < 3) return Cleaned::kBadShape;

    // 5. The corners that stay, in order.
    out.count = 0;
    for (int k = 0; k < m; ++k) {
        if (dropped[k]) continue;
        const int i = kept[k];
        std::memcpy(out.position[out.count], P(i), sizeof(float) * 3);
        if (normals) std::memcpy(out.normal[out.count], normals + 3 * i, sizeof(float) * 3);
        if (mapCoords) std::memcpy(out.mapCoord[out.count], mapCoords + 3 * i, sizeof(float) * 3);
        ++out.count;
    }
    // 6.
    return out.count < n ? Cleaned::kChanged : Cleaned::kUnchanged;
}

bool IsPlanarQuad(const Corners& c)
{
    float e1[3], e3[3], d[3];
    Sub(c.position[1], c.position[0], e1);
    Sub(c.position[3], c.position[0], e3);
    Sub(c.position[2], c.position[0], d);
    float n[3] = {e1[1] * e3[2] - e1[2] * e3[1], e1[2] * e3[0] - e1[0] * e3[2], e1[0] * e3[1] - e1[1] * e3[0]};
    VekTool_Normalize(n, n);
    VekTool_Normalize(d, d);
    const float product = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    return !(std::fabs(static_cast<double>(product)) > kPlanarity);
}

// The two triangles (0, 1, 3) and (1, 2, 3) of a non-planar quadrilateral,
// each a full single-sided surface of its own.
void SplitQuad(const Corners& c, bool withNormals, bool withMaps)
{
    static const int kTriangles[2][3] = {{0, 1, 3}, {1, 2, 3}};
    for (const auto& tri : kTriangles) {
        float p[3][3], nrm[3][3], uv[3][3];
        for (int k = 0; k < 3; ++k) {
            std::memcpy(p[k], c.position[tri[k]], sizeof p[k]);
            std::memcpy(nrm[k], c.normal[tri[k]], sizeof nrm[k]);
            std::memcpy(uv[k], c.mapCoord[tri[k]], sizeof uv[k]);
        }
        InstanciateSurface(3, &p[0][0], withNormals ? &nrm[0][0] : nullptr, withMaps ? &uv[0][0] : nullptr, false);
    }
}

CG::vec3<float> Vec(const float* p) { return CG::vec3<float>(p[0], p[1], p[2]); }

// Steps 5 to 10 of a front side.
void FillFront(VekSurface* s, const Corners& c, VekAttribute* attribute, bool withNormals, bool withMaps,
               bool doubleSided)
{
    const SurfaceState& state = CurrentSurfaceState();
    s->attribute = attribute;
    s->vertexCount = c.count;
    for (int i = 0; i < c.count; ++i) s->vertex[i] = Vec(c.position[i]);

    float positions[4][3];
    std::memcpy(positions, c.position, sizeof positions);
    VekTool_GetPolygonNormal(c.count, positions, &s->normal.x);

    // Corner normals: the face normal, or the given ones at unit length. A
    // corner whose normal leaves the face normal makes the surface smooth;
    // on a double-sided surface a normal straight against it does not.
    bool smooth = false;
    for (int i = 0; i < c.count; ++i) {
        if (!withNormals) {
            s->vertexNormal[i] = s->normal;
            continue;
        }
        float nrm[3] = {c.normal[i][0], c.normal[i][1], c.normal[i][2]};
        if (nrm[0] != 0.0f || nrm[1] != 0.0f || nrm[2] != 0.0f) VekTool_Normalize(nrm, nrm);
        s->vertexNormal[i] = Vec(nrm);
        const float d = CG::dot(s->vertexNormal[i], s->normal);
        if (doubleSided ? (-kStraightCosineF < d && d < kStraightCosineF) : (d < kStraightCosineF)) smooth = true;
    }

    if (withMaps) {
        for (int i = 0; i < c.count; ++i) s->mapCoord[i] = Vec(c.mapCoord[i]);
        s->mapWrap = static_cast<uint32_t>(state.wrapU + 256 * state.wrapV + 65536 * state.wrapW);
    } else {
        for (int i = 0; i < c.count; ++i) s->mapCoord[i] = CG::vec3<float>(0, 0, 0);
        s->mapWrap = 0;
    }

    s->twin = nullptr;
    s->reserved = 0;
    s->flags = state.flags;
    s->groupNumber = state.groupCounter;
    if (smooth) s->flags |= kSmoothFlag;
    if (withMaps) s->flags |= kMapFlag;
    s->SetBoundingBox();
    s->SetRaytraceInfo();
}

// The back side: the front's corners in reverse order with negated corner
// normals, and the polygon normal of those reversed corners by Newell's
// method. The sum of corner cross products cancels heavily for a small face
// far from the origin, so it is formed in double precision; the result is
// then the exact opposite of the front's normal but for the last rounding.
void FillBack(VekSurface* back, const VekSurface* front)
{
    const int n = front->vertexCount;
    back->attribute = front->attribute;
    back->vertexCount = n;
    for (int i = 0; i < n; ++i) {
        back->vertex[n - 1 - i] = front->vertex[i];
        back->vertexNormal[n - 1 - i] = -front->vertexNormal[i];
        back->mapCoord[n - 1 - i] = front->mapCoord[i];
    }
    CG::vec3<double> sum(0, 0, 0);
    for (int i = 0; i < n; ++i) {
        const CG::vec3<float>& a = back->vertex[i];
        const CG::vec3<float>& b = back->vertex[(i + 1) % n];
        sum += CG::cross(CG::vec3<double>(a.x, a.y, a.z), CG::vec3<double>(b.x, b.y, b.z));
    }
    const double length = std::sqrt(CG::dot(sum, sum));
    if (length > 0.0) sum = CG::vec3<double>(sum.x / length, sum.y / length, sum.z / length);
    back->normal = CG::vec3<float>(static_cast<float>(sum.x), static_cast<float>(sum.y), static_cast<float>(sum.z));
    back->mapWrap = front->mapWrap;
    back->reserved = 0;
    back->flags = front->flags | VEK_FACE_BACK_SIDE;
    back->groupNumber = CurrentSurfaceState().groupCounter;
}

}  // namespace

VekSurface* InstanciateSurface(long count, const float* positions, const float* normals, const float* mapCoords,
                               bool doubleSided)
{
    // 1. Cleaning.
    Corners c;
    const Cleaned outcome = Clean(count, positions, normals, mapCoords, c);
    if (outcome == Cleaned::kBadShape) {
        Warn(VEK_WARNING_BAD_SHAPE, kName);
        return nullptr;
    }
    if (outcome == Cleaned::kChanged) Warn(VEK_WARNING_DUPLICATE_POSITION, kName);

    // 2. A non-planar quadrilateral becomes two single-sided triangles.
    if (g_mainValueTable.checkVertexOnOnePlane && c.count == 4 && !IsPlanarQuad(c)) {
        SplitQuad(c, normals != nullptr, mapCoords != nullptr);
        Warn(VEK_WARNING_BAD_SHAPE, kName);
        return nullptr;
    }

    // 3-4. The attribute is found before the record is taken, so that a
    // failed lookup leaves no half-built surface in the list or the count.
    VekAttribute* attribute = FindAttribute(CurrentSurfaceState().attributeName);
    if (!attribute) Fail(VEK_ERROR_INVALID_NAME, kName);

    // 5-10.
    VekSurface* front = VekMemory_AllocateSurface();
    FillFront(front, c, attribute, normals != nullptr, mapCoords != nullptr, doubleSided);
    if (doubleSided) {
        VekSurface* back = VekMemory_AllocateSurface();
        FillBack(back, front);
        front->twin = back;
        back->twin = front;
        back->SetBoundingBox();
        back->SetRaytraceInfo();
    }
    return front;
}

}  // namespace vek

// 11. The slot number of the (front) surface, or 0 when none was made.
long VekSurface_Instanciate(long count, float* positions, float* normals, float* mapCoords)
{
    VekSurface* s = vek::InstanciateSurface(count, positions, normals, mapCoords, false);
    return s ? VekSurface_GetIndex(s) : 0;
}

long VekSurface_InstanciateDouble(long count, float* positions, float* normals, float* mapCoords)
{
    VekSurface* s = vek::InstanciateSurface(count, positions, normals, mapCoords, true);
    return s ? VekSurface_GetIndex(s) : 0;
}
