// bitmap_font.h - a tiny built-in 5 x 7 pixel font for the labels and
// numbers of the example's pictures (capital letters, digits and a few
// signs; small letters are drawn as capitals).
#pragma once

#include <string>

#include "image.h"

namespace example {

// Width of one character cell at scale 1, spacing included.
constexpr int kGlyphAdvance = 6;
constexpr int kGlyphHeight = 7;

// Draws text with its top-left corner at (x, y), each font pixel a
// scale x scale square. Characters without a glyph are drawn as blanks.
void DrawText(Image& image, int x, int y, const std::string& text, Rgb colour, int scale = 1);

// Width in pixels that DrawText gives text at scale (no trailing space).
int TextWidth(const std::string& text, int scale = 1);

}  // namespace example
