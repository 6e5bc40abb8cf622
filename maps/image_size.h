// image_size.h - the one place where an image's byte count is computed from
// sizes that a host gives (width x height x components).
//
// Each factor and the product must stay within a signed 32-bit size (the
// product through the library's checked multiplication): the record's
// fields, the sizes OpenGL takes and hosts' own arithmetic on these images
// are 32-bit, so every byte offset of an accepted image fits all of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checked.h"

namespace vek {

// Largest image the library accepts, in bytes.
constexpr int64_t kMaxImageBytes = INT32_MAX;

// True when width, height and components are each between 0 and
// kMaxImageBytes and their product is at most kMaxImageBytes; bytes is then
// that product (0 for an image without pixels).
inline bool ImageBytes(int64_t width, int64_t height, int64_t components, size_t& bytes)
{
    const int64_t factors[3] = {width, height, components};
    for (int64_t f : factors)
        if (f < 0 || f > kMaxImageBytes) return false;
    uint64_t pixels, total;
    if (!CheckedMul(static_cast<uint64_t>(width), static_cast<uint64_t>(height), pixels) ||
        !CheckedMul(pixels, static_cast<uint64_t>(components), total) ||
        total > static_cast<uint64_t>(kMaxImageBytes))
        return false;
    bytes = static_cast<size_t>(total);
    return true;
}

}  // namespace vek
