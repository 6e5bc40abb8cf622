// direct_light_test.cpp - the example's direct light against closed-form
// answers, as published test suites for lighting software check it (CIE
// 171:2006 has such cases): a point source over an empty floor, a real
// rotationally symmetric IES file, a diffuse rectangular source, an opaque
// occluder and a half-transparent pane. Each test prints its largest error.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "example_scene.h"
#include "lighting.h"

namespace example_test {
namespace {

using example::GridResult;

constexpr float kPi = 3.14159265f;
constexpr float kCandela = 1000.0f;
constexpr float kSourceHeight = 2.5f;

// A black floor, 20 m square, under whatever else is in the OBJ.
std::string Floor() { return Quad({-10, -10, 0}, {10, -10, 0}, {10, 10, 0}, {-10, 10, 0}); }

const char* kBlackMtl = "newmtl black\nKd 0 0 0\n";

// A scene file: the OBJ, one isotropic luminaire (or none), one floor
// grid over the square [-half, half]^2, direct light only.
std::string SceneJson(bool luminaire, float height, float half = 3.0f)
{
    std::ostringstream json;
    json << "{ \"geometry\": \"scene.obj\", \"up\": \"z\", \"emissionUnit\": 1000,\n";
    if (luminaire)
        json << "  \"luminaires\": [{ \"ies\": \"iso.ies\", \"position\": [0, 0, " << height << "] }],\n";
    json << "  \"grids\": [{ \"name\": \"floor\", \"type\": \"horizontal\", \"height\": 0,\n"
         << "    \"outline\": [[" << -half << ", " << -half << "], [" << half << ", " << -half << "], [" << half << ", "
         << half << "], [" << -half << ", " << half << "]] }],\n"
         << "  \"indirect\": { \"samples\": 0 } }\n";
    return json.str();
}

// Inverse-square cosine law for a point source of intensity I at height h.
float PointLaw(float intensity, float height, const Vec3& p)
{
    Vec3 d = Vec3(0, 0, height) - p;
    float distance = example::Length(d);
    return intensity * d.z / (distance * distance * distance);
}

// Calls check(point, value) for every used point of the only grid.
template <class Check>
void ForEachPoint(const GridResult& result, Check check)
{
    const example::CalculationGrid& g = result.grid;
    for (int row = 0; row < g.rows; ++row)
        for (int column = 0; column < g.columns; ++column)
            if (g.inside[g.Index(column, row)]) check(PointOf(g, column, row), result.direct[g.Index(column, row)]);
}

TEST(ExampleDirectLight, IsotropicPointSourceFollowsTheInverseSquareCosineLaw)
{
    ExampleScene scene;
    scene.Write("scene.obj", "mtllib scene.mtl\nusemtl black\n" + Floor());
    scene.Write("scene.mtl", kBlackMtl);
    scene.Write("iso.ies", IsotropicIes(kCandela));
    scene.Write("scene.json", SceneJson(true, kSourceHeight));
    std::vector<GridResult> grids = scene.Grids();
    ASSERT_EQ(grids.size(), 1u);

    float worst = 0.0f;
    ForEachPoint(grids[0], [&](const Vec3& p, float lux) {
        float expected = PointLaw(kCandela, kSourceHeight, p);
        worst = std::max(worst, std::fabs(lux / expected - 1.0f));
        EXPECT_NEAR(lux, expected, 0.005f * expected) << "at " << p.x << ", " << p.y;
    });
    std::printf("isotropic point source: largest error %.4f%%\n", 100 * worst);
}

// The file's own numbers at its tabulated vertical angles, where every
// interpolation agrees with the table: points on the floor at those angles
// from the nadir, in several azimuths.
TEST(ExampleDirectLight, RotationallySymmetricIesFileFollowsItsTableAndTheCosineLaw)
{
    const std::string file = std::string(VEK_IES_DATA_DIR) + "/iesna91_rp_soft_arrow.ies";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line) && line.rfind("TILT", 0) != 0) {}
    int lamps, verticals, horizontals, type, units;
    float lumens, multiplier, width, length, height, ballast, future, watts;
    in >> lamps >> lumens >> multiplier >> verticals >> horizontals >> type >> units >> width >> length >> height >>
        ballast >> future >> watts;
    ASSERT_EQ(horizontals, 1) << "a rotationally symmetric file";
    std::vector<float> angles(verticals), candela(verticals);
    for (float& a : angles) in >> a;
    float horizontal;
    in >> horizontal;
    for (float& c : candela) in >> c;
    ASSERT_TRUE(in) << file;

    ExampleScene scene;
    scene.Write("scene.obj", "mtllib scene.mtl\nusemtl black\n" + Floor());
    scene.Write("scene.mtl", kBlackMtl);
    std::ifstream copy(file, std::ios::binary);
    scene.Write("iso.ies", std::string(std::istreambuf_iterator<char>(copy), {}));
    scene.Write("scene.json", SceneJson(true, kSourceHeight));

