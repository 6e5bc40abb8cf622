// knot_scene.h - a single mesh of about 60k triangles for the peer
// comparison: a (3, 7) torus knot tube, which hides much of itself, over a
// floor large enough that a camera beside the knot stands inside the scene
// box (the library's walks from an origin need that).
#pragma once

#include <cmath>

#include "room_scene.h"

namespace vekbench {

// The knot lies within 3.4 of the z axis and 1.4 of z = 0.
const V3 kKnotCamera(0.3f, -7.0f, 0.6f);
const V3 kKnotLookAt(0.0f, 0.0f, -0.3f);
const V3 kKnotLamp(2.5f, -2.5f, 1.3f);
const V3 kKnotBoxMin(-7.5f, -7.5f, -1.5f), kKnotBoxMax(7.5f, 7.5f, 1.35f);

inline V3 KnotCurve(float t)
{
    const float r = 2.0f + std::cos(7.0f * t);
    return V3(r * std::cos(3.0f * t), r * std::sin(3.0f * t), -std::sin(7.0f * t));
}

// segments x sides x 2 triangles of the tube, plus two for the floor.
inline void BuildKnot(int segments = 600, int sides = 50, float radius = 0.35f)
{
    float grey[3] = {0.6f, 0.6f, 0.6f};
    VekAttribute_SetDiffuse(grey);
    VekAttribute_Instanciate(const_cast<char*>("knot"));
    VekSurface_SetAttributeName(const_cast<char*>("knot"));
    constexpr float kTwoPi = 6.2831853f;
    auto at = [&](int i, int j) {
        // A frame along the curve from its tangent and the z axis.
        const float t = kTwoPi * static_cast<float>(i) / segments, h = 1e-3f;
        const V3 c = KnotCurve(t), tangent = KnotCurve(t + h) - KnotCurve(t - h);
        V3 side = CG::cross(tangent, V3(0, 0, 1));
        side = side * (1.0f / std::sqrt(CG::dot(side, side)));
        V3 up = CG::cross(side, tangent);
        up = up * (1.0f / std::sqrt(CG::dot(up, up)));
        const float a = kTwoPi * static_cast<float>(j) / sides;
        return c + side * (radius * std::cos(a)) + up * (radius * std::sin(a));
    };
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < sides; ++j) {
            Triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            Triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    const float z = kKnotBoxMin.z, lo = kKnotBoxMin.x, hi = kKnotBoxMax.x;
    Triangle(V3(lo, lo, z), V3(hi, lo, z), V3(hi, hi, z));
    Triangle(V3(lo, lo, z), V3(hi, hi, z), V3(lo, hi, z));
}

}  // namespace vekbench
