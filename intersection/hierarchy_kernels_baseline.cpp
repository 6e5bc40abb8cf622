// hierarchy_kernels_baseline.cpp - the hierarchy's traversals for every
// x86-64 processor (eight-float vectors as two halves), and the choice of
// the widest build the processor runs.
#include <immintrin.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstddef>

#include "VekSurface.h"
#include "intersection/hierarchy_kernels.h"
#include "intersection/record_test.h"
#include "intersection/walk.h"

namespace vek {
namespace baseline {
#define VEK_KERNEL_WIDE 0
#include "intersection/hierarchy_kernels.inc"
#undef VEK_KERNEL_WIDE
}  // namespace baseline

const HierarchyKernels& SelectKernels()
{
    // Asked once; every later preparation gets the same answer.
    static const HierarchyKernels& chosen = __builtin_cpu_supports("avx2") ? avx2::kKernels : baseline::kKernels;
    return chosen;
}

}  // namespace vek
