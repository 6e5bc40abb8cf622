// environment.h - the scene handed to the library's intersection engine.
#pragma once

#include "scene.h"

namespace example {

struct EnvironmentInfo {
    int registeredSurfaces;
    int registeredAreaLights;
    float bounds[6];  // as VekMain_GetSceneBoundary gives them
};

// Gives every surface and area light its per-thread ray marks, registers
// them, builds the voxel grid and sizes the occluder cache for the scene's
// lights. g_mainValueTable.threadCount must already hold the thread count.
EnvironmentInfo PrepareRayEnvironment(const Scene& scene);

}  // namespace example
