// checked_size.h - byte counts of arrays whose lengths come from files or
// hosts. Every such size goes through ArrayBytes, so an absurd count turns
// into a refused allocation instead of a wrapped, too small one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {

// bytes = count1 x count2 x elementSize; false when a count is negative or
// the product does not fit in size_t.
inline bool ArrayBytes(int64_t count1, int64_t count2, size_t elementSize, size_t& bytes)
{
    if (count1 < 0 || count2 < 0) return false;
    size_t partial;
    return !__builtin_mul_overflow(static_cast<uint64_t>(count1), static_cast<uint64_t>(count2), &partial) &&
           !__builtin_mul_overflow(partial, elementSize, &bytes);
}

}  // namespace vek
