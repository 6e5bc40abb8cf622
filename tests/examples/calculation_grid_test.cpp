// calculation_grid_test.cpp - grid layout against hand-computed points, and
// isolines against a field whose lines are known.
#include <gtest/gtest.h>

#include <cmath>

#include "calculation_grid.h"
#include "isolines.h"

namespace example_test {
namespace {

using example::Vec2;
using example::Vec3;

TEST(ExampleCalculationGrid, WorkPlaneOfARoomTakesTheStandardsSpacingInsideItsBorder)
{
    // A 6 m x 5 m room less a 0.5 m band: a 5 m x 4 m area. p = 0.2 x 5^log10(5)
    // = 0.616 m; 5 / p rounds to 8 points (0.625 m apart), 4 / 0.625 to 6.
    example::GridDesc desc;
    desc.name = "work plane";
    desc.height = 0.75f;
    desc.border = 0.5f;
    desc.outline = {{0, 0}, {6, 0}, {6, 5}, {0, 5}};
    example::CalculationGrid g = example::LayOutGrid(desc, 0.0f, Vec3(0, 0, 0), Vec3(6, 5, 3), "scene.json");
    ASSERT_EQ(g.columns, 8);
    ASSERT_EQ(g.rows, 6);
    EXPECT_FLOAT_EQ(g.uStep, 0.625f);
    EXPECT_NEAR(g.vStep, 4.0f / 6, 1e-6f);
    Vec3 first = g.World(g.At(0, 0)), last = g.World(g.At(7, 5));
    EXPECT_FLOAT_EQ(first.x, 0.5f + 0.3125f);
    EXPECT_NEAR(first.y, 0.5f + 2.0f / 6, 1e-6f);
    EXPECT_FLOAT_EQ(first.z, 0.75f);
    EXPECT_FLOAT_EQ(last.x, 5.5f - 0.3125f);
    for (bool used : g.inside) EXPECT_TRUE(used);
}

TEST(ExampleCalculationGrid, PointsOfAnLShapedRoomKeepOutOfItsBorderBand)
{
    // An L: 4 m x 4 m less its 2 m x 2 m upper right quarter.
    example::GridDesc desc;
    desc.name = "L";
    desc.border = 0.3f;
    desc.outline = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
    example::CalculationGrid g = example::LayOutGrid(desc, 0.0f, Vec3(0, 0, 0), Vec3(4, 4, 3), "scene.json");
    int used = 0;
    for (int row = 0; row < g.rows; ++row)
        for (int column = 0; column < g.columns; ++column) {
            Vec2 p = g.At(column, row);
            bool inL = p.x < 2 - 0.3f || p.y < 2 - 0.3f;
            bool clearOfWalls = p.x > 0.3f && p.y > 0.3f && p.x < 3.7f && p.y < 3.7f;
            EXPECT_EQ(g.inside[g.Index(column, row)], inL && clearOfWalls) << p.x << ", " << p.y;
            used += g.inside[g.Index(column, row)];
        }
    EXPECT_GT(used, 0);
}

TEST(ExampleIsolines, LineOfALinearFieldLiesWhereTheFieldHasItsLevel)
{
    // f = column on a 4 x 3 grid: the line f = 1.5 runs straight up at column 1.5.
    const int columns = 4, rows = 3;
    std::vector<float> values;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) values.push_back(static_cast<float>(column));
    std::vector<bool> used(values.size(), true);
    std::vector<example::Segment> line = example::Isolines(values, used, columns, rows, 1.5f);
    ASSERT_EQ(line.size(), 2u);  // one per square the line crosses
    float covered = 0.0f;
    for (const example::Segment& s : line) {
        EXPECT_FLOAT_EQ(s.a.x, 1.5f);
        EXPECT_FLOAT_EQ(s.b.x, 1.5f);
        covered += std::fabs(s.b.y - s.a.y);
    }
    EXPECT_FLOAT_EQ(covered, 2.0f);

    // A square with an unused corner has no line.
    used[1] = false;
    EXPECT_EQ(example::Isolines(values, used, columns, rows, 1.5f).size(), 1u);
}

}  // namespace
}  // namespace example_test
