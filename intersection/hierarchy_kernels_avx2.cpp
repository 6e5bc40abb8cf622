// hierarchy_kernels_avx2.cpp - the hierarchy's traversals compiled for
// AVX2: a node's eight boxes in one vector. Every header comes first, so
// the inline code the library shares stays compiled for the baseline; only
// the traversals below, in a namespace of their own, use the wider set.
#include <immintrin.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstddef>

#include "VekSurface.h"
#include "intersection/hierarchy_kernels.h"
#include "intersection/record_test.h"
#include "intersection/walk.h"

#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,popcnt,lzcnt")
namespace vek {
namespace avx2 {
#define VEK_KERNEL_WIDE 1
#include "intersection/hierarchy_kernels.inc"
#undef VEK_KERNEL_WIDE
}  // namespace avx2
}  // namespace vek
#pragma GCC pop_options
