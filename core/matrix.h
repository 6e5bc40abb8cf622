// matrix.h - 4x4 single-precision matrices in OpenGL element order (the
// element of row r and column c at index 4c + r; a translation at 12, 13,
// 14). No OpenGL here: the intersection engine turns billboards with these
// and the display keeps its view with them.
#pragma once

namespace vek {

// out = P with P[4i + j] = sum_k a[4i + k] b[4k + j]; in OpenGL terms the
// product b . a (a applied first). out may be a or b.
void MultiplyMatrix(const float* a, const float* b, float* out);

// OpenGL's rotation of angle radians counter-clockwise about axis (used as
// passed when its length is 0).
void RotationMatrix(float angle, float axisX, float axisY, float axisZ, float* out);

// The identity with the translation (x, y, z).
void TranslationMatrix(float x, float y, float z, float* out);

// Gauss-Jordan elimination with partial pivoting (ties keep the upper row);
// the pivot is not tested, so a singular matrix gives non-finite values.
void InvertMatrix(const float* m, float* out);

// (degrees * pi) / 180 in single precision, multiplied first.
inline float DegreesToRadians(float degrees) { return (degrees * 3.1415927f) / 180.0f; }

}  // namespace vek
