// vector_math.h - the few vector operations the example needs on top of
// CG::vec3 (which brings +, -, scaling, dot and cross): lengths, unit
// vectors, component-wise products and the luminance of an RGB triple.
#pragma once

#include <cmath>

#include <VekTypes.h>

namespace example {

using Vec3 = CG::vec3<float>;

// A position in plan (world x, y).
struct Vec2 {
    float x, y;
};

inline float Length(const Vec3& v) { return std::sqrt(CG::dot(v, v)); }

// v scaled to unit length; a zero vector stays zero.
inline Vec3 Normalized(const Vec3& v)
{
    float length = Length(v);
    return length > 0.0f ? v * (1.0f / length) : v;
}

inline Vec3 Multiply(const Vec3& a, const Vec3& b) { return Vec3(a.x * b.x, a.y * b.y, a.z * b.z); }

// Photometric weight of an RGB triple (Rec. 709 primaries): a light colour
// whose luminance is 1 carries its intensity unchanged into lux.
inline float Luminance(const Vec3& rgb) { return 0.2126f * rgb.x + 0.7152f * rgb.y + 0.0722f * rgb.z; }

// rgb scaled so that its luminance is 1 (white when it has none).
inline Vec3 UnitLuminance(const Vec3& rgb)
{
    float y = Luminance(rgb);
    return y > 0.0f ? rgb * (1.0f / y) : Vec3(1.0f, 1.0f, 1.0f);
}

}  // namespace example
