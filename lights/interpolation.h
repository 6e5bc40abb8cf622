// interpolation.h - the interpolation tables of a photometric distribution:
// a cubic spline over the vertical angle for rotationally symmetric data, and
// bicubic Hermite patches over the angle grid for everything else, both with
// parabolic run-out at the ends of each axis.
#pragma once

#include <cstdint>

namespace vek {

// Fills steps (count entries; entry k >= 1 holds x[k] - x[k-1]) and the
// spline's second derivatives (count entries) for the values y over the
// strictly increasing angles x.
void BuildSpline(const float* x, const double* y, int32_t count, double* steps, double* secondDerivatives);

// Fills verticalSteps and horizontalSteps (entry k holds angle[k+1] -
// angle[k]) and 16 coefficients per cell, cells of one horizontal interval
// after another: CellRows(verticalCount) x (horizontalCount - 1) cells.
// candela holds vertical values of horizontal angle j at j x verticalCount.
void BuildPatches(const float* verticalAngles, int32_t verticalCount, const float* horizontalAngles,
                  int32_t horizontalCount, const double* candela, double* verticalSteps, double* horizontalSteps,
                  double* coefficients);

// Rows of cells along the vertical axis. A single vertical angle still has
// one row: its cells are flat along the vertical axis.
inline int32_t CellRows(int32_t verticalCount) { return verticalCount > 1 ? verticalCount - 1 : 1; }

}  // namespace vek
