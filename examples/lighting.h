// lighting.h - direct light at a point: what each of the scene's lights
// gives a receiver, with the library's transmission searches deciding how
// much of it passes the faces in between.
#pragma once

#include <cstdint>

#include "sampling.h"
#include "scene.h"

namespace example {

// A point that gathers light.
struct Receiver {
    Vec3 point;
    Vec3 normal;          // unit, on the side that gathers
    const VekFace* face;  // the face the point lies on (its own shadow rays skip it), or null
};

// How finely the lights that need sampling are sampled: an area light over
// panelSamplesPerSide^2 stratified points, the sky over every
// skyStride-th direction, each counted skyStride times, from skyFirst
// (random when negative: unbiased, cheaper, noisier; the rays of one pixel
// give theirs in turn so that together they see every direction).
struct DirectSampling {
    int panelSamplesPerSide;
    int skyStride;
    int skyFirst = -1;
};

// Illuminance (RGB; its luminance is in lux) that light gives receiver,
// shadows included. rays grows by the number of transmission searches cast.
// Call from a ray thread whose number is thread; the light's billboards must
// have been turned for it.
Vec3 GatherLight(const SceneLight& light, const Receiver& receiver, const DirectSampling& sampling, Random& random,
                 int thread, uint64_t& rays);

}  // namespace example
