// texture_file.cpp - decoding through stb_image (Debian's libstb), which
// reads PNG and JPEG among others and tells why it failed. The header's size
// is checked with stbi_info before anything is decoded.
#include "texture_file.h"

#include <cstdlib>
#include <memory>

#include <stb_image.h>

#include "checked_size.h"

namespace example {

bool ReadTexture(const std::string& path, TextureImage& image, std::string& why)
{
    int width = 0, height = 0, components = 0;
    if (!stbi_info(path.c_str(), &width, &height, &components)) {
        why = stbi_failure_reason() ? stbi_failure_reason() : "unknown format";
        return false;
    }
    size_t pixels = 0;
    if (width <= 0 || height <= 0 || !CheckedProduct({size_t(width), size_t(height)}, pixels) ||
        pixels > size_t(kMaxTexturePixels)) {
        why = "picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large";
        return false;
    }

    // Grey with alpha is not a layout the library's maps take: ask for RGBA.
    const int wanted = components == 2 ? 4 : components;
    std::unique_ptr<stbi_uc, void (*)(void*)> data(stbi_load(path.c_str(), &width, &height, &components, wanted),
                                                   stbi_image_free);
    if (!data) {
        why = stbi_failure_reason() ? stbi_failure_reason() : "cannot be decoded";
        return false;
    }
    size_t bytes = 0;
    CheckedProduct({size_t(width), size_t(height), size_t(wanted)}, bytes);
    image = TextureImage{width, height, wanted, std::vector<uint8_t>(data.get(), data.get() + bytes)};
    return true;
}

}  // namespace example
