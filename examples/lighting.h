// lighting.h - direct light at a point: what each of the scene's lights
// gives a receiver, with the library's transmission searches deciding how
// much of it passes the faces in between.
#pragma once

#include <cstdint>

#include "scene.h"

namespace example {

// A point that gathers light.
struct Receiver {
    Vec3 point;
    Vec3 normal;          // unit, on the side that gathers
    const VekFace* face;  // the face the point lies on (its own shadow rays skip it), or null
};

// Illuminance (RGB; its luminance is in lux) that light gives receiver,
// shadows included. rays grows by the number of transmission searches cast.
// Call from a ray thread whose number is thread; the light's billboards must
// have been turned for it.
Vec3 GatherLight(const SceneLight& light, const Receiver& receiver, int thread, uint64_t& rays);

}  // namespace example
