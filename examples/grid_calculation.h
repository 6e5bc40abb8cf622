// grid_calculation.h - illuminance at the points of the calculation grids,
// direct and interreflected apart.
#pragma once

#include <cstdint>
#include <vector>

#include "calculation_grid.h"
#include "scene.h"

namespace example {

struct GridResult {
    CalculationGrid grid;
    std::vector<float> direct, indirect, total;  // lux per point (0 where unused)
    GridFigures directFigures, indirectFigures, totalFigures;
};

struct GridStats {
    uint64_t rays;
    double seconds;
};

// Lays out every grid of scene and computes it on threads ray threads: the
// direct light with fine sampling (every sky direction, 256 points per area
// light), the indirect light from scene.indirect.samples light paths per
// point. Needs a prepared intersection environment.
std::vector<GridResult> CalculateGrids(const Scene& scene, const std::string& scenePath, int threads, GridStats& stats);

// How far above its plane a calculation point gathers light: the plane may
// be a face itself (a floor, a wall), which must not shade it.
constexpr float kPointLift = 0.002f;  // metres

}  // namespace example
