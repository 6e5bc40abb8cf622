// texel_lookup.cpp - the texel at a map coordinate, and at a point of a face
// through the map coordinates of its corners.
//
// Method: a point's barycentric weights come from signed areas in the plane
// projection that drops the normal's largest axis (as VekFace::CalcWeight,
// but from the given corners and normal, with ties going to the later
// axis); a quadrilateral is split along its diagonal from corner 1 to
// corner 3. The coordinate wraps with period 1; the lookup reads only the
// map and is safe on any number of threads.
#include <cmath>

#include "VekMap.h"
#include "intersection/face_tests.h"
#include "maps/texel.h"

namespace vek {
namespace {

// Axis of the largest |normal| component; a tie goes to the later axis.
int ProjectionAxis(const CG::vec3<float>& normal)
{
    int m = 0;
    if (std::fabs(normal.y) >= std::fabs(normal.x)) m = 1;
    if (std::fabs(normal.z) >= std::fabs(normal[m])) m = 2;
    return m;
}

// Component m of (Q - P) x (R - P): twice the signed area of P, Q, R in the projection.
float ProjectedAreaAlong(int m, const CG::vec3<float>& P, const CG::vec3<float>& Q, const CG::vec3<float>& R)
{
    return ProjectedArea(kAxisU[m], kAxisV[m], P, Q, R);
}

}  // namespace

void CalcMapWeights(const CG::vec3<float>& point, long vertexCount, const CG::vec3<float>* vertices,
                    const CG::vec3<float>& normal, CG::vec3<float>& weights, bool& half)
{
    // 1. The projection.
    const int m = ProjectionAxis(normal), u = kAxisU[m], v = kAxisV[m];
    const CG::vec3<float>* V = vertices;
    // Weights of point in the triangle (a, b, c) for a and b; c takes the rest.
    auto inTriangle = [&](const CG::vec3<float>& a, const CG::vec3<float>& b, const CG::vec3<float>& c) {
        const float area = ProjectedAreaAlong(m, a, b, c);
        weights.x = ProjectedAreaAlong(m, point, b, c) / area;
        weights.y = ProjectedAreaAlong(m, point, c, a) / area;
        weights.z = 1.0f - weights.x - weights.y;
    };
    // 2. A triangle.
    if (vertexCount != 4) {
        half = true;
        inTriangle(V[0], V[1], V[2]);
        return;
    }
    // 3. A quadrilateral: the side of the diagonal V1-V3 that holds point.
    const float s = ((V[3][u] - V[1][u]) * (point[v] - V[1][v]) - (V[3][v] - V[1][v]) * (point[u] - V[1][u])) *
                    normal[m];
    half = s > 0.0f;
    if (half)
        inTriangle(V[0], V[1], V[3]);
    else
        inTriangle(V[2], V[3], V[1]);
}

CG::vec3<float> InterpolateMapCoord(long vertexCount, const CG::vec3<float>& weights, bool half,
                                    const CG::vec3<float>* mapCoords)
{
    return InterpolateCorners(vertexCount == 4 ? 4 : 3, half, mapCoords, weights);
}

namespace {

unsigned char* TexelAtCoordinate(const _VekMap* map, const CG::vec3<float>& coord)
{
    if (!map || !map->pixels) return nullptr;
    // 1. The fractions of u and v, in [0, 1].
    const float fu = WrapCoordinate(coord.x);
    const float fv = WrapCoordinate(coord.y);
    // 2 and 3. Column and row, truncated and held inside the image.
    const int64_t x = TexelIndex(fu, map->width);
    const int64_t y = TexelIndex(fv, map->height);
    // 4. The texel's first byte.
    return TexelAt(*map, x, y);
}

}  // namespace
}  // namespace vek

unsigned char* VekMap_GetMapColor(CG::vec3<float>& coord, _VekMap* map)
{
    return vek::TexelAtCoordinate(map, coord);
}

unsigned char* VekMap_GetMapColor(CG::vec3<float>& point, long vertexCount, CG::vec3<float>* vertices,
                                  CG::vec3<float>* mapCoords, CG::vec3<float>& normal, _VekMap* map)
{
    if (!map || !map->pixels || !vertices || !mapCoords) return nullptr;
    CG::vec3<float> weights;
    bool half = true;
    vek::CalcMapWeights(point, vertexCount, vertices, normal, weights, half);
    return vek::TexelAtCoordinate(map, vek::InterpolateMapCoord(vertexCount, weights, half, mapCoords));
}
