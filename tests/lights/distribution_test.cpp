// Distributions from arrays: preparation, the intensity query and its
// interpolation against independent answers (spline_reference.h), the
// azimuth and the symmetry conventions, degenerate axes, and many threads
// querying at once.
#include <cfloat>
#include <cmath>
#include <thread>
#include <vector>

#include "light_test_support.h"
#include "spline_reference.h"

using lighttest::Direction;
using lighttest::LightAround;

class DistributionTest : public vektest::LibraryTest {};

namespace {

// Builds a distribution from f[j][i] over vertical v and horizontal h angles.
_VekGeneralLightData* Make(std::vector<float> v, std::vector<float> h, const std::vector<std::vector<double>>& f)
{
    std::vector<float> candela;
    for (const auto& column : f)
        for (double value : column) candela.push_back(static_cast<float>(value));
    return VekLight_InstanciateGeneralLightData(1000, 1, static_cast<int32_t>(v.size()), v.data(),
                                                static_cast<int32_t>(h.size()), h.data(), candela.data());
}

std::vector<double> Widen(const std::vector<float>& a) { return std::vector<double>(a.begin(), a.end()); }

}  // namespace

TEST_F(DistributionTest, SplineMatchesIndependentSpline)
{
    std::vector<float> v = {0, 5, 15, 30, 40, 60, 90};
    std::vector<double> y = {900, 880, 700, 640, 300, 120, 0};
    _VekGeneralLightData* d = Make(v, {0}, {y});
    ASSERT_NE(d, nullptr);
    // Arrays carry no header; one horizontal angle is rotational symmetry.
    EXPECT_EQ(d->name[0], '\0');
    EXPECT_EQ(d->unitsType, 0);
    reference::Spline s(Widen(v), y);
    LightAround at(d);
    for (double a = 0; a <= 90; a += 0.75) EXPECT_NEAR(at(a, 17 + 4 * a), s(a), 0.01) << a;
    const float up[3] = {0, 0, 1};
    EXPECT_FLOAT_EQ(at(up), 900.0f);
    // Outside the tabulated vertical range there is no light.
    EXPECT_EQ(at(90.5, 0), 0.0f);
    EXPECT_EQ(at(170, 0), 0.0f);
}

