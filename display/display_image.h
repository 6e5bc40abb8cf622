// display_image.h - the image an attribute's textured surfaces show, with
// the shape it was made for.
//
// An attribute takes its display image at its first upload and keeps it
// until End, even when its map is bound to another image later; uploads use
// the shape returned here so that they never read past that image.
#pragma once

#include <cstdint>

struct VekAttribute;

namespace vek {

struct ImageShape {
    int32_t width;
    int32_t height;
    int32_t components;  // 1, 3 or 4; all three are 0 for no image
};

struct DisplayImage {
    const unsigned char* pixels;  // null: the map holds no image
    ImageShape shape;             // the size pixels were made at
};

// Gives the attribute its display image on first use and returns it with
// its shape.
DisplayImage PrepareDisplayImage(VekAttribute* attribute);

}  // namespace vek
