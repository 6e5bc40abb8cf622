// textures.h - the pictures the example binds to its maps, drawn by
// program so that the example needs no image files: wood for the floor and
// the table, a painting, a perforated screen and a tree with its
// see-through mask.
#pragma once

#include <cstdint>
#include <vector>

namespace example {

struct TextureImage {
    int width;
    int height;
    int components;               // 1 (grey) or 3 (RGB)
    std::vector<uint8_t> pixels;  // rows of width * components bytes, first row first
};

TextureImage ParquetTexture();     // oak planks, one floor tile
TextureImage WalnutTexture();      // dark wood grain for the table top
TextureImage PaintingTexture();    // coloured blocks and black bars
TextureImage ScreenTexture();      // the screen's colour between its holes
TextureImage PerforationMask();    // grey: 255 in the round hole, 0 on the sheet
TextureImage TreeTexture();        // leaves and trunk
TextureImage TreeMask();           // grey: 255 where light passes, 0 on leaves and trunk

}  // namespace example
