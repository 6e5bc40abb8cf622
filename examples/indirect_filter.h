// indirect_filter.h - smoothing of the picture's interreflected light. One
// light path per pixel estimates it with much noise, but it varies slowly
// over a surface; averaging it over the neighbouring pixels that see the
// same surface removes most of the noise without blurring edges or
// textures (the reflectance is applied after the averaging).
#pragma once

#include <vector>

#include "progress.h"
#include "vector_math.h"

namespace example {

// A surface point seen through a pixel and the irradiance estimated there.
struct SeenPoint {
    Vec3 point;
    Vec3 normal;  // unit; zero where the pixel sees no surface
    Vec3 irradiance;
};

// For each pixel that sees a surface: the mean irradiance of the pixels
// within radius (a square window) whose points lie on the same surface as
// its own: normals within about 25 degrees and each within a small
// distance of the other's plane.
std::vector<Vec3> FilterIndirect(const std::vector<SeenPoint>& seen, int width, int height, int radius, int threads,
                                 const Progress::Span& progress);

}  // namespace example
