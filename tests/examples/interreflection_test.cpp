// interreflection_test.cpp - the example's interreflected light in a
// closed enclosure of uniform reflectance rho: all the light reflected
// lands on the walls again, so the indirect illuminance averaged over the
// walls is Phi rho / (A (1 - rho)) (the integrating-sphere formula), for
// any shape. Here a 4 m cube with an isotropic source at its centre.
#include <gtest/gtest.h>

#include <cmath>

#include "example_scene.h"

namespace example_test {
namespace {

// A 4 m cube, every face looking in.
std::string Cube()
{
    const float h = 2.0f;
    const Vec3 c[8] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                       {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    std::string obj = "mtllib scene.mtl\nusemtl grey\n";
    obj += Quad(c[0], c[1], c[2], c[3]);  // floor, up
    obj += Quad(c[4], c[7], c[6], c[5]);  // ceiling, down
    obj += Quad(c[0], c[4], c[5], c[1]);  // y = -h, +y
    obj += Quad(c[1], c[5], c[6], c[2]);  // x = +h, -x
    obj += Quad(c[2], c[6], c[7], c[3]);  // y = +h, -y
    obj += Quad(c[3], c[7], c[4], c[0]);  // x = -h, +x
    return obj;
}

TEST(ExampleInterreflection, ClosedCubeMatchesTheIntegratingSphereFormula)
{
    const float rho = 0.5f, candela = 1000.0f, side = 4.0f;
    ExampleScene scene;
    scene.Write("scene.obj", Cube());
    scene.Write("scene.mtl", "newmtl grey\nKd 0.5 0.5 0.5\n");
    scene.Write("iso.ies", IsotropicIes(candela));
    // The floor and the four walls (the ceiling matches the floor by symmetry),
    // each 4 m x 4 m with the same points, so the mean of all points is the
    // mean over the surfaces.
    scene.Write("scene.json", R"({
      "geometry": "scene.obj", "up": "z",
      "luminaires": [{ "ies": "iso.ies", "position": [0, 0, 0] }],
      "grids": [
        { "name": "floor", "type": "horizontal", "height": 0, "outline": [[-2, -2], [2, -2], [2, 2], [-2, 2]] },
        { "name": "south", "type": "vertical", "from": [-2, -2], "to": [2, -2], "bottom": 0, "top": 4 },
        { "name": "east", "type": "vertical", "from": [2, -2], "to": [2, 2], "bottom": 0, "top": 4 },
        { "name": "north", "type": "vertical", "from": [2, 2], "to": [-2, 2], "bottom": 0, "top": 4 },
        { "name": "west", "type": "vertical", "from": [-2, 2], "to": [-2, -2], "bottom": 0, "top": 4 }
      ],
      "indirect": { "samples": 512, "bounces": 2 } })");
    std::vector<example::GridResult> grids = scene.Grids();
    ASSERT_EQ(grids.size(), 5u);

    double sum = 0.0;
    int points = 0;
    for (const example::GridResult& g : grids) {
        EXPECT_EQ(g.grid.columns * g.grid.rows, grids[0].grid.columns * grids[0].grid.rows) << g.grid.name;
        for (size_t i = 0; i < g.indirect.size(); ++i) sum += g.indirect[i], ++points;
    }
    const double flux = 4 * M_PI * candela, area = 6 * side * side;
    const double expected = flux * rho / (area * (1 - rho));
    const double average = sum / points;
    EXPECT_NEAR(average, expected, 0.02 * expected);
    std::printf("integrating sphere: average indirect %.2f lx, formula %.2f lx, error %.3f%%\n", average, expected,
                100 * (average / expected - 1));
}

// Every gather draws its random numbers from a seed its maker gave it, so
// the threads only change the order of the final sums.
TEST(ExampleInterreflection, ResultsDoNotDependOnTheThreadCountThreaded)
{
    ExampleScene scene;
    scene.Write("scene.obj", Cube() + "usemtl panel\n" +
                                 Quad({-0.5f, -0.5f, 1.9f}, {-0.5f, 0.5f, 1.9f}, {0.5f, 0.5f, 1.9f}, {0.5f, -0.5f, 1.9f}));
    scene.Write("scene.mtl", "newmtl grey\nKd 0.6 0.5 0.4\nnewmtl panel\nKe 1 1 1\n");
    scene.Write("iso.ies", IsotropicIes(500.0f));
    scene.Write("scene.json", R"({
      "geometry": "scene.obj", "up": "z",
      "luminaires": [{ "ies": "iso.ies", "position": [1, 1, 0] }],
      "grids": [{ "name": "floor", "type": "horizontal", "height": 0.8 }],
      "indirect": { "samples": 32 } })");
    std::vector<example::GridResult> one = scene.Grids(1), three = scene.Grids(3);
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(one[0].total.size(), three[0].total.size());
    for (size_t i = 0; i < one[0].total.size(); ++i) {
        EXPECT_NEAR(one[0].direct[i], three[0].direct[i], 1e-4f * one[0].direct[i]) << i;
        EXPECT_NEAR(one[0].indirect[i], three[0].indirect[i], 1e-4f * one[0].indirect[i]) << i;
    }
}

}  // namespace
}  // namespace example_test
