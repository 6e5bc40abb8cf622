// matrix.cpp - 4x4 matrix product, rotation, translation and inverse.
#include "core/matrix.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace vek {

void MultiplyMatrix(const float* a, const float* b, float* out)
{
    float p[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[4 * i + k] * b[4 * k + j];
            p[4 * i + j] = sum;
        }
    std::memcpy(out, p, sizeof p);
}

void RotationMatrix(float angle, float x, float y, float z, float* out)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0f) {
        x /= length;
        y /= length;
        z /= length;
    }
    const float c = std::cos(angle), s = std::sin(angle);
    std::memset(out, 0, sizeof(float) * 16);
    out[0] = (1 - x * x) * c + x * x;
    out[1] = z * s + (1 - c) * (y * x);
    out[2] = (1 - c) * (z * x) - y * s;
    out[4] = (1 - c) * (y * x) - z * s;
    out[5] = (1 - y * y) * c + y * y;
    out[6] = x * s + (1 - c) * (z * y);
    out[8] = y * s + (1 - c) * (z * x);
    out[9] = (1 - c) * (z * y) - x * s;
    out[10] = (1 - z * z) * c + z * z;
    out[15] = 1;
}

void TranslationMatrix(float x, float y, float z, float* out)
{
    static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(out, kIdentity, sizeof kIdentity);
    out[12] = x;
    out[13] = y;
    out[14] = z;
}

void InvertMatrix(const float* m, float* out)
{
    // Rows of four: inversion commutes with transposition, so reading the
    // OpenGL layout as rows gives the inverse in that layout too.
    float w[4][4], r[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            w[i][j] = m[4 * i + j];
            r[i][j] = i == j ? 1.0f : 0.0f;
        }
    for (int c = 0; c < 4; ++c) {
        // 2. Pivot: the largest |w[p][c]| from row c down; ties keep the upper row.
        int p = c;
        for (int i = c + 1; i < 4; ++i)
            if (std::fabs(w[i][c]) > std::fabs(w[p][c])) p = i;
        for (int j = 0; j < 4; ++j) {
            std::swap(w[p][j], w[c][j]);
            std::swap(r[p][j], r[c][j]);
        }
        // 3. Scale the pivot row (the pivot is not tested against zero).
        const float inv = 1.0f / w[c][c];
        for (int j = 0; j < 4; ++j) {
            w[c][j] *= inv;
            r[c][j] *= inv;
        }
        // 4. Clear column c in every other row.
        for (int i = 0; i < 4; ++i) {
            if (i == c) continue;
            const float f = w[i][c];
            for (int j = 0; j < 4; ++j) {
                w[i][j] -= f * w[c][j];
                r[i][j] -= f * r[c][j];
            }
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[4 * i + j] = r[i][j];
}

}  // namespace vek
