// distribution.cpp - photometric distribution records: the array form, the
// preparation step shared with the IES reader, publication into the pool,
// and the release of their arrays at End.
//
// A distribution is built and prepared outside the pool and only published
// (a record taken, appended to the list, handed the arrays) once it is
// complete. So the list holds complete records only: a later search by name
// never finds a failed read, and the release at End frees every array of
// every record exactly once.
#include "lights/distribution.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "VekMemory.h"
#include "core/report.h"
#include "lights/checked_size.h"
#include "lights/interpolation.h"

namespace vek {
namespace {

// A horizontal range that ends above this angle but short of a full turn
// is closed with a copy of its first column at 360 degrees.
constexpr float kHalfTurn = 180.0f;
constexpr float kFullTurn = 360.0f;

template <class T>
T* AllocateArray(int64_t count1, int64_t count2)
{
    size_t bytes;
    if (!ArrayBytes(count1, count2, sizeof(T), bytes) || bytes == 0) return nullptr;
    return static_cast<T*>(std::malloc(bytes));
}

template <class T>
bool GrowArray(T*& array, int64_t count1, int64_t count2)
{
    size_t bytes;
    if (!ArrayBytes(count1, count2, sizeof(T), bytes)) return false;
    T* grown = static_cast<T*>(std::realloc(array, bytes));
    if (!grown) return false;
    array = grown;
    return true;
}

void FreeArrays(_VekGeneralLightData& d)
{
    std::free(d.verticalAngles);
    std::free(d.horizontalAngles);
    std::free(d.candela);
    std::free(d.verticalSteps);
    std::free(d.horizontalSteps);
    std::free(d.coefficients);
    d.verticalAngles = d.horizontalAngles = nullptr;
    d.candela = d.verticalSteps = d.horizontalSteps = d.coefficients = nullptr;
}

// Angles must be finite; every angle below the next (NaN fails both).
bool StrictlyIncreasing(const float* angles, int32_t count)
{
    for (int32_t k = 0; k < count; ++k) {
        if (!std::isfinite(angles[k])) return false;
        if (k + 1 < count && !(angles[k] < angles[k + 1])) return false;
    }
    return true;
}

bool AllFinite(const double* values, size_t count)
{
    for (size_t k = 0; k < count; ++k)
        if (!std::isfinite(values[k])) return false;
    return true;
}

}  // namespace

bool AcceptableCounts(int64_t verticalCount, int64_t horizontalCount)
{
    return verticalCount >= 1 && horizontalCount >= 1 && verticalCount <= kMaxAnglesPerAxis &&
           horizontalCount <= kMaxAnglesPerAxis && verticalCount * horizontalCount <= kMaxGridPoints;
}

StagedDistribution::StagedDistribution() { std::memset(&d_, 0, sizeof d_); }

StagedDistribution::~StagedDistribution() { FreeArrays(d_); }

bool StagedDistribution::AllocateTables()
{
    d_.verticalAngles = AllocateArray<float>(d_.verticalCount, 1);
    d_.horizontalAngles = AllocateArray<float>(d_.horizontalCount, 1);
    d_.candela = AllocateArray<double>(d_.verticalCount, d_.horizontalCount);
    return d_.verticalAngles && d_.horizontalAngles && d_.candela;
}

bool StagedDistribution::Prepare()
{
    _VekGeneralLightData& d = d_;
    const int32_t n = d.verticalCount;
    if (!AcceptableCounts(n, d.horizontalCount)) return false;

    // 1. Vertical angles strictly increasing; values finite (a value that
    // is not a number would spread through the whole table).
    if (!StrictlyIncreasing(d.verticalAngles, n)) return false;
    if (!AllFinite(d.candela, static_cast<size_t>(n) * static_cast<size_t>(d.horizontalCount))) return false;

    try {
        // 2. One horizontal angle: a spline over the vertical angle.
        if (d.horizontalCount < 2) {
            if (!std::isfinite(d.horizontalAngles[0])) return false;
            d.verticalSteps = AllocateArray<double>(n, 1);
            d.coefficients = AllocateArray<double>(n, 1);
            if (!d.verticalSteps || !d.coefficients) return false;
            BuildSpline(d.verticalAngles, d.candela, n, d.verticalSteps, d.coefficients);
            return AllFinite(d.coefficients, static_cast<size_t>(n));
        }

        // 3. Horizontal angles strictly increasing.
        if (!StrictlyIncreasing(d.horizontalAngles, d.horizontalCount)) return false;

        // 4. A range that ends past a half turn but short of a full one goes
        // on to 360 degrees, where the first column comes round again.
        const float last = d.horizontalAngles[d.horizontalCount - 1];
        if (last > kHalfTurn && last < kFullTurn) {
            const int32_t m = d.horizontalCount + 1;
            if (!GrowArray(d.horizontalAngles, m, 1) || !GrowArray(d.candela, n, m)) return false;
            d.horizontalAngles[m - 1] = kFullTurn;
            std::memcpy(d.candela + static_cast<size_t>(m - 1) * n, d.candela, sizeof(double) * n);
            d.horizontalCount = m;
        }

        // 5. The bicubic patches.
        const int32_t m = d.horizontalCount;
        d.verticalSteps = AllocateArray<double>(n, 1);
        d.horizontalSteps = AllocateArray<double>(m, 1);
        d.coefficients = AllocateArray<double>(int64_t{16} * CellRows(n), m - 1);
        if (!d.verticalSteps || !d.horizontalSteps || !d.coefficients) return false;
        BuildPatches(d.verticalAngles, n, d.horizontalAngles, m, d.candela, d.verticalSteps, d.horizontalSteps,
                     d.coefficients);
        // Values far beyond any photometry over very narrow intervals can
        // overflow the tables; such data are refused rather than answered
        // with infinities.
        return AllFinite(d.coefficients, size_t{16} * static_cast<size_t>(CellRows(n)) * static_cast<size_t>(m - 1));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

_VekGeneralLightData* StagedDistribution::Publish(const char* name)
{
    _VekGeneralLightData* record = VekMemory_AllocateGeneralLightData();
    _VekGeneralLightData* next = record->next;
    *record = d_;
    record->next = next;
    CopyName(record->name, sizeof record->name, name);
    // The record owns the arrays now.
    d_.verticalAngles = d_.horizontalAngles = nullptr;
    d_.candela = d_.verticalSteps = d_.horizontalSteps = d_.coefficients = nullptr;
    return record;
}

void ReleaseDistributions()
{
    for (_VekGeneralLightData* d = VekMemory_GetGeneralLightDataList(); d; d = d->next) FreeArrays(*d);
}

}  // namespace vek

_VekGeneralLightData* VekLight_InstanciateGeneralLightData(float lumensPerLamp, float candelaMultiplier,
                                                           int32_t verticalCount, float* verticalAngles,
                                                           int32_t horizontalCount, float* horizontalAngles,
                                                           float* candela)
{
    vek::StagedDistribution staged;
    _VekGeneralLightData& d = staged.data();
    d.lumensPerLamp = lumensPerLamp;
    d.candelaMultiplier = candelaMultiplier;
    d.verticalCount = verticalCount;
    d.horizontalCount = horizontalCount;
    // unitsType, width, length and height stay 0: arrays carry no header.

    if (!vek::AcceptableCounts(verticalCount, horizontalCount)) return nullptr;
    if (!verticalAngles || !horizontalAngles || !candela) return nullptr;
    // Both axes start at 0 degrees (a NaN is not 0).
    if (!(verticalAngles[0] == 0.0f) || !(horizontalAngles[0] == 0.0f)) return nullptr;

    if (!staged.AllocateTables()) return nullptr;
    std::memcpy(d.verticalAngles, verticalAngles, sizeof(float) * verticalCount);
    std::memcpy(d.horizontalAngles, horizontalAngles, sizeof(float) * horizontalCount);
    const size_t values = static_cast<size_t>(verticalCount) * static_cast<size_t>(horizontalCount);
    for (size_t k = 0; k < values; ++k) d.candela[k] = candela[k];

    if (!staged.Prepare()) return nullptr;
    return staged.Publish("");
}
