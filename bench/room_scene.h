// room_scene.h - a real-looking benchmark scene of a chosen triangle count:
// a room (floor, walls, ceiling) with furniture made of subdivided boxes and
// a finely tessellated torus on a table, built through the exported scene
// calls as a host would.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "Vek.h"

namespace vekbench {

using V3 = CG::vec3<float>;

inline void Triangle(V3 a, V3 b, V3 c)
{
    float p[9] = {a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z};
    VekSurface_Instanciate(3, p, nullptr, nullptr);
}

// A parallelogram corner + s u + t v, s and t in [0, 1], as n x n cells of
// two triangles each.
inline void Patch(V3 corner, V3 u, V3 v, int n)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            auto at = [&](int a, int b) {
                return corner + u * (static_cast<float>(a) / n) + v * (static_cast<float>(b) / n);
            };
            Triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            Triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
}

// An axis-aligned box of six patches.
inline void Box(V3 lo, V3 hi, int n)
{
    const V3 dx(hi.x - lo.x, 0, 0), dy(0, hi.y - lo.y, 0), dz(0, 0, hi.z - lo.z);
    Patch(lo, dy, dx, n);
    Patch(lo + dz, dx, dy, n);
    Patch(lo, dx, dz, n);
    Patch(lo + dy, dz, dx, n);
    Patch(lo, dz, dy, n);
    Patch(lo + dx, dy, dz, n);
}

inline void Torus(V3 centre, float major, float minor, int rings, int sides)
{
    auto at = [&](int i, int j) {
        const float a = 6.2831853f * static_cast<float>(i) / rings, b = 6.2831853f * static_cast<float>(j) / sides;
        const float r = major + minor * std::cos(b);
        return centre + V3(r * std::cos(a), r * std::sin(a), minor * std::sin(b));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j) {
            Triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            Triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
}

inline V3 Normalized(V3 v) { return v * (1.0f / std::sqrt(CG::dot(v, v))); }

// The directions of a camera image of size x size pixels, 60 degrees wide,
// from eye towards lookAt (z up), row by row from the top.
inline std::vector<V3> CameraDirections(const V3& eye, const V3& lookAt, int size)
{
    const V3 forward = Normalized(lookAt - eye);
    const V3 right = Normalized(CG::cross(forward, V3(0, 0, 1)));
    const V3 up = CG::cross(right, forward);
    const float half = std::tan(0.5236f);
    std::vector<V3> directions;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = (2.0f * (x + 0.5f) / size - 1.0f) * half, v = (1.0f - 2.0f * (y + 0.5f) / size) * half;
            directions.push_back(Normalized(forward + right * u + up * v));
        }
    return directions;
}

// A fresh library with two ray threads, the scene build() makes, every
// surface registered and the environment prepared for one light.
template <class Build>
void PrepareFreshScene(Build build)
{
    VekMain_End();
    VekMain_Initialize();
    g_mainValueTable.threadCount = 2;
    build();
    VekIntersection_Initialize();
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        s->SetRayNumber();
        VekIntersection_RegisterSurface(s);
    }
    VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(1);
}

// Room of 20 x 16 x 6; about half the triangles in the torus, the rest in
// the room and 40 pieces of furniture. The torus is glass unless opaque is
// asked for (as when a peer that knows no transparency casts the same rays).
constexpr float kRoomX = 20, kRoomY = 16, kRoomZ = 6;
const V3 kTorusCentre(10, 8, 1.6f);

inline void BuildRoom(long triangles, bool opaque = false)
{
    float half[3] = {0.5f, 0.5f, 0.5f};
    VekAttribute_SetTransparency(half);
    VekAttribute_Instanciate(const_cast<char*>("glass"));
    float none[3] = {0, 0, 0};
    VekAttribute_SetTransparency(none);
    VekAttribute_Instanciate(const_cast<char*>("wood"));
    VekSurface_SetAttributeName(const_cast<char*>("wood"));
    // 1. The torus: rings x sides x 2 = triangles / 2.
    const int sides = std::max(8, static_cast<int>(std::sqrt(triangles / 16.0)));
    const int rings = std::max(8, static_cast<int>(triangles / 4 / sides));
    VekSurface_SetAttributeName(const_cast<char*>(opaque ? "wood" : "glass"));
    Torus(kTorusCentre, 1.2f, 0.4f, rings, sides);
    VekSurface_SetAttributeName(const_cast<char*>("wood"));
    // 2. The room shell: floor, ceiling, four walls.
    const long rest = triangles - 2L * rings * sides;
    const int shell = std::max(1, static_cast<int>(std::sqrt(rest / 4.0 / 12.0)));
    Box(V3(0, 0, 0), V3(kRoomX, kRoomY, kRoomZ), shell);
    // 3. Furniture on a regular plan with varied sizes: tables, shelves, cabinets.
    const long perPiece = std::max(12L, (rest - 12L * shell * shell) / 40);
    const int n = std::max(1, static_cast<int>(std::sqrt(perPiece / 12.0)));
    Box(kTorusCentre - V3(1.6f, 1.6f, 1.6f), kTorusCentre + V3(1.6f, 1.6f, -0.85f), n);  // the table
    for (int k = 0; k < 39; ++k) {
        const float x = 1.0f + static_cast<float>(k % 8) * 2.4f, y = 1.0f + static_cast<float>(k / 8) * 3.0f;
        if (std::fabs(x - kTorusCentre.x) < 3 && std::fabs(y - kTorusCentre.y) < 3) continue;
        const float w = 0.6f + 0.15f * static_cast<float>(k % 5), h = 0.5f + 0.35f * static_cast<float>(k % 6);
        Box(V3(x, y, 0), V3(x + w, y + 0.8f, h), n);
    }
}

}  // namespace vekbench
