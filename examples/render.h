// render.h - the lit scene: camera rays, one shadow pass per light, and the
// picture and floor illuminance made from them.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "scene.h"

namespace example {

struct RenderSettings {
    int width;
    int height;
    int threads;
    float floorSamplesPerMetre;  // density of the illuminance grid on the floor
};

// Illuminance on a grid of points just above the floor, row 0 at yMin.
struct FloorIlluminance {
    FloorArea area;
    int columns;
    int rows;
    std::vector<float> lux;  // rows * columns values, row after row
};

struct RenderResult {
    Image picture;
    FloorIlluminance floor;
    uint64_t rays;       // hit queries and transmission searches
    double raySeconds;   // time spent casting them
    size_t receivers;    // points that gathered light
};

// Renders the prepared scene. Needs a prepared intersection environment
// whose thread count is settings.threads.
RenderResult RenderScene(const Scene& scene, const RenderSettings& settings);

}  // namespace example
