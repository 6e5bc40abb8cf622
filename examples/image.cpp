// image.cpp - the RGB picture and its rectangle drawing.
#include "image.h"

#include <algorithm>

namespace example {

Image::Image(int width, int height, Rgb fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_ * 3)
{
    FillRect(0, 0, width_, height_, fill);
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
    const uint8_t* p = Row(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

void Image::FillRect(int x, int y, int width, int height, Rgb colour)
{
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min(x + width, width_), y1 = std::min(y + height, height_);
    for (int row = y0; row < y1; ++row)
        for (int column = x0; column < x1; ++column) Set(column, row, colour);
}

void Image::FrameRect(int x, int y, int width, int height, Rgb colour)
{
    FillRect(x, y, width, 1, colour);
    FillRect(x, y + height - 1, width, 1, colour);
    FillRect(x, y, 1, height, colour);
    FillRect(x + width - 1, y, 1, height, colour);
}

}  // namespace example
