// light_passes.h - points waiting for light, and the shadow passes that
// give it to them one light at a time.
//
// A calculation first collects its gathers (camera hits, grid points, the
// bounce points of light paths), each with the weight its light carries to
// a result and the index of that result; then each light has one pass over
// all of them. Lights go one at a time because billboards' shadow copies
// turn toward each light between passes, while no ray is in flight.
#pragma once

#include <cstdint>
#include <vector>

#include "lighting.h"
#include "progress.h"

namespace example {

struct Gather {
    Receiver receiver;
    Vec3 weight;       // what the result receives per lux of illuminance here
    uint32_t target;   // index of the result
    uint8_t sampling;  // index into the samplings given to RunLightPasses
    int16_t skyFirst;  // the sky direction to start from, or -1 for a random one
    uint32_t seed;     // of its random numbers, drawn by whoever made it
};

// For every light: turns the billboards toward it, then gathers its light
// at every gather on threads ray threads. Adds weight x illuminance to
// totals[target] (totals must be large enough). Random numbers are seeded
// from the gather's seed and the light's number, so results do not depend
// on the threads (but for the order of the final sums). Returns the rays
// cast.
uint64_t RunLightPasses(const Scene& scene, const std::vector<Gather>& gathers, const DirectSampling* samplings,
                        int threads, std::vector<Vec3>& totals, const Progress::Span& progress);

}  // namespace example
