// textures.cpp - procedural pictures. Each is built from a few shapes and
// a hash-based value noise, so it is the same on every run and machine.
#include "textures.h"

#include <algorithm>
#include <cmath>

namespace example {
namespace {

// A well-mixed 32-bit hash of a lattice point and a seed.
uint32_t Hash(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

float Random01(int x, int y, uint32_t seed) { return (Hash(x, y, seed) & 0xFFFFFF) / 16777216.0f; }

// Smoothly interpolated lattice noise in [0, 1), period-free.
float ValueNoise(float x, float y, uint32_t seed)
{
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float fx = x - ix, fy = y - iy;
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float top = Random01(ix, iy, seed) * (1 - sx) + Random01(ix + 1, iy, seed) * sx;
    float bottom = Random01(ix, iy + 1, seed) * (1 - sx) + Random01(ix + 1, iy + 1, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

TextureImage Blank(int width, int height, int components)
{
    return TextureImage{width, height, components, std::vector<uint8_t>(static_cast<size_t>(width) * height * components)};
}

void PutRgb(TextureImage& image, int x, int y, float r, float g, float b)
{
    uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
    p[0] = static_cast<uint8_t>(std::clamp(r, 0.0f, 1.0f) * 255.0f + 0.5f);
    p[1] = static_cast<uint8_t>(std::clamp(g, 0.0f, 1.0f) * 255.0f + 0.5f);
    p[2] = static_cast<uint8_t>(std::clamp(b, 0.0f, 1.0f) * 255.0f + 0.5f);
}

// Wood: planks along u, each with its own tone, grain stretched along the
// plank and a dark joint between planks.
TextureImage WoodPlanks(int planks, float red, float green, float blue, uint32_t seed)
{
    TextureImage image = Blank(128, 128, 3);
    int plankHeight = image.height / planks;
    for (int y = 0; y < image.height; ++y) {
        int plank = y / plankHeight;
        float tone = 0.85f + 0.3f * Random01(plank, 0, seed);
        for (int x = 0; x < image.width; ++x) {
            float grain = ValueNoise(x * 0.04f, y * 0.9f + plank * 17.0f, seed + 1);
            float rings = 0.5f + 0.5f * std::sin(grain * 18.0f + x * 0.05f);
            float shade = tone * (0.82f + 0.18f * rings);
            if (y % plankHeight == 0) shade *= 0.55f;
            PutRgb(image, x, y, red * shade, green * shade, blue * shade);
        }
    }
    return image;
}

}  // namespace

TextureImage ParquetTexture() { return WoodPlanks(4, 0.80f, 0.60f, 0.38f, 11); }

TextureImage WalnutTexture() { return WoodPlanks(2, 0.45f, 0.28f, 0.16f, 23); }

TextureImage PaintingTexture()
{
    // Blocks of colour between black bars, on a white ground.
    struct Block {
        int x0, y0, x1, y1;
        float r, g, b;
    };
    const Block blocks[] = {
        {0, 0, 40, 38, 0.80f, 0.12f, 0.10f}, {44, 42, 96, 64, 0.10f, 0.20f, 0.65f},
        {80, 0, 96, 20, 0.95f, 0.80f, 0.10f}, {0, 56, 24, 64, 0.95f, 0.80f, 0.10f},
    };
    TextureImage image = Blank(96, 64, 3);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            float r = 0.94f, g = 0.93f, b = 0.88f;
            for (const Block& block : blocks)
                if (x >= block.x0 && x < block.x1 && y >= block.y0 && y < block.y1) r = block.r, g = block.g, b = block.b;
            bool bar = (x >= 40 && x < 44) || (y >= 38 && y < 42) || (x >= 76 && x < 80 && y < 38) ||
                       (x < 40 && y >= 52 && y < 56);
            if (bar) r = g = b = 0.05f;
            PutRgb(image, x, y, r, g, b);
        }
    return image;
}

TextureImage ScreenTexture()
{
    // Powder-coated sheet, a little darker around each hole.
    TextureImage image = Blank(32, 32, 3);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            float d = std::hypot(x + 0.5f - 16.0f, y + 0.5f - 16.0f);
            float shade = d < 12.0f ? 0.75f : 1.0f;
            PutRgb(image, x, y, 0.15f * shade, 0.50f * shade, 0.55f * shade);
        }
    return image;
}

TextureImage PerforationMask()
{
    TextureImage image = Blank(32, 32, 1);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.pixels[y * 32 + x] = std::hypot(x + 0.5f - 16.0f, y + 0.5f - 16.0f) < 10.0f ? 255 : 0;
    return image;
}

namespace {

// Tree shape shared by the colour picture and the mask, in a
// kTreePictureWidth x kTreePictureHeight picture whose first row is the top of the tree
// (map v = 0 there).
constexpr int kTreePictureWidth = 128, kTreePictureHeight = 256;
enum class TreePart { Air, Leaves, Trunk };

TreePart TreePartAt(int x, int y)
{
    float u = (x + 0.5f) / kTreePictureWidth, v = (y + 0.5f) / kTreePictureHeight;
    if (v > 0.62f) return std::fabs(u - 0.5f) < 0.05f + 0.03f * (v - 0.62f) * 3.0f ? TreePart::Trunk : TreePart::Air;
    // Canopy: an ellipse with a ragged edge, and gaps between leaves.
    float dx = (u - 0.5f) / 0.46f, dy = (v - 0.34f) / 0.32f;
    float edge = 0.85f + 0.25f * ValueNoise(u * 16.0f, v * 32.0f, 5);
    if (dx * dx + dy * dy > edge * edge) return std::fabs(u - 0.5f) < 0.05f && v > 0.5f ? TreePart::Trunk : TreePart::Air;
    return ValueNoise(u * 38.0f, v * 77.0f, 9) < 0.2f ? TreePart::Air : TreePart::Leaves;
}

}  // namespace

TextureImage TreeTexture()
{
    TextureImage image = Blank(kTreePictureWidth, kTreePictureHeight, 3);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            float n = ValueNoise(x * 0.25f, y * 0.25f, 3);
            switch (TreePartAt(x, y)) {
            case TreePart::Leaves: PutRgb(image, x, y, 0.12f + 0.15f * n, 0.35f + 0.25f * n, 0.10f + 0.08f * n); break;
            case TreePart::Trunk: PutRgb(image, x, y, 0.35f, 0.24f, 0.14f); break;
            case TreePart::Air: PutRgb(image, x, y, 0.70f, 0.78f, 0.70f); break;
            }
        }
    return image;
}

TextureImage TreeMask()
{
    TextureImage image = Blank(kTreePictureWidth, kTreePictureHeight, 1);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels[y * kTreePictureWidth + x] = TreePartAt(x, y) == TreePart::Air ? 255 : 0;
    return image;
}

}  // namespace example
