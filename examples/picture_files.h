// picture_files.h - pictures written to disk: compressed PNG through cairo
// (which the maps draw with anyway) and Portable Float Map for the
// render's luminances.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "image.h"
#include "vector_math.h"

namespace example {

// False, with the reason in why, when the file cannot be written.
bool WritePng(const std::string& path, const Image& image, std::string& why);

// A cairo image surface as a compressed PNG.
bool WriteSurfacePng(const std::string& path, cairo_surface_t* surface, std::string& why);

// RGB floats as they are (cd/m2 here), rows bottom to top as the format
// has them, little-endian (scale -1).
bool WritePfm(const std::string& path, const std::vector<Vec3>& pixels, int width, int height, std::string& why);

}  // namespace example
