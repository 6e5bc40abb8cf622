// texel.h - addressing texels of a map's image, shared by the lookups and
// the average colour.
//
// A map that holds pixels always describes them exactly: width and height
// of at least 1, 1, 3 or 4 components, and a byte count within
// kMaxImageBytes (image binding guarantees it), so offsets computed here in
// size_t never overflow.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "VekMap.h"

namespace vek {

// The fraction of a map coordinate, c - floor(c), in [0, 1]; it reaches 1
// only when a tiny negative c rounds up. floorf is taken directly instead of
// through a 32-bit integer: the result is the same wherever such a
// conversion is defined, and beyond 2^31 every float is a whole number whose
// fraction is 0. A coordinate that is not finite has no fraction: it reads
// as 0.
inline float WrapCoordinate(float c)
{
    const float f = c - std::floor(c);
    return f >= 0.0f ? f : 0.0f;  // NaN (from NaN or an infinity) fails the test
}

// Column or row of a wrapped coordinate fraction in [0, 1] on an axis of
// cells texels: truncated, then held below cells (fraction 1 would be one
// past the end). The product is taken in single precision like every map
// computation, and truncated through 64 bits because it may reach 2^31.
inline int64_t TexelIndex(float fraction, int32_t cells)
{
    const int64_t i = static_cast<int64_t>(fraction * static_cast<float>(cells));
    return i < cells - 1 ? i : cells - 1;
}

inline unsigned char* TexelAt(const _VekMap& map, int64_t x, int64_t y)
{
    return map.pixels + (static_cast<size_t>(map.width) * static_cast<size_t>(y) + static_cast<size_t>(x)) *
                            static_cast<size_t>(map.components);
}

// Barycentric weights of point in the triangle of the face that holds it,
// in the projection that drops the normal's largest axis (ties go to the
// later axis). half tells a quadrilateral's triangle: true (0, 1, 3), false
// (2, 3, 1); a triangle always reports true.
void CalcMapWeights(const CG::vec3<float>& point, long vertexCount, const CG::vec3<float>* vertices,
                    const CG::vec3<float>& normal, CG::vec3<float>& weights, bool& half);
// The map coordinate that the weights select from the corners' coordinates.
CG::vec3<float> InterpolateMapCoord(long vertexCount, const CG::vec3<float>& weights, bool half,
                                    const CG::vec3<float>* mapCoords);

}  // namespace vek
