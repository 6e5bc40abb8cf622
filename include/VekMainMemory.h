// VekMainMemory.h - per-face ray-mark arrays.
#pragma once

#include "VekTypes.h"

// n consecutive 32-bit slots (n <= 1024), uninitialised, owned by the library
// until VekMain_End. Raises VEK_ERROR_MEMORY when no block can be allocated.
// VekFace::SetRayNumber is the usual caller.
VEK_API int32_t* VekMainMemory_AllocateRaytraceNumber(long n);
