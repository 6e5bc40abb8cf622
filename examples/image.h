// image.h - an 8-bit RGB picture in memory, first row at the top.
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
    explicit Image(int width = 0, int height = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Points outside the picture are ignored (Set) or read as black (Get).
    void Set(int x, int y, Rgb colour);
    Rgb Get(int x, int y) const;

    // Row y: width * 3 bytes, red, green, blue.
    uint8_t* Row(int y) { return &pixels_[static_cast<size_t>(y) * width_ * 3]; }

private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace example