    float worst = 0.0f;
    int checked = 0;
    scene.Use([&](const example::Scene& built) {
        ASSERT_EQ(built.lights.size(), 1u);
        example::Random random(1);
        uint64_t rays = 0;
        for (int i = 0; i < verticals; ++i) {
            if (angles[i] > 70.0f || candela[i] * multiplier < 1.0f) continue;  // grazing: tiny values
            float theta = angles[i] * kPi / 180.0f, radius = kSourceHeight * std::tan(theta);
            for (float azimuth : {0.0f, 1.0f, 2.5f, 4.0f}) {
                example::Receiver r{Vec3(radius * std::cos(azimuth), radius * std::sin(azimuth), 0.0f), Vec3(0, 0, 1),
                                    nullptr};
                float lux = example::Luminance(
                    example::GatherLight(built.lights[0], r, {1, 1}, random, 0, rays));
                float d = kSourceHeight / std::cos(theta);
                float expected = candela[i] * multiplier * std::cos(theta) / (d * d);
                worst = std::max(worst, std::fabs(lux / expected - 1.0f));
                EXPECT_NEAR(lux, expected, 0.005f * expected) << "at " << angles[i] << " degrees";
                ++checked;
            }
        }
    });
    EXPECT_GT(checked, 40);
    std::printf("rotationally symmetric IES file: largest error %.4f%% over %d points\n", 100 * worst, checked);
}

// Configuration factor from a point to a parallel rectangle a x b whose
// corner lies straight above it at height c (Howell's catalogue, B-3).
double CornerFactor(double a, double b, double c)
{
    double x = a / c, y = b / c;
    return (x / std::sqrt(1 + x * x) * std::atan(y / std::sqrt(1 + x * x)) +
            y / std::sqrt(1 + y * y) * std::atan(x / std::sqrt(1 + y * y))) /
           (2 * M_PI);
}

// The same for a rectangle [x0, x1] x [y0, y1] anywhere over the point, by
// adding and taking away corner rectangles.
double RectangleFactor(double x0, double x1, double y0, double y1, double c)
{
    auto signedCorner = [c](double x, double y) {
        return (x < 0 ? -1 : 1) * (y < 0 ? -1 : 1) * CornerFactor(std::fabs(x), std::fabs(y), c);
    };
    return signedCorner(x1, y1) - signedCorner(x0, y1) - signedCorner(x1, y0) + signedCorner(x0, y0);
}

TEST(ExampleDirectLight, DiffuseRectangularSourceFollowsTheConfigurationFactor)
{
    // A 1 m x 2 m panel facing down at 2.5 m, Ke 1 x 1000 cd/m2.
    const float luminance = 1000.0f, h = kSourceHeight;
    ExampleScene scene;
    scene.Write("scene.obj", "mtllib scene.mtl\nusemtl black\n" + Floor() + "usemtl panel\n" +
                                 Quad({-0.5f, -1, h}, {-0.5f, 1, h}, {0.5f, 1, h}, {0.5f, -1, h}));
    scene.Write("scene.mtl", std::string(kBlackMtl) + "newmtl panel\nKd 0 0 0\nKe 1 1 1\n");
    scene.Write("scene.json", SceneJson(false, 0.0f));
    std::vector<GridResult> grids = scene.Grids();

    float worst = 0.0f;
    ForEachPoint(grids[0], [&](const Vec3& p, float lux) {
        double expected = M_PI * luminance * RectangleFactor(-0.5 - p.x, 0.5 - p.x, -1 - p.y, 1 - p.y, h - p.z);
        worst = std::max(worst, static_cast<float>(std::fabs(lux / expected - 1.0)));
        EXPECT_NEAR(lux, expected, 0.01 * expected) << "at " << p.x << ", " << p.y;
    });
    std::printf("diffuse rectangular source: largest error %.4f%%\n", 100 * worst);
}

// A 1 m square 1.5 m over the floor, half way to a point source at 3 m:
// its shadow on the floor is the square [-1, 1]^2. Points well inside get
// the source's light times the square's transmission, points well outside
// all of it.
void CheckShadow(const char* material, float transmission, const char* what)
{
    const float h = 3.0f, z = 1.5f;
    ExampleScene scene;
    scene.Write("scene.obj", "mtllib scene.mtl\nusemtl black\n" + Floor() + "usemtl sheet\n" +
                                 Quad({-0.5f, -0.5f, z}, {0.5f, -0.5f, z}, {0.5f, 0.5f, z}, {-0.5f, 0.5f, z}));
    scene.Write("scene.mtl", std::string(kBlackMtl) + material);
    scene.Write("iso.ies", IsotropicIes(kCandela));
    scene.Write("scene.json", SceneJson(true, h, 2.0f));
    std::vector<GridResult> grids = scene.Grids();

    int inside = 0, outside = 0;
    float worst = 0.0f;
    ForEachPoint(grids[0], [&](const Vec3& p, float lux) {
        float law = PointLaw(kCandela, h, p);
        float edge = std::max(std::fabs(p.x), std::fabs(p.y));
        if (edge > 0.9f && edge < 1.1f) return;  // the shadow's edge
        float expected = edge < 1.0f ? transmission * law : law;
        (edge < 1.0f ? inside : outside)++;
        if (expected > 0) worst = std::max(worst, std::fabs(lux / expected - 1.0f));
        EXPECT_NEAR(lux, expected, 0.005f * law) << "at " << p.x << ", " << p.y;
    });
    EXPECT_GT(inside, 4);
    EXPECT_GT(outside, 4);
    std::printf("%s: largest error %.4f%% (%d points in its shadow, %d outside)\n", what, 100 * worst, inside, outside);
}

TEST(ExampleDirectLight, OpaqueOccluderCastsItsGeometricShadow)
{
    CheckShadow("newmtl sheet\nKd 0.5 0.5 0.5\n", 0.0f, "opaque occluder");
}

TEST(ExampleDirectLight, HalfTransparentPaneHalvesTheIlluminance)
{
    CheckShadow("newmtl sheet\nKd 0.5 0.5 0.5\nd 0.5\n", 0.5f, "50% pane");
}

}  // namespace
}  // namespace example_test
