// sampling.h - random numbers and directions for the Monte Carlo parts.
// Every receiver seeds its own generator from its number, so a result does
// not depend on which thread computed it or in what order.
#pragma once

#include <cmath>
#include <cstdint>

#include "vector_math.h"

namespace example {

// PCG32 (O'Neill): small state, good statistics, cheap enough per ray.
class Random {
public:
    explicit Random(uint64_t seed, uint64_t stream = 1) : state_(0), increment_((stream << 1) | 1)
    {
        Next();
        state_ += seed;
        Next();
    }
    uint32_t Next()
    {
        uint64_t old = state_;
        state_ = old * 6364136223846793005ull + increment_;
        uint32_t shifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
        uint32_t rotation = static_cast<uint32_t>(old >> 59);
        return (shifted >> rotation) | (shifted << ((32 - rotation) & 31));
    }
    // Uniform in [0, 1).
    float Uniform() { return (Next() >> 8) * (1.0f / 16777216.0f); }

private:
    uint64_t state_;
    uint64_t increment_;
};

// A direction about unit normal n with density cos / pi (Malley's method:
// a uniform point on the disc lifted to the hemisphere), from u1, u2 in [0, 1).
inline Vec3 CosineDirection(const Vec3& n, float u1, float u2)
{
    // An orthonormal frame around n (Duff et al., branchless).
    float sign = std::copysign(1.0f, n.z);
    float a = -1.0f / (sign + n.z), b = n.x * n.y * a;
    Vec3 t(1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x);
    Vec3 s(b, sign + n.y * n.y * a, -n.y);
    float r = std::sqrt(u1), phi = 6.2831853f * u2;
    float z = std::sqrt(std::fmax(0.0f, 1.0f - u1));
    return t * (r * std::cos(phi)) + s * (r * std::sin(phi)) + n * z;
}

}  // namespace example
