// face.cpp - the face record: set-up for ray tracing, the exported ray-face
// tests (bodies in face_tests.h), barycentric weights and interpolation.
#include <algorithm>
#include <cstring>

#include "VekFace.h"
#include "VekMainMemory.h"
#include "intersection/face_tests.h"

const int32_t modulo3[5] = {0, 1, 2, 0, 1};

namespace {

// Empty bounds: any corner widens them.
constexpr float kEmpty = 1e38f;

using vek::ProjectedArea;

}  // namespace

VekFace::VekFace()
    : boundsMin(kEmpty, kEmpty, kEmpty), boundsMax(-kEmpty, -kEmpty, -kEmpty), rayNumbers(nullptr), flags(0)
{
}

VekFace::VekFace(const VekFace& other) = default;
VekFace& VekFace::operator=(const VekFace& other) = default;

void VekFace::SetBoundingBox()
{
    boundsMin = boundsMax = vertex[0];
    const int n = std::min<int32_t>(vertexCount, 4);
    for (int i = 1; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            boundsMin[k] = std::min(boundsMin[k], vertex[i][k]);
            boundsMax[k] = std::max(boundsMax[k], vertex[i][k]);
        }
    }
}

void VekFace::SetRaytraceInfo()
{
    planeOffset = normal.x * vertex[0].x + normal.y * vertex[0].y + normal.z * vertex[0].z;
    mainAxis = GetMainAxis(normal);
}

void VekFace::SetRayNumber()
{
    // Every grid keeps 64 per-thread counters; a threadCount outside 1..64
    // is held to that range so no thread's mark lies outside the array.
    const long count = std::clamp<int32_t>(g_mainValueTable.threadCount, 1, VEK_MAX_THREADS);
    rayNumbers = reinterpret_cast<uint32_t*>(VekMainMemory_AllocateRaytraceNumber(count));
    std::memset(rayNumbers, 0, sizeof(uint32_t) * count);
}

int8_t VekFace::GetMainAxis(const CG::vec3<float>& n)
{
    const float x = std::fabs(n.x), y = std::fabs(n.y), z = std::fabs(n.z);
    if (x >= y && x >= z) return 0;
    if (x < y && y >= z) return 1;
    return 2;
}

bool VekFace::CheckInOut(const CG::vec3<float>& p) const { return vek::InsideFace(*this, p); }

bool VekFace::CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin,
                                float tMax) const
{
    float t;
    CG::vec3<float> point;
    return vek::IntersectFace(*this, origin, direction, tMin, tMax, t, point);
}

bool VekFace::CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin,
                                float tMax, HitInfo& hit) const
{
    float t;
    CG::vec3<float> point;
    if (!vek::IntersectFace(*this, origin, direction, tMin, tMax, t, point)) return false;
    hit.t = t;
    hit.point = point;
    hit.face = const_cast<VekFace*>(this);
    return true;
}

void VekFace::CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin,
                                float tMax, long cull, HitInfo& hit) const
{
    if (cull && !(CG::dot(normal, direction) < 0.0f)) return;
    CheckIntersection(origin, direction, tMin, tMax, hit);
}

bool VekFace::CalcWeight(const CG::vec3<float>& p, CG::vec3<float>& weights) const
{
    const int m = mainAxis, u = vek::kAxisU[m], v = vek::kAxisV[m];
    const CG::vec3<float>* V = vertex;
    if (vertexCount != 4) {
        const float area = ProjectedArea(u, v, V[0], V[1], V[2]);
        weights.x = ProjectedArea(u, v, p, V[1], V[2]) / area;
        weights.y = ProjectedArea(u, v, p, V[2], V[0]) / area;
        weights.z = 1.0f - weights.x - weights.y;
        return true;
    }
    // Which side of the diagonal from corner 1 to corner 3 holds p.
    const float s = ((V[3][u] - V[1][u]) * (p[v] - V[1][v]) - (V[3][v] - V[1][v]) * (p[u] - V[1][u])) * normal[m];
    if (s > 0.0f) {
        const float area = ProjectedArea(u, v, V[0], V[1], V[3]);
        weights.x = ProjectedArea(u, v, p, V[1], V[3]) / area;
        weights.y = ProjectedArea(u, v, p, V[3], V[0]) / area;
        weights.z = 1.0f - weights.x - weights.y;
        return true;
    }
    const float area = ProjectedArea(u, v, V[1], V[2], V[3]);
    weights.x = ProjectedArea(u, v, p, V[3], V[1]) / area;
    weights.y = ProjectedArea(u, v, p, V[1], V[2]) / area;
    weights.z = 1.0f - weights.x - weights.y;
    return false;
}

CG::vec3<float> VekFace::InterpolateParam(bool half, const CG::vec3<float>* values,
                                          const CG::vec3<float>& weights) const
{
    return vek::InterpolateCorners(vertexCount, half, values, weights);
}
