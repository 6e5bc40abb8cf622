// surface_state.h - the current surface state that the VekSurface_Set*
// calls fill and instanciation reads.
#pragma once

#include <cstdint>

namespace vek {

struct SurfaceState {
    char attributeName[64];
    int32_t wrapU, wrapV, wrapW;   // 0..3
    uint32_t flags;
    int32_t groupCounter;          // advanced by VekSurface_GroupEnd
};

const SurfaceState& CurrentSurfaceState();

}  // namespace vek