TEST_F(DistributionTest, BicubicAgainstIndependentPatches)
{
    std::vector<float> v = {0, 20, 45, 70, 90, 120}, h = {0, 30, 50, 90, 140, 180};
    std::vector<std::vector<double>> f;
    for (float hj : h) {
        std::vector<double> column;
        for (float vi : v) column.push_back(600 * std::cos(vi * M_PI / 360) + 80 * std::sin(hj * M_PI / 90) * (vi / 90));
        f.push_back(column);
    }
    _VekGeneralLightData* d = Make(v, h, f);
    ASSERT_NE(d, nullptr);
    LightAround at(d);
    const double tolerance = 1e-4 * 700;

    // At grid points: the tabulated value.
    for (size_t j = 0; j < h.size(); ++j)
        for (size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(at(v[i], h[j]), f[j][i], tolerance) << v[i] << " " << h[j];

    // Elsewhere, on grid lines and inside the cells: the Hermite patch whose
    // slopes are those of the independent splines along each axis.
    reference::Bicubic patch(Widen(v), Widen(h), f);
    for (double a = 0; a < 120; a += 2.5)
        for (double b = 0; b < 180; b += 5) EXPECT_NEAR(at(a, b), patch(a, b), tolerance) << a << " " << b;
}

TEST_F(DistributionTest, AzimuthIsThatOfTheProjection)
{
    // Linear in h: the answer is the azimuth itself.
    std::vector<float> v = {0, 90, 180}, h = {0, 120, 240, 360};
    std::vector<std::vector<double>> f;
    for (float hj : h) f.push_back({hj, hj, hj});
    _VekGeneralLightData* d = Make(v, h, f);
    ASSERT_NE(d, nullptr);
    LightAround at(d);
    for (double a : {10.0, 60.0, 90.0, 150.0})
        for (double b : {0.0, 30.0, 100.0, 200.0, 300.0}) EXPECT_NEAR(at(a, b), b, 0.01) << a << " " << b;
    // Along the axis the azimuth is 0.
    const float up[3] = {0, 0, 2};
    EXPECT_NEAR(at(up), 0.0f, 1e-3);
}

TEST_F(DistributionTest, OrientationMapsWorldIntoThePhotometricFrame)
{
    float v[] = {0, 90, 180}, h[] = {0}, c[] = {100, 50, 0};
    _VekGeneralLightData* d = VekLight_InstanciateGeneralLightData(1, 1, 3, v, 1, h, c);
    // Frame x = world y, frame y = world z, frame z = world x (OpenGL order).
    float m[16] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    LightAround at(d, m);
    const float alongX[3] = {3, 0, 0}, alongMinusX[3] = {-1, 0, 0}, alongZ[3] = {0, 0, 1};
    EXPECT_FLOAT_EQ(at(alongX), 100.0f);
    EXPECT_NEAR(at(alongMinusX), 0.0f, 1e-4);
    EXPECT_NEAR(at(alongZ), 50.0f, 1e-3);
}

TEST_F(DistributionTest, RangeClosingAndSymmetries)
{
    const std::vector<float> v = {0, 45, 90};
    const std::vector<std::vector<double>> f = {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}, {5, 4, 2}};
    // 0, 90, 180, 270: closed with 360 and a copy of the 0 column.
    _VekGeneralLightData* full = Make(v, {0, 90, 180, 270}, f);
    ASSERT_NE(full, nullptr);
    ASSERT_EQ(full->horizontalCount, 5);
    EXPECT_EQ(full->horizontalAngles[4], 360.0f);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(full->candela[4 * 3 + i], full->candela[i]);
    LightAround atFull(full);
    EXPECT_NEAR(atFull(45, 359.99), atFull(45, 0), 1e-2);

    // Symmetric about the 0-180 plane (200 looks up 160), or in each quadrant
    // (100 looks up 80, 200 looks up 20, 300 looks up 60): mirrored, not repeated.
    LightAround half(Make(v, {0, 60, 120, 180}, f)), quadrant(Make(v, {0, 30, 60, 90}, f));
    EXPECT_EQ(half.light.data->horizontalCount, 4);   // ending at 180: no closing
    for (double a : {20.0, 45.0, 80.0}) {
        EXPECT_NEAR(half(a, 200), half(a, 160), 1e-3);
        EXPECT_NEAR(quadrant(a, 100), quadrant(a, 80), 1e-3);
        EXPECT_NEAR(quadrant(a, 200), quadrant(a, 20), 1e-3);
        EXPECT_NEAR(quadrant(a, 300), quadrant(a, 60), 1e-3);
    }
    // A range that ends elsewhere has no light beyond it.
    LightAround narrow(Make(v, {0, 20, 45}, {f[0], f[1], f[2]}));
    EXPECT_GT(narrow(45, 44), 0.0f);
    EXPECT_EQ(narrow(45, 46), 0.0f);
    EXPECT_EQ(narrow(45, 300), 0.0f);
}

TEST_F(DistributionTest, DegenerateAxes)
{
    // Two vertical angles: straight line along the vertical axis.
    float v2[] = {0, 90}, h1[] = {0}, c2[] = {80, 20};
    LightAround line(VekLight_InstanciateGeneralLightData(1, 1, 2, v2, 1, h1, c2));
    EXPECT_NEAR(line(30, 0), 60.0f, 1e-3);

    // Two angles on both axes: bilinear.
    float h2[] = {0, 360}, c4[] = {0, 90, 360, 450};   // f = v + h
    LightAround plane(VekLight_InstanciateGeneralLightData(1, 1, 2, v2, 2, h2, c4));
    for (double a : {10.0, 45.0, 80.0})
        for (double b : {10.0, 100.0, 250.0}) EXPECT_NEAR(plane(a, b), a + b, 0.01) << a << " " << b;

    // A single vertical angle: light only exactly there, interpolated along
    // the horizontal angle.
    float v1[] = {0}, c1[] = {42};
    LightAround spot(VekLight_InstanciateGeneralLightData(1, 1, 1, v1, 1, h1, c1));
    const float up[3] = {0, 0, 1};
    EXPECT_EQ(spot(up), 42.0f);
    EXPECT_EQ(spot(1, 0), 0.0f);
    LightAround cone(lighttest::ReadText("IESNA91\nTILT=NONE\n1 1 1 1 3 1 1 0 0 0 1 1 0\n90\n0 90 180\n10 20 30\n"));
    EXPECT_NEAR(cone(90, 0), 10.0f, 1e-4);
    EXPECT_NEAR(cone(90, 45), 15.0f, 1e-3);
    EXPECT_NEAR(cone(90, 180), 30.0f, 1e-3);
    EXPECT_EQ(cone(89, 45), 0.0f);
}

