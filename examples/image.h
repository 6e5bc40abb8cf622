// image.h - an 8-bit RGB picture in memory, first row at the top, with the
// few drawing operations the example's pictures need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace example {

struct Rgb {
    uint8_t r, g, b;
};

class Image {
public:
    explicit Image(int width = 0, int height = 0, Rgb fill = {0, 0, 0});

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Points outside the picture are ignored, so drawing may run over its edges.
    void Set(int x, int y, Rgb colour);
    Rgb Get(int x, int y) const;
    void FillRect(int x, int y, int width, int height, Rgb colour);
    // A one-pixel outline of the rectangle.
    void FrameRect(int x, int y, int width, int height, Rgb colour);

    // Row y: width * 3 bytes, red, green, blue.
    const uint8_t* Row(int y) const { return &pixels_[static_cast<size_t>(y) * width_ * 3]; }
    uint8_t* Row(int y) { return &pixels_[static_cast<size_t>(y) * width_ * 3]; }

private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace example
