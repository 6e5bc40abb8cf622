// render.h - the lit scene as the camera sees it: several stratified rays
// per pixel, direct and interreflected light, in luminance (cd/m2) and
// tone-mapped for the screen.
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
    int strata;  // rays per pixel: strata x strata, one in each cell, jittered
};

struct RenderResult {
    std::vector<Vec3> luminance;  // width * height, row 0 at the top: cd/m2, RGB
    Image picture;                // the same tone-mapped to 8-bit sRGB
    uint64_t rays;                // hit queries and transmission searches
    double seconds;
};

// Renders the prepared scene. Needs a prepared intersection environment
// whose thread count is settings.threads. Interreflections are included
// (one light path per pixel) unless scene.indirect.samples is 0.
RenderResult RenderScene(const Scene& scene, const RenderSettings& settings);

}  // namespace example
