// light_paths.h - interreflected light by Monte Carlo: paths that leave a
// receiver in cosine-weighted random directions and bounce diffusely
// through the scene, found with the library's hit query.
#pragma once

#include <vector>

#include "light_passes.h"

namespace example {

// Follows one path from receiver and appends a gather at each diffuse
// bounce, whose direct light then counts, through the reflectances met on
// the way, as indirect illuminance at the receiver (next-event
// estimation). weight, target and sampling go into each gather, the weight
// multiplied by the path's throughput. The first bounces are always
// followed; after them a path survives each bounce with the probability of
// its surface's reflectance and carries more weight when it does (Russian
// roulette), so no light is lost to a bounce limit on average.
void TraceLightPath(const Receiver& receiver, const Vec3& weight, uint32_t target, uint8_t sampling,
                    int fullBounces, Random& random, std::vector<Gather>& out, uint64_t& rays);

}  // namespace example
