// image.cpp - the RGB picture.
#include "image.h"

#include <algorithm>

namespace example {

Image::Image(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), pixels_(static_cast<size_t>(width_) * height_ * 3)
{
}

void Image::Set(int x, int y, Rgb colour)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = Row(y) + 3 * x;
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

Rgb Image::Get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0};
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 3];
    return {p[0], p[1], p[2]};
}

}  // namespace example
