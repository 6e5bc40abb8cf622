// texture_file.h - pictures for texture maps read from PNG or JPEG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace example {

struct TextureImage {
    int width;
    int height;
    int components;               // 1 (grey), 3 (RGB) or 4 (RGBA): what the library's maps take
    std::vector<uint8_t> pixels;  // rows of width * components bytes, top row first
};

// Reads a PNG or JPEG file (grey with alpha becomes RGBA). False, with the
// reason in why, for a file that cannot be read or decoded, or a picture
// larger than kMaxTexturePixels.
bool ReadTexture(const std::string& path, TextureImage& image, std::string& why);

// Pictures beyond this many pixels are refused: a texture map that large
// is a mistake, and a hostile header must not make us allocate gigabytes.
constexpr int64_t kMaxTexturePixels = int64_t(1) << 26;

}  // namespace example
