// The geometry tool module (libVekTool) against the contract the library
// relies on: in-place normalisation, the polygon normal oriented by corner
// order, a non-negative triangle area, and the direction transform in
// OpenGL element order.
#include <cmath>
#include <random>

#include "VekTool.h"
#include "gtest/gtest.h"

namespace {

TEST(GeometryTool, NormalizeWorksInPlaceAndLeavesZeroZero)
{
    float v[3] = {3, 0, -4};
    VekTool_Normalize(v, v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], -0.8f);
    float zero[3] = {0, 0, 0};
    VekTool_Normalize(zero, zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);
    EXPECT_EQ(zero[2], 0.0f);
    // Lengths whose squares leave the float range still normalise.
    float tiny[3] = {1e-30f, 0, 1e-30f}, huge[3] = {3e37f, 4e37f, 0};
    VekTool_Normalize(tiny, tiny);
    VekTool_Normalize(huge, huge);
    EXPECT_FLOAT_EQ(tiny[0], std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(huge[1], 0.8f);
    // Separate arrays: in is left alone.
    float in[3] = {0, 2, 0}, out[3];
    VekTool_Normalize(out, in);
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(in[1], 2.0f);
}

TEST(GeometryTool, PolygonNormalFollowsTheCornerOrder)
{
    float ccw[3][3] = {{0, 0, 5}, {1, 0, 5}, {0, 1, 5}};
    float cw[3][3] = {{0, 0, 5}, {0, 1, 5}, {1, 0, 5}};
    float n[3];
    VekTool_GetPolygonNormal(3, ccw, n);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_EQ(n[1], 0.0f);
    EXPECT_EQ(n[2], 1.0f);
    VekTool_GetPolygonNormal(3, cw, n);
    EXPECT_EQ(n[2], -1.0f);

    float quad[4][3] = {{0, 0, 0}, {0, 2, 0}, {0, 2, 2}, {0, 0, 2}};
    VekTool_GetPolygonNormal(4, quad, n);
    EXPECT_EQ(n[0], 1.0f);

    float line[3][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    VekTool_GetPolygonNormal(3, line, n);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_EQ(n[1], 0.0f);
    EXPECT_EQ(n[2], 0.0f);

    // Random triangles: unit length, perpendicular to the edges, on the side
    // of the right-hand rule, and reversed with the order.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> c(-10, 10);
    for (int k = 0; k < 1000; ++k) {
        float t[3][3], r[3][3];
        for (auto& p : t)
            for (float& x : p) x = c(rng);
        for (int i = 0; i < 3; ++i)
            for (int a = 0; a < 3; ++a) r[i][a] = t[2 - i][a];
        double e1[3], e2[3];
        for (int a = 0; a < 3; ++a) {
            e1[a] = double(t[1][a]) - t[0][a];
            e2[a] = double(t[2][a]) - t[0][a];
        }
        const double cr[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                              e1[0] * e2[1] - e1[1] * e2[0]};
        const double len = std::sqrt(cr[0] * cr[0] + cr[1] * cr[1] + cr[2] * cr[2]);
        if (len < 1e-2) continue;
        float nr[3];
        VekTool_GetPolygonNormal(3, t, n);
        VekTool_GetPolygonNormal(3, r, nr);
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(n[a], cr[a] / len, 1e-6);
            EXPECT_NEAR(nr[a], -n[a], 1e-6);
        }
    }
}

TEST(GeometryTool, TriangleAreaIsNeverNegative)
{
    float a[3] = {0, 0, 0}, b[3] = {2, 0, 0}, c[3] = {0, 3, 0};
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(a, b, c), 3.0f);
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(a, c, b), 3.0f);
    float d[3] = {1, 1, 1}, e[3] = {2, 3, 1}, f[3] = {1, 1, 5};  // legs sqrt(5) and 4, right angle
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(d, e, f), 0.5f * std::sqrt(5.0f) * 4.0f);
    float g[3] = {4, 4, 4};
    EXPECT_EQ(VekTool_GetTriangleArea(a, d, g), 0.0f);
}

TEST(GeometryTool, TransformDirectionsAppliesTheUpperLeft3x3InOpenGLOrder)
{
    // Rotation by 90 degrees about z (x -> y), with a translation that
    // directions must ignore: element (row r, column c) at m[4c + r].
    float m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
    float in[2][3] = {{1, 0, 0}, {0, 2, 3}}, out[2][3];
    EXPECT_EQ(VekTool_TransformDirections(2, in, m, out), 2);
    EXPECT_EQ(out[0][0], 0.0f);
    EXPECT_EQ(out[0][1], 1.0f);
    EXPECT_EQ(out[0][2], 0.0f);
    EXPECT_EQ(out[1][0], -2.0f);
    EXPECT_EQ(out[1][1], 0.0f);
    EXPECT_EQ(out[1][2], 3.0f);
    // Not normalised: a scale shows through.
    float scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    VekTool_TransformDirections(1, in, scale, out);
    EXPECT_EQ(out[0][0], 2.0f);
}

}  // namespace