TEST_F(DistributionTest, ArrayFormRefusals)
{
    float v[] = {0, 45, 90}, h[] = {0, 90}, c[] = {1, 2, 3, 4, 5, 6};
    float v10[] = {10, 45, 90}, h10[] = {10, 90}, repeated[] = {0, 45, 45}, nan[] = {0, NAN, 90};
    float cInf[] = {1, 2, INFINITY, 4, 5, 6};
    const struct {
        int32_t vCount;
        float* v;
        int32_t hCount;
        float *h, *c;
    } refused[] = {{3, v10, 2, h, c},      {3, v, 2, h10, c},  {3, repeated, 2, h, c}, {3, nan, 2, h, c},
                   {3, v, 2, h, cInf},     {0, v, 2, h, c},    {3, v, -1, h, c},
                   {INT32_MAX, v, 2, h, c},  // past the bounds: refused before the arrays are read
                   {3, nullptr, 2, h, c}};
    for (const auto& r : refused)
        EXPECT_EQ(VekLight_InstanciateGeneralLightData(1, 1, r.vCount, r.v, r.hCount, r.h, r.c), nullptr);
    // Failures leave no record behind.
    EXPECT_EQ(VekMemory_GetGeneralLightDataList(), nullptr);
    ASSERT_NE(VekLight_InstanciateGeneralLightData(1, 1, 3, v, 2, h, c), nullptr);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 1);
}

TEST_F(DistributionTest, QueriesWithoutADirection)
{
    float v[] = {0, 90, 180}, h[] = {0}, c[] = {100, 50, 0};
    LightAround at(VekLight_InstanciateGeneralLightData(1, 1, 3, v, 1, h, c));
    const float zero[3] = {0, 0, 0}, nan[3] = {NAN, 0, 1}, inf[3] = {INFINITY, 0, 0};
    EXPECT_EQ(at(zero), 0.0f);
    EXPECT_EQ(at(nan), 0.0f);
    EXPECT_EQ(at(inf), 0.0f);
    EXPECT_EQ(VekLight_GetGeneralLightEnergy(nullptr, zero), 0.0f);

    // Finite directions of any size answer as their unit direction does,
    // also through an orientation (frame z = world x).
    float m[16] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    LightAround turned(at.light.data, m);
    const float unit[3] = {1, 0, 1};
    const float sizes[][3] = {{1e20f, 0, 1e20f}, {1e-23f, 0, 1e-23f}, {FLT_MAX, 0, FLT_MAX},
                              {1e-45f, 0, 1e-45f}, {3e38f, 1e-30f, 3e38f}};
    for (const auto& d : sizes) {
        EXPECT_EQ(at(d), at(unit)) << d[0];
        EXPECT_EQ(turned(d), turned(unit)) << d[0];
    }
    EXPECT_NEAR(at(unit), 75.0f, 1e-3);
    const float tinyDown[3] = {0, 0, -1e-40f}, hugeAlongX[3] = {FLT_MAX, 0, 0};
    EXPECT_NEAR(at(tinyDown), 0.0f, 1e-4);
    EXPECT_NEAR(turned(hugeAlongX), 100.0f, 1e-4);
    // A tabulated value past the float range answers the largest float
    // (found by the reader's fuzz target).
    LightAround huge(lighttest::ReadText("IESNA91\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 180 0 8.6e54\n"));
    const float down[3] = {0, 0, -1};
    EXPECT_EQ(huge(down), FLT_MAX);
}

TEST_F(DistributionTest, ThreadedQueriesAgreeWithOneThread)
{
    std::vector<float> v, h;
    for (int i = 0; i <= 36; ++i) v.push_back(5.0f * i);
    for (int j = 0; j < 72; ++j) h.push_back(5.0f * j);
    std::vector<std::vector<double>> f;
    for (float hj : h) {
        std::vector<double> column;
        for (float vi : v) column.push_back(500 + 400 * std::cos(vi * M_PI / 180) + 50 * std::sin(hj * M_PI / 60));
        f.push_back(column);
    }
    LightAround at(Make(v, h, f));
    std::vector<Direction> directions;
    for (int k = 0; k < 4000; ++k) directions.emplace_back(0.045 * k, 0.37 * k);
    std::vector<float> expected;
    for (const auto& d : directions) expected.push_back(at(d.d));

    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (size_t k = t; k < directions.size(); k += 3)
                    if (VekLight_GetGeneralLightEnergy(&at.light, directions[k].d) != expected[k]) ++mismatches[t];
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}
