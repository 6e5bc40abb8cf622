// checked_size.h - the one place where sizes taken from files or the
// command line are multiplied: a product that would not fit is refused
// instead of wrapping around.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <limits>

namespace example {

// product = the factors multiplied; false when it would overflow size_t.
inline bool CheckedProduct(std::initializer_list<size_t> factors, size_t& product)
{
    size_t result = 1;
    for (size_t factor : factors) {
        if (factor != 0 && result > std::numeric_limits<size_t>::max() / factor) return false;
        result *= factor;
    }
    product = result;
    return true;
}

}  // namespace example
