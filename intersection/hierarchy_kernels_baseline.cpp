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

namespace {

// Set by the test hook below: preparations choose the baseline traversals
// even where the processor runs wider ones.
bool g_baselineOnly = false;

}  // namespace

const HierarchyKernels& SelectKernels()
{
    // The processor is asked once.
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide && !g_baselineOnly ? avx2::kKernels : baseline::kKernels;
}

}  // namespace vek

// Test hook, not part of the interface (no header declares it): from the
// next preparation on, the baseline traversals answer (non-zero) or the
// widest the processor runs (zero), so tests hold both builds against each
// other on any machine that has both.
VEK_API void VekTest_UseBaselineTraversals(long baseline) { vek::g_baselineOnly = baseline != 0; }
