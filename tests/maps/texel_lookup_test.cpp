// Texel lookup at a map coordinate and at a point of a face: wrap-around,
// the limit at the image's end, hostile coordinates, the quadrilateral's
// halves and the projection's tie rule (triangle weights are the faces' own,
// tested with them).
#include <cfloat>
#include <cmath>
#include <limits>

#include "map_fixture.h"

using maptest::MapTest;
using maptest::TexelXY;
using maptest::Vec;

namespace {

using XY = std::pair<long, long>;

XY LookUp(_VekMap* m, float u, float v)
{
    Vec uv(u, v, 0.0f);
    const unsigned char* t = VekMap_GetMapColor(uv, m);
    EXPECT_NE(t, nullptr);
    return t ? TexelXY(m, t) : XY(-1, -1);
}

}  // namespace

TEST_F(MapTest, CoordinatesWrapWithPeriodOne)
{
    _VekMap* m = MakeMap("m", 4, 2, 3, maptest::PositionImage(4, 2, 3));
    EXPECT_EQ(LookUp(m, 1.3f, -0.4f), XY(1, 1));
    // -1e-8 rounds to a fraction of exactly 1: held at the last column.
    EXPECT_EQ(LookUp(m, -1e-8f, 0.0f), XY(3, 0));
    EXPECT_EQ(LookUp(m, 0.0f, -1e-8f), XY(0, 1));
    // Texel centres shifted by whole periods, independently of the rule.
    for (int period = -6; period <= 6; ++period)
        for (int x = 0; x < 4; ++x)
            for (int y = 0; y < 2; ++y)
                EXPECT_EQ(LookUp(m, period + (x + 0.5f) / 4, -period + (y + 0.5f) / 2), XY(x, y))
                    << "period " << period;
}

TEST_F(MapTest, NoCoordinateOrFaceReadsOutsideTheImage)
{
    _VekMap* m = MakeMap("m", 5, 3, 4, maptest::PositionImage(5, 3, 4));
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float hostile[] = {nan, inf, -inf, -1e30f, FLT_MAX, 2147483648.0f, -2147483648.0f, 3e9f,
                             16777217.0f, -4194304.5f, -1e-45f, -0.0f, 0.99999994f, -0.99999994f};
    for (float u : hostile)
        for (float v : hostile) LookUp(m, u, v);   // TexelXY checks it lies inside, on a texel
    // Not finite reads as 0; huge floats are whole numbers, fraction 0.
    EXPECT_EQ(LookUp(m, nan, -inf), XY(0, 0));
    EXPECT_EQ(LookUp(m, -1e30f, 3e9f), XY(0, 0));
    EXPECT_EQ(LookUp(m, -2147483648.0f, FLT_MAX), XY(0, 0));
    EXPECT_EQ(LookUp(m, -1e-45f, 0.5f), XY(4, 1));
    EXPECT_EQ(LookUp(m, -4194304.5f, 0.0f), XY(2, 0));  // fraction 0.5

    // Faces without area (their weights are not finite) still read inside.
    Vec line[4] = {Vec(0, 0, 0), Vec(1, 0, 0), Vec(2, 0, 0), Vec(3, 0, 0)};
    Vec T[4] = {Vec(0.1f, 0.2f, 0), Vec(0.3f, 0.4f, 0), Vec(0.5f, 0.6f, 0), Vec(0.7f, 0.8f, 0)};
    Vec p(0.5f, 0, 0), normal(0, 0, 1), zero(0, 0, 0);
    for (long count : {3L, 4L}) {
        TexelXY(m, VekMap_GetMapColor(p, count, line, T, normal, m));
        TexelXY(m, VekMap_GetMapColor(p, count, line, T, zero, m));
    }
    // A map without an image, or no map: null.
    VekMap_UnbindImage("m");
    EXPECT_EQ(VekMap_GetMapColor(p, m), nullptr);
    EXPECT_EQ(VekMap_GetMapColor(p, nullptr), nullptr);
    EXPECT_EQ(VekMap_GetMapColor(p, 3, line, T, normal, m), nullptr);
}

TEST_F(MapTest, QuadrilateralsUseTheHalfOnThePointsSideOfTheDiagonal)
{
    _VekMap* m = MakeMap("m", 8, 8, 1, maptest::PositionImage(8, 8, 1));
    Vec V[4] = {Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, 1, 0), Vec(0, 1, 0)};
    // T2 is off the plane the other three span, so the halves disagree.
    Vec T[4] = {Vec(0, 0, 0), Vec(0.5f, 0, 0), Vec(0.9f, 0.9f, 0), Vec(0, 0.5f, 0)};
    Vec up(0, 0, 1), down(0, 0, -1);
    Vec nearV0(0.25f, 0.25f, 0), nearV2(0.75f, 0.75f, 0);
    // V0 side: from T0, T1, T3: (0.125, 0.125).
    EXPECT_EQ(TexelXY(m, VekMap_GetMapColor(nearV0, 4, V, T, up, m)), XY(1, 1));
    // V2 side: 0.5 T2 + 0.25 T3 + 0.25 T1 = (0.575, 0.575).
    EXPECT_EQ(TexelXY(m, VekMap_GetMapColor(nearV2, 4, V, T, up, m)), XY(4, 4));
    // The side test is signed by the normal: with it reversed, the V0-side
    // point is taken in (V2, V3, V1): -0.5 T2 + 0.75 T3 + 0.75 T1 = -0.075 -> 0.925.
    EXPECT_EQ(TexelXY(m, VekMap_GetMapColor(nearV0, 4, V, T, down, m)), XY(7, 7));
}

TEST_F(MapTest, ProjectionTiesGoToTheLaterAxis)
{
    // A point off the face's plane gets different weights in different
    // projections, which exposes the axis the lookup drops. Dropping the
    // later tied axis gives (0.25, 0.25) in both cases; dropping the earlier
    // one would give (0.5, 0.25) and (0.75, 0.25).
    _VekMap* m = MakeMap("m", 8, 8, 1, maptest::PositionImage(8, 8, 1));
    Vec T[3] = {Vec(0, 0, 0), Vec(1, 0, 0), Vec(0, 1, 0)};
    struct Case { Vec normal; Vec V[3]; Vec point; };
    Case cases[] = {
        // x and z tie: z is dropped.
        {Vec(1, 0, 1), {Vec(0, 0, 0), Vec(1, 0, -1), Vec(0, 1, 0)}, Vec(0.25f, 0.25f, 0.5f)},
        // x and y tie: y is dropped.
        {Vec(-1, 1, 0), {Vec(0, 0, 0), Vec(1, 1, 0), Vec(0, 0, 1)}, Vec(0.25f, 0.75f, 0.25f)},
    };
    for (Case& c : cases) EXPECT_EQ(TexelXY(m, VekMap_GetMapColor(c.point, 3, c.V, T, c.normal, m)), XY(2, 2));
}
