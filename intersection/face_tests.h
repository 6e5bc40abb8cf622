// face_tests.h - the ray-face tests, inline, so that the exported VekFace
// members and the grid walks share one body and the walks can inline it.
//
// Method: plane intersection (t from the plane equation), then a 2-D
// edge-sign test in the projection that drops the face's main axis. Every
// comparison is the library's exact rule: strict (tMin, tMax), an absolute
// parallel threshold, and edge values that accept either winding.
#pragma once

#include <cmath>

#include "VekFace.h"

namespace vek {

// |normal . direction| at or below this counts as parallel: no hit. The
// threshold is absolute, not relative to the direction's length.
constexpr float kParallelEpsilon = 0.001f;

// The two axes kept by the projection that drops axis a.
constexpr int kAxisU[3] = {1, 2, 0};
constexpr int kAxisV[3] = {2, 0, 1};

// The inside test in the projection, on corners given as (u, v) pairs by
// corner(i), for a point (pu, pv) and projected bounds [uLo, uHi] x [vLo, vHi].
template <class Corner>
inline bool InsideProjected(int n, float pu, float pv, float uLo, float uHi, float vLo, float vHi, Corner corner)
{
    // 1. Bounding box in the projection, before any edge test.
    if (pu < uLo || pu > uHi || pv < vLo || pv > vHi) return false;
    // 2. Edge values E(A, B) = (B.u - A.u)(p.v - A.v) - (B.v - A.v)(p.u - A.u).
    auto edge = [&](int a, int b) {
        float au, av, bu, bv;
        corner(a, au, av);
        corner(b, bu, bv);
        return (bu - au) * (pv - av) - (bv - av) * (pu - au);
    };
    // 3. The first edge decides the winding: all others strictly positive
    //    after a positive first edge, else all at most zero.
    if (edge(0, 1) > 0.0f) {
        for (int i = 1; i < n; ++i)
            if (!(edge(i, i + 1 == n ? 0 : i + 1) > 0.0f)) return false;
    } else {
        for (int i = 1; i < n; ++i)
            if (!(edge(i, i + 1 == n ? 0 : i + 1) <= 0.0f)) return false;
    }
    return true;
}

inline bool InsideFace(const VekFace& f, const CG::vec3<float>& p)
{
    const int u = kAxisU[f.mainAxis];
    const int v = kAxisV[f.mainAxis];
    return InsideProjected(f.vertexCount == 4 ? 4 : 3, p[u], p[v], f.boundsMin[u], f.boundsMax[u], f.boundsMin[v],
                           f.boundsMax[v], [&](int i, float& cu, float& cv) {
                               cu = f.vertex[i][u];
                               cv = f.vertex[i][v];
                           });
}

// Ray parameter of the plane crossing inside (tMin, tMax) and the point; false
// when parallel or outside the interval. A NaN anywhere fails the interval test.
inline bool HitPlane(const CG::vec3<float>& normal, float planeOffset, const CG::vec3<float>& origin,
                     const CG::vec3<float>& direction, float tMin, float tMax, float& t, CG::vec3<float>& point)
{
    const float denom = CG::dot(normal, direction);
    if (std::fabs(denom) <= kParallelEpsilon) return false;
    t = (planeOffset - CG::dot(normal, origin)) / denom;
    if (!(tMin < t && t < tMax)) return false;
    point = CG::vec3<float>(origin.x + t * direction.x, origin.y + t * direction.y, origin.z + t * direction.z);
    return true;
}

inline bool IntersectFace(const VekFace& f, const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                          float tMin, float tMax, float& t, CG::vec3<float>& point)
{
    return HitPlane(f.normal, f.planeOffset, origin, direction, tMin, tMax, t, point) && InsideFace(f, point);
}

// A(P, Q, R) in the projection that keeps axes u and v: the dropped axis's
// component of (Q - P) x (R - P), twice the signed projected area.
inline float ProjectedArea(int u, int v, const CG::vec3<float>& P, const CG::vec3<float>& Q,
                           const CG::vec3<float>& R)
{
    return (Q[u] - P[u]) * (R[v] - P[v]) - (Q[v] - P[v]) * (R[u] - P[u]);
}

// w0 a + w1 b + w2 c over the three corners that barycentric weights refer
// to: 0, 1, 2 of a triangle; 0, 1, 3 (half) or 2, 3, 1 of a quadrilateral.
inline CG::vec3<float> InterpolateCorners(int32_t vertexCount, bool half, const CG::vec3<float>* values,
                                          const CG::vec3<float>& w)
{
    int a = 0, b = 1, c = 2;
    if (vertexCount == 4) {
        if (half) {
            c = 3;
        } else {
            a = 2;
            b = 3;
            c = 1;
        }
    }
    return CG::vec3<float>(w.x * values[a].x + w.y * values[b].x + w.z * values[c].x,
                           w.x * values[a].y + w.y * values[b].y + w.z * values[c].y,
                           w.x * values[a].z + w.y * values[b].z + w.z * values[c].z);
}

}  // namespace vek
