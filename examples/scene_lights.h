// scene_lights.h - the four lights of the default scene.
#pragma once

#include <string>
#include <vector>

#include "scene.h"

namespace example {

// Creates the photometric downlight (from the IES file at iesPath), the
// spot light, the area light and the sky light, in that order, and assigns
// their occluder-cache rows. Throws SceneError when the library cannot read
// the IES file.
std::vector<SceneLight> CreateLights(const std::string& iesPath);

}  // namespace example
