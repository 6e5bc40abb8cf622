// light_energy.cpp - the intensity of a general light in a direction.
//
// The direction is brought into the light's photometric frame and turned
// into a vertical angle (from +z) and a horizontal angle (the azimuth of its
// projection on the xy plane, from +x toward +y). Before the transformation
// and again before the normalisation a vector whose squares would leave the
// float range is scaled by a power of two that brings its largest component
// near 1, so every finite non-zero direction answers whatever its size.
// Distributions whose horizontal range ends at 90 or 180 degrees are
// mirrored into it, as the photometric format's symmetry conventions
// describe, wherever the range starts. Then one interval search per axis and
// one cubic (rotational symmetry) or one bicubic polynomial. The query only
// reads the prepared record and its own locals: no allocation, no lock, any
// number of threads at once.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "VekLight.h"
#include "VekTool.h"
#include "lights/interpolation.h"

namespace {

// Radians to degrees with the single-precision value of pi, so that the
// poles and the axes land exactly on 0, 90 and 180 degrees.
constexpr double kDegreesPerRadian = 180.0 / 3.1415927410125732;
constexpr float kQuarterTurn = 90.0f;
constexpr float kHalfTurn = 180.0f;
constexpr float kFullTurn = 360.0f;

inline float Degrees(float radians) { return static_cast<float>(static_cast<double>(radians) * kDegreesPerRadian); }

// The interval [a[k], a[k+1]] that holds x, for x within [a[0], a[N-1]] and
// N >= 2. The first interval that holds x wins, so an inner grid angle uses
// the interval to its left. Binary search, equivalent to a scan from k = 0.
inline int32_t Interval(const float* a, int32_t N, float x)
{
    return static_cast<int32_t>(std::lower_bound(a + 1, a + N - 1, x) - (a + 1));
}

// The result in single precision; a value past the float range saturates.
inline float ToFloat(double r)
{
    if (std::fabs(r) <= FLT_MAX) return static_cast<float>(r);
    return std::isnan(r) ? 0.0f : static_cast<float>(std::copysign(static_cast<double>(FLT_MAX), r));
}

// Folds an azimuth in [0, 360) into [0, 90] for a range that ends at 90
// (symmetry in each quadrant) or into [0, 180] for one that ends at 180
// (symmetry about the 0-180 plane); other ranges are not folded.
inline float MirrorAzimuth(float h, float last)
{
    if (last != kQuarterTurn && last != kHalfTurn) return h;
    if (h > kHalfTurn) h = kFullTurn - h;
    if (last == kQuarterTurn && h > kQuarterTurn) h = kHalfTurn - h;
    return h;
}

// Largest components whose squares stay normal floats: vectors within these
// are left as they are (the common case, and bit for bit the same answers).
constexpr float kSmallestUnscaled = 0x1p-60f;
constexpr float kLargestUnscaled = 0x1p60f;

// Brings v's largest component into [2^-60, 2^60], scaling by a power of two
// (exact, so the direction does not move) into [0.5, 1) when it lies
// outside. False for a vector without a direction: zero, infinite or not a
// number.
inline bool ScaleToUnitRange(float v[3])
{
    const float largest = std::max({std::fabs(v[0]), std::fabs(v[1]), std::fabs(v[2])});
    if (!(largest > 0.0f) || !(largest <= FLT_MAX) || std::isnan(v[0] + v[1] + v[2])) return false;
    if (largest >= kSmallestUnscaled && largest <= kLargestUnscaled) return true;
    int exponent;
    std::frexp(largest, &exponent);
    for (int k = 0; k < 3; ++k) v[k] = std::ldexp(v[k], -exponent);
    return true;
}

// Rotational symmetry: the second-derivative spline over the vertical angle.
float SplineValue(const _VekGeneralLightData& D, float v)
{
    const float* x = D.verticalAngles;
    const int32_t n = D.verticalCount;
    if (n == 1) return ToFloat(D.candela[0]);
    const int32_t k = Interval(x, n, v);
    const double h = D.verticalSteps[k + 1];
    const double A = static_cast<double>(x[k + 1] - v);
    const double B = static_cast<double>(v - x[k]);
    const double* y = D.candela;
    const double* M = D.coefficients;
    const double r = M[k] * A * A * A / (6.0 * h) + M[k + 1] * B * B * B / (6.0 * h) +
                     (y[k] / h - M[k] * h / 6.0) * A + (y[k + 1] / h - M[k + 1] * h / 6.0) * B;
    return ToFloat(r);
}

// Grid data: the bicubic polynomial of the cell that holds (v, h).
float PatchValue(const _VekGeneralLightData& D, float v, float h)
{
    const int32_t i = D.verticalCount > 1 ? Interval(D.verticalAngles, D.verticalCount, v) : 0;
    const int32_t j = Interval(D.horizontalAngles, D.horizontalCount, h);
    const double t = static_cast<double>(v - D.verticalAngles[i]);
    const double u = static_cast<double>(h - D.horizontalAngles[j]);
    const double* c = D.coefficients + 16 * (static_cast<size_t>(vek::CellRows(D.verticalCount)) * j + i);
    double r = 0.0;
    for (int p = 3; p >= 0; --p) {
        const double* row = c + 4 * p;
        r = r * t + (((row[3] * u + row[2]) * u + row[1]) * u + row[0]);
    }
    return ToFloat(r);
}

}  // namespace

float VekLight_GetGeneralLightEnergy(_VekGeneralLight* light, const float* direction)
{
    if (!light || !light->data || !direction) return 0.0f;
    const _VekGeneralLightData& D = *light->data;

    // 1. Into the photometric frame, scaled on both sides of the
    // transformation so that neither it nor the normalisation leaves the
    // float range. No direction (zero, infinite or not a number) has no
    // intensity.
    float world[1][3] = {{direction[0], direction[1], direction[2]}};
    if (!ScaleToUnitRange(world[0])) return 0.0f;
    float local[1][3];
    VekTool_TransformDirections(1, world, light->orientation, local);
    if (!ScaleToUnitRange(local[0])) return 0.0f;
    VekTool_Normalize(local[0], local[0]);

    // 2. Vertical angle from +z.
    const float z = std::min(1.0f, std::max(-1.0f, local[0][2]));
    const float v = Degrees(std::acos(z));
    const float firstV = D.verticalAngles[0], lastV = D.verticalAngles[D.verticalCount - 1];
    if (!(v >= firstV && v <= lastV)) return 0.0f;

    // 3. Rotational symmetry.
    if (D.horizontalCount <= 1) return SplineValue(D, v);

    // 4. Horizontal angle: the azimuth of the projection, in [0, 360).
    // Along the z axis it is 0.
    float h = Degrees(std::atan2(local[0][1], local[0][0]));
    if (h < 0.0f) h += kFullTurn;
    if (h >= kFullTurn) h = 0.0f;

    // 5.-7. Into the tabulated range: a range ending at 90 or 180 is
    // mirrored into, whatever its first angle; outside the range there is
    // no light. One check after the fold covers both ends: the fold leaves
    // an azimuth below a positive first angle where it was.
    const float firstH = D.horizontalAngles[0], lastH = D.horizontalAngles[D.horizontalCount - 1];
    h = MirrorAzimuth(h, lastH);
    if (!(h >= firstH && h <= lastH)) return 0.0f;

    // 8. The cell's polynomial.
    return PatchValue(D, v, h);
}
