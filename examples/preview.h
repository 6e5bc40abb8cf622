// preview.h - the scene drawn by the library's display family into an
// offscreen OpenGL context that the example creates, read back as a picture.
#pragma once

#include <string>

#include "camera.h"
#include "image.h"

namespace example {

// Draws the scene as the display family does (filled and outlined faces,
// textures, blended transparent faces, visible lights) from view into a
// width x height picture. False, with the reason in message, when no
// offscreen OpenGL context can be made here; true otherwise, with message
// empty or naming an OpenGL error seen while drawing.
bool DrawPreview(const CameraView& view, int width, int height, Image& picture, std::string& message);

}  // namespace example
