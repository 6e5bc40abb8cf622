// png_writer.h - writes an Image as a PNG file with no library beyond the
// standard one.
#pragma once

#include <string>

#include "image.h"

namespace example {

// Writes image to path as an 8-bit RGB PNG. False, with the reason in error,
// when the file cannot be written.
bool WritePng(const std::string& path, const Image& image, std::string& error);

}  // namespace example
