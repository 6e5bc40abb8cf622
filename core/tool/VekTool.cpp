// VekTool.cpp - the four geometry routines of the sibling module (contract
// in VekTool.h). Lengths and Newell sums are formed in double precision so
// that very small and very large coordinates neither underflow nor overflow
// before the final single-precision result.
#include "VekTool.h"

#include <cmath>

void VekTool_Normalize(float* const out, float* const in)
{
    double x = in[0], y = in[1], z = in[2];
    double length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0) {
        out[0] = static_cast<float>(x / length);
        out[1] = static_cast<float>(y / length);
        out[2] = static_cast<float>(z / length);
    } else {
        out[0] = static_cast<float>(x);
        out[1] = static_cast<float>(y);
        out[2] = static_cast<float>(z);
    }
}

void VekTool_GetPolygonNormal(long count, float (*vertices)[3], float* const normal)
{
    // Newell's method: the sum of the edge cross products, which for a
    // triangle is (p1 - p0) x (p2 - p0) and for a warped quadrilateral the
    // best-fitting plane's normal, oriented by the corner order.
    double n[3] = {0.0, 0.0, 0.0};
    for (long i = 0; i < count; ++i) {
        const float* a = vertices[i];
        const float* b = vertices[(i + 1) % count];
        n[0] += (static_cast<double>(a[1]) - b[1]) * (static_cast<double>(a[2]) + b[2]);
        n[1] += (static_cast<double>(a[2]) - b[2]) * (static_cast<double>(a[0]) + b[0]);
        n[2] += (static_cast<double>(a[0]) - b[0]) * (static_cast<double>(a[1]) + b[1]);
    }
    double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int k = 0; k < 3; ++k) normal[k] = length > 0.0 ? static_cast<float>(n[k] / length) : 0.0f;
}

float VekTool_GetTriangleArea(float* a, float* b, float* c)
{
    double u[3], v[3];
    for (int k = 0; k < 3; ++k) {
        u[k] = static_cast<double>(b[k]) - a[k];
        v[k] = static_cast<double>(c[k]) - a[k];
    }
    double x = u[1] * v[2] - u[2] * v[1];
    double y = u[2] * v[0] - u[0] * v[2];
    double z = u[0] * v[1] - u[1] * v[0];
    return static_cast<float>(0.5 * std::sqrt(x * x + y * y + z * z));
}

long VekTool_TransformDirections(long count, float (*directions)[3], float* matrix, float (*out)[3])
{
    const float* m = matrix;
    for (long i = 0; i < count; ++i) {
        float x = directions[i][0], y = directions[i][1], z = directions[i][2];
        out[i][0] = m[0] * x + m[4] * y + m[8] * z;
        out[i][1] = m[1] * x + m[5] * y + m[9] * z;
        out[i][2] = m[2] * x + m[6] * y + m[10] * z;
    }
    return count;
}
