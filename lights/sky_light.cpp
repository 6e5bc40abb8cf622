// sky_light.cpp - the sky light and its sampling directions.
//
// The sky is sampled on rings of equal elevation from the horizon up to the
// zenith; a ring at elevation e holds azimuthSteps x cos(e) directions, so
// the samples stay about evenly spread over the hemisphere (z up). Every
// direction carries the same share of the sky's energy. The arithmetic is
// single precision throughout, which fixes the ring counts exactly (40, 39,
// 38, 35, 32, 28, 23, 18, 12, 6 and 0 for the defaults 10 and 40). The
// rings are counted first and both arrays allocated once at their final
// size. Counts whose directions would pass the arrays' budget are held to
// the largest that fit: the counts above a common ceiling are lowered to
// it, and the ceiling is the largest (found by bisection) whose rings fit.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "VekMemory.h"
#include "core/report.h"
#include "lights/checked_size.h"
#include "lights/light_common.h"

namespace {

constexpr const char* kName = "VekLight_InstanciateSkyLight";
constexpr int32_t kDefaultElevationSteps = 10;
constexpr int32_t kDefaultAzimuthSteps = 40;
// The budget: at most 2^22 directions (48 MiB in each of the two arrays),
// some 0.05 degrees apart, far finer than a renderer can use; and no count
// above it either, which also bounds the rings walked and keeps every count
// exact as a float.
constexpr int32_t kMaxDirections = 1 << 22;
constexpr float kQuarterTurn = 1.5707964f;   // pi / 2 in single precision
constexpr float kFullTurn = 6.2831855f;      // 2 pi in single precision

// A negative count takes the default.
int32_t StepCount(int32_t given, int32_t fallback)
{
    if (given >= 0) return given;
    vek::Warn(VEK_WARNING_INVALID_VALUE, kName);
    return fallback;
}

// Directions on the ring at elevation e: azimuthSteps x cos(e), truncated.
// The zenith ring's cosine is just below zero and an undefined elevation
// (0 elevation steps) is not a number: neither ring holds a direction.
int32_t RingCount(int32_t azimuthSteps, float e)
{
    const float count = static_cast<float>(azimuthSteps) * std::cos(e);
    return count >= 1.0f ? static_cast<int32_t>(count) : 0;
}

// Fills directions ring by ring and returns their number. With directions
// null it only counts, each count at most kMaxDirections, and stops at
// kMaxDirections + 1 once the budget is passed.
int32_t SampleRings(int32_t elevationSteps, int32_t azimuthSteps, CG::vec3<float>* directions)
{
    // 2. The elevation step.
    const float step = kQuarterTurn / static_cast<float>(elevationSteps);
    int32_t count = 0;
    // 3. Rings from the horizon (r = 0) to the zenith, both included.
    for (int32_t r = 0; r <= elevationSteps; ++r) {
        const float e = static_cast<float>(r) * step;
        const int32_t ringCount = RingCount(azimuthSteps, e);
        if (!directions) {
            count += ringCount;
            if (count > kMaxDirections) return kMaxDirections + 1;
            continue;
        }
        if (ringCount == 0) continue;
        const float a = kFullTurn / static_cast<float>(ringCount);
        for (int32_t k = 0; k < ringCount; ++k, ++count) {
            const float phi = static_cast<float>(k) * a;
            directions[count] = CG::vec3<float>(std::cos(phi) * std::cos(e), std::sin(phi) * std::cos(e), std::sin(e));
        }
    }
    return count;
}

// Holds both counts to the budget: every count above a common ceiling is
// lowered to it (VEK_WARNING_OUT_OF_RANGE each), the ceiling being the
// largest at most kMaxDirections whose directions fit. A lone count too
// large is thus held to the largest that fits with the other as given.
void HoldToBudget(int32_t& elevationSteps, int32_t& azimuthSteps)
{
    const auto fits = [&](int32_t ceiling) {
        return SampleRings(std::min(elevationSteps, ceiling), std::min(azimuthSteps, ceiling), nullptr) <= kMaxDirections;
    };
    int32_t ceiling = std::min(std::max(elevationSteps, azimuthSteps), kMaxDirections);
    if (!fits(ceiling)) {
        // Counts of 1 give one direction; the bisection keeps fits(low)
        // and !fits(high).
        int32_t low = 1, high = ceiling;
        while (high - low > 1) {
            const int32_t middle = low + (high - low) / 2;
            (fits(middle) ? low : high) = middle;
        }
        ceiling = low;
    }
    for (int32_t* count : {&elevationSteps, &azimuthSteps}) {
        if (*count <= ceiling) continue;
        *count = ceiling;
        vek::Warn(VEK_WARNING_OUT_OF_RANGE, kName);
    }
}

}  // namespace

int32_t VekLight_InstanciateSkyLight(float* energy, int32_t elevationSteps, int32_t azimuthSteps)
{
    if (!vek::HasVectors(kName, {energy})) return -1;
    // 1. The sky light takes no index and leaves the current one alone.
    _VekLight* light = VekMemory_AllocateLight(VEK_LIGHT_SKY);
    light->type = VEK_LIGHT_SKY;
    light->index = 0;
    auto& sky = *static_cast<_VekSkyLight*>(light->parameters);
    sky.directions = sky.directionEnergies = nullptr;
    sky.directionCount = 0;
    vek::RegisterSkyArrays(&sky);

    // 2. Twice the given energy, floored.
    const float doubled[3] = {2.0f * energy[0], 2.0f * energy[1], 2.0f * energy[2]};
    vek::FloorEnergy(doubled, sky.skyEnergy);

    // 3. Counts: negative ones take the defaults, large ones are held to
    // the budget.
    sky.elevationSteps = StepCount(elevationSteps, kDefaultElevationSteps);
    sky.azimuthSteps = StepCount(azimuthSteps, kDefaultAzimuthSteps);
    HoldToBudget(sky.elevationSteps, sky.azimuthSteps);

    // 4. Directions and their equal shares of the energy.
    const int32_t count = SampleRings(sky.elevationSteps, sky.azimuthSteps, nullptr);
    if (count == 0) return 0;
    size_t bytes;
    if (!vek::ArrayBytes(count, 1, sizeof(CG::vec3<float>), bytes)) vek::Fail(VEK_ERROR_MEMORY, kName);
    sky.directions = static_cast<CG::vec3<float>*>(std::malloc(bytes));
    sky.directionEnergies = static_cast<CG::vec3<float>*>(std::malloc(bytes));
    // The light stays, without directions, when the heap refuses them.
    if (!sky.directions || !sky.directionEnergies) vek::Fail(VEK_ERROR_MEMORY, kName);
    sky.directionCount = SampleRings(sky.elevationSteps, sky.azimuthSteps, sky.directions);
    const float share = 1.0f / static_cast<float>(sky.directionCount);
    for (int32_t k = 0; k < sky.directionCount; ++k) sky.directionEnergies[k] = sky.skyEnergy * share;
    return 0;
}
