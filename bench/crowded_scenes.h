// crowded_scenes.h - crowded geometry that nested grids cannot separate
// well, inside the benchmark room: a disc of triangles sharing its centre, a
// lampshade cone, coincident copies of one square, a cluster of faces
// overlapping around one point, and billboards in a small box.
#pragma once

#include <cmath>
#include <random>

#include "room_scene.h"

namespace vekbench {

// The furnished room around each family: a few thousand triangles.
constexpr long kCrowdedRoomTriangles = 4000;
// Where the crowded geometry stands: above the table, clear of the torus.
const V3 kCrowdedSpot(10.0f, 8.0f, 3.2f);

inline void Quad(V3 a, V3 b, V3 c, V3 d)
{
    float p[12] = {a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z, d.x, d.y, d.z};
    VekSurface_Instanciate(4, p, nullptr, nullptr);
}

// n triangles from apex to a circle of radius about centre, in z = centre.z.
inline void Fan(V3 apex, V3 centre, float radius, int n)
{
    for (int i = 0; i < n; ++i) {
        const float a = 6.2831853f * i / n, b = 6.2831853f * (i + 1) / n;
        Triangle(apex, centre + V3(radius * std::cos(a), radius * std::sin(a), 0),
                 centre + V3(radius * std::cos(b), radius * std::sin(b), 0));
    }
}

// A round table top of n triangles sharing its centre.
inline void Disc(int n) { Fan(kCrowdedSpot, kCrowdedSpot, 0.5f, n); }

// A lampshade: n triangles from the apex to a circle below it.
inline void Cone(int n) { Fan(kCrowdedSpot, kCrowdedSpot - V3(0, 0, 0.15f), 0.45f, n); }

// n copies of one 4 m x 4 m square: a layer imported n times.
inline void Coincident(int n)
{
    const V3 c = kCrowdedSpot - V3(2, 2, 0);
    for (int i = 0; i < n; ++i) Quad(c, c + V3(4, 0, 0), c + V3(4, 4, 0), c + V3(0, 4, 0));
}

// n triangles of about 0.6 m in every direction, all within a few
// centimetres of one point: a detailed luminaire, foliage.
inline void Cluster(int n)
{
    std::mt19937 rng(3);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    auto around = [&] { return kCrowdedSpot + V3(uni(-0.3f, 0.3f), uni(-0.3f, 0.3f), uni(-0.3f, 0.3f)); };
    for (int i = 0; i < n; ++i) {
        const V3 centre = kCrowdedSpot + V3(uni(-0.03f, 0.03f), uni(-0.03f, 0.03f), uni(-0.03f, 0.03f));
        const V3 a = around(), b = around();
        Triangle(a, b, centre * 3.0f - a - b);  // centred on centre
    }
}

// n vertical billboards of 0.6 m x 1 m, all within 0.1 m.
inline void Billboards(int n)
{
    std::mt19937 rng(4);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    VekSurface_SetFlags(VEK_FACE_BILLBOARD);
    for (int i = 0; i < n; ++i) {
        const V3 c = kCrowdedSpot + V3(uni(-0.05f, 0.05f), uni(-0.05f, 0.05f), uni(-0.05f, 0.05f)) - V3(0, 0, 1);
        Quad(c, c + V3(0.6f, 0, 0), c + V3(0.6f, 0, 1), c + V3(0, 0, 1));
    }
    VekSurface_SetFlags(0);
}

inline void BuildCrowdedScene(void (*family)(int), int n)
{
    VekMain_End();
    VekMain_Initialize();
    BuildRoom(kCrowdedRoomTriangles);
    VekSurface_SetAttributeName(const_cast<char*>("wood"));
    family(n);
    VekIntersection_Initialize();
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        s->SetRayNumber();
        VekIntersection_RegisterSurface(s);
    }
}

}  // namespace vekbench
