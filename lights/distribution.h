// distribution.h - photometric distributions inside the lights subsystem:
// the bounds every distribution must meet, a distribution under
// construction (owned outside the pool until it is complete), and the
// release of every distribution's arrays at End.
#pragma once

#include <cstdint>

#include "VekLight.h"

namespace vek {

// Bounds on the angle counts, checked before anything is allocated. Real
// files tabulate at most a few hundred angles per axis (181 x 361 at one
// degree); the bounds leave ample room above that while keeping the
// interpolation tables (128 bytes per grid cell) within a few hundred MiB.
constexpr int32_t kMaxAnglesPerAxis = 1 << 16;
constexpr int64_t kMaxGridPoints = int64_t{1} << 20;

// Counts from a file or a host: each at least 1, within the bounds above.
bool AcceptableCounts(int64_t verticalCount, int64_t horizontalCount);

// A distribution being built. Its arrays come from the general heap and
// belong to it until Publish hands them to a pool record; whatever it still
// owns is freed when it goes out of scope, so a failed read or preparation
// leaves nothing behind: no record in the list and no array to free twice.
class StagedDistribution {
public:
    StagedDistribution();
    ~StagedDistribution();
    StagedDistribution(const StagedDistribution&) = delete;
    StagedDistribution& operator=(const StagedDistribution&) = delete;

    // The record being filled (its next field is unused).
    _VekGeneralLightData& data() { return d_; }

    // Allocates the angle arrays and the candela table for the counts in
    // data(), which must be acceptable. False when the heap refuses.
    bool AllocateTables();

    // The preparation step: checks the angles and values, closes a
    // horizontal range that stops short of a full turn, and builds the
    // interpolation tables. False when the data are refused.
    bool Prepare();

    // Takes a record from the pool (which appends it to the list), names it
    // and hands it every array. Pool errors propagate; the arrays are then
    // still freed here.
    _VekGeneralLightData* Publish(const char* name);

private:
    _VekGeneralLightData d_;
};

// Frees the arrays of every distribution in the list (End).
void ReleaseDistributions();

}  // namespace vek
