// checked.h - size arithmetic on counts that come from files or hosts.
//
// Every sum or product that sizes a buffer or bounds a read of untrusted
// data goes through these two helpers, so an overflow becomes a refusal
// instead of a small wrapped-around size that passes a later bounds check.
#pragma once

#include <cstdint>

namespace vek {

// out = a + b; false, with out untouched, when the sum does not fit.
inline bool CheckedAdd(uint64_t a, uint64_t b, uint64_t& out)
{
    uint64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) return false;
    out = sum;
    return true;
}

// out = a x b; false, with out untouched, when the product does not fit.
inline bool CheckedMul(uint64_t a, uint64_t b, uint64_t& out)
{
    uint64_t product;
    if (__builtin_mul_overflow(a, b, &product)) return false;
    out = product;
    return true;
}

}  // namespace vek
