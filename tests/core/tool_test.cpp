// The geometry routines of libVekTool against independent answers: cross
// products and Heron's formula in double precision, and hand-built matrices.
#include <cmath>
#include <random>

#include "support/test_support.h"
#include "VekTool.h"

namespace {

void Cross(const float a[3], const float b[3], const float c[3], double n[3])
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
}

double Distance(const float a[3], const float b[3])
{
    return std::sqrt((double(a[0]) - b[0]) * (double(a[0]) - b[0]) + (double(a[1]) - b[1]) * (double(a[1]) - b[1]) +
                     (double(a[2]) - b[2]) * (double(a[2]) - b[2]));
}

}  // namespace

TEST(VekTool, NormalizeInPlace)
{
    float v[3] = {3, 4, 0};
    VekTool_Normalize(v, v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[1], 0.8f);
    EXPECT_EQ(v[2], 0.0f);
    // Lengths whose square under- or overflows a float still normalise.
    float tiny[3] = {1e-30f, 0, 0};
    float huge[3] = {1e30f, -1e30f, 0};
    VekTool_Normalize(tiny, tiny);
    VekTool_Normalize(huge, huge);
    EXPECT_FLOAT_EQ(tiny[0], 1.0f);
    EXPECT_FLOAT_EQ(huge[1], -std::sqrt(0.5f));
    float zero[3] = {0, 0, 0};
    VekTool_Normalize(zero, zero);
    EXPECT_EQ(zero[0] + zero[1] + zero[2], 0.0f);
}

TEST(VekTool, PolygonNormalFollowsCornerOrder)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-10, 10);
    for (int trial = 0; trial < 200; ++trial) {
        float corners[3][3];
        for (auto& c : corners)
            for (float& x : c) x = coordinate(random);
        double expected[3];
        Cross(corners[0], corners[1], corners[2], expected);
        const double length = std::sqrt(expected[0] * expected[0] + expected[1] * expected[1] + expected[2] * expected[2]);
        if (length < 1e-3) continue;
        float normal[3], reversed[3];
        VekTool_GetPolygonNormal(3, corners, normal);
        float flipped[3][3] = {{corners[0][0], corners[0][1], corners[0][2]},
                               {corners[2][0], corners[2][1], corners[2][2]},
                               {corners[1][0], corners[1][1], corners[1][2]}};
        VekTool_GetPolygonNormal(3, flipped, reversed);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(normal[k], expected[k] / length, 1e-5);
            EXPECT_NEAR(reversed[k], -expected[k] / length, 1e-5);
        }
    }
    // A square counter-clockwise seen from +z, and a degenerate polygon.
    float square[4][3] = {{0, 0, 2}, {1, 0, 2}, {1, 1, 2}, {0, 1, 2}};
    float n[3];
    VekTool_GetPolygonNormal(4, square, n);
    EXPECT_FLOAT_EQ(n[2], 1.0f);
    float line[3][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    VekTool_GetPolygonNormal(3, line, n);
    EXPECT_EQ(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 0.0f);
}

TEST(VekTool, TriangleAreaMatchesHeron)
{
    float a[3] = {0, 0, 0}, b[3] = {3, 0, 0}, c[3] = {0, 4, 0};
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(a, b, c), 6.0f);
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(a, c, b), 6.0f);   // never negative
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-5, 5);
    for (int trial = 0; trial < 200; ++trial) {
        float p[3][3];
        for (auto& q : p)
            for (float& x : q) x = coordinate(random);
        const double x = Distance(p[0], p[1]), y = Distance(p[1], p[2]), z = Distance(p[2], p[0]);
        const double s = (x + y + z) / 2;
        const double heron = std::sqrt(std::max(0.0, s * (s - x) * (s - y) * (s - z)));
        EXPECT_NEAR(VekTool_GetTriangleArea(p[0], p[1], p[2]), heron, 1e-3 * (1 + heron));
    }
}

TEST(VekTool, TransformDirectionsUsesOpenGlElementOrder)
{
    // A quarter turn about z in OpenGL element order (row r, column c at
    // 4c + r), with a translation that directions must ignore.
    float m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    float directions[2][3] = {{1, 0, 0}, {0, 2, 3}};
    float out[2][3];
    EXPECT_EQ(VekTool_TransformDirections(2, directions, m, out), 2);
    EXPECT_FLOAT_EQ(out[0][0], 0);
    EXPECT_FLOAT_EQ(out[0][1], 1);
    EXPECT_FLOAT_EQ(out[0][2], 0);
    EXPECT_FLOAT_EQ(out[1][0], -2);
    EXPECT_FLOAT_EQ(out[1][1], 0);
    EXPECT_FLOAT_EQ(out[1][2], 3);
}
