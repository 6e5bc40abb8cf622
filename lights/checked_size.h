// checked_size.h - byte counts of the lights' arrays, whose lengths come
// from files or hosts: counts (signed, as they are read) times an element
// size, through the library's checked multiplication, so an absurd count
// turns into a refused allocation instead of a wrapped, too small one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checked.h"

namespace vek {

// bytes = count1 x count2 x elementSize; false when a count is negative or
// the product does not fit.
inline bool ArrayBytes(int64_t count1, int64_t count2, size_t elementSize, size_t& bytes)
{
    uint64_t items, total;
    if (count1 < 0 || count2 < 0) return false;
    if (!CheckedMul(static_cast<uint64_t>(count1), static_cast<uint64_t>(count2), items) ||
        !CheckedMul(items, elementSize, total) || total > SIZE_MAX)
        return false;
    bytes = static_cast<size_t>(total);
    return true;
}

}  // namespace vek
