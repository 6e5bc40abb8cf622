// surface_look.h - what a camera ray sees where it hits a surface: colour,
// shading normal and how much light passes through.
#pragma once

#include "vector_math.h"

#include <Vek.h>

namespace example {

struct SurfaceLook {
    Vec3 albedo;        // diffuse reflectance, the colour map applied
    Vec3 normal;        // unit shading normal (smooth surfaces interpolate their corner normals)
    Vec3 transmission;  // light passing through: the transparency, or the transparency map's value
};

// The look of surface at point (on the surface). Uses the library's map
// lookups with the surface's own map coordinates, as the shadow searches do,
// so that the camera sees light pass where shadows let it through.
SurfaceLook LookAt(VekSurface& surface, Vec3 point);

}  // namespace example
