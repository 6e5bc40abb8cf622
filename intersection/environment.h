// environment.h - the one intersection environment of the process: what is
// registered, what the environment owns, and the prepared top grid.
#pragma once

#include <memory>
#include <vector>

#include "VekSurface.h"
#include "intersection/grid.h"
#include "intersection/hierarchy.h"

namespace vek {

// A shadow copy of a billboard and the registered surface it turns from.
struct ShadowBillboard {
    VekSurface* copy;
    const VekSurface* source;
};

struct Environment {
    std::vector<VekFace*> faces;                     // registration order, copies included
    std::vector<ShadowBillboard> shadowBillboards;   // registration order
    std::vector<std::unique_ptr<VekSurface>> copies; // the billboard copies the environment owns
    std::unique_ptr<VekGrid> topGrid;                // null until prepared
    Hierarchy hierarchy;                             // over the top grid's face records
    const struct HierarchyKernels* kernels = nullptr; // the traversals for this processor
    std::unique_ptr<VekGrid> secondaryGrid;          // never filled; read by GetClocksValues2
    // Ray threads the faces' marks have room for (threadCount when the grid
    // was prepared): a query from a higher thread number finds nothing.
    int32_t threadLimit = 0;
};

Environment& CurrentEnvironment();

}  // namespace vek
