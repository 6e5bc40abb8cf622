// texture.h - uploading an attribute's colour map as the current texture.
#pragma once

struct VekAttribute;

namespace vek {

// Replaces the image of the current texture with the attribute's display
// image, sets its wrapping and filters and enables texturing. attribute's
// mapFlags must have VEK_MAP_1.
void BindAttributeTexture(VekAttribute* attribute);

}  // namespace vek
