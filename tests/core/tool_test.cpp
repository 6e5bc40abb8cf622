// The geometry routines of libVekTool against independent answers: cross
// products and Heron's formula in double precision, and hand-built matrices.
#include <cmath>
#include <random>

#include "support/test_support.h"
#include "VekTool.h"

namespace {

struct Triangle {
    float p[3][3];
    double Edge(int i) const
    {
        const float* a = p[i];
        const float* b = p[(i + 1) % 3];
        return std::hypot(double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]);
    }
};

// Random triangles with corners in [-range, range]^3.
std::vector<Triangle> RandomTriangles(unsigned seed, float range)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coordinate(-range, range);
    std::vector<Triangle> out(200);
    for (Triangle& t : out)
        for (auto& corner : t.p)
            for (float& x : corner) x = coordinate(random);
    return out;
}

}  // namespace

TEST(VekTool, NormalizeInPlace)
{
    // Lengths whose square under- or overflows a float still normalise; zero stays zero.
    float v[4][3] = {{3, 4, 0}, {1e-30f, 0, 0}, {0, 1e30f, -1e30f}, {0, 0, 0}};
    const float h = std::sqrt(0.5f), expected[4][3] = {{0.6f, 0.8f, 0}, {1, 0, 0}, {0, h, -h}, {0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        VekTool_Normalize(v[i], v[i]);
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(v[i][k], expected[i][k]) << i;
    }
}

TEST(VekTool, PolygonNormalFollowsCornerOrder)
{
    for (Triangle t : RandomTriangles(7, 10)) {
        const float* a = t.p[0];
        const double u[3] = {double(t.p[1][0]) - a[0], double(t.p[1][1]) - a[1], double(t.p[1][2]) - a[2]};
        const double v[3] = {double(t.p[2][0]) - a[0], double(t.p[2][1]) - a[1], double(t.p[2][2]) - a[2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double length = std::hypot(n[0], n[1], n[2]);
        if (length < 1e-3) continue;
        float normal[3], reversed[3];
        float flipped[3][3] = {{a[0], a[1], a[2]},
                               {t.p[2][0], t.p[2][1], t.p[2][2]},
                               {t.p[1][0], t.p[1][1], t.p[1][2]}};
        VekTool_GetPolygonNormal(3, t.p, normal);
        VekTool_GetPolygonNormal(3, flipped, reversed);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(normal[k], n[k] / length, 1e-5);
            EXPECT_NEAR(reversed[k], -n[k] / length, 1e-5);
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
    EXPECT_FLOAT_EQ(VekTool_GetTriangleArea(a, c, b), 6.0f);   // never negative
    for (Triangle t : RandomTriangles(11, 5)) {
        const double x = t.Edge(0), y = t.Edge(1), z = t.Edge(2), s = (x + y + z) / 2;
        const double heron = std::sqrt(std::max(0.0, s * (s - x) * (s - y) * (s - z)));
        EXPECT_NEAR(VekTool_GetTriangleArea(t.p[0], t.p[1], t.p[2]), heron, 1e-3 * (1 + heron));
    }
}

TEST(VekTool, TransformDirectionsUsesOpenGlElementOrder)
{
    // A quarter turn about z in OpenGL element order (row r, column c at
    // 4c + r), with a translation that directions must ignore.
    float m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    float directions[2][3] = {{1, 0, 0}, {0, 2, 3}};
    const float expected[2][3] = {{0, 1, 0}, {-2, 0, 3}};
    float out[2][3];
    EXPECT_EQ(VekTool_TransformDirections(2, directions, m, out), 2);
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(out[i][k], expected[i][k]);
}
