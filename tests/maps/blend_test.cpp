// Colour blending in every mode, the image inversion, and the average
// blended colour over a region, against hand-computed answers.
#include <climits>
#include <cstring>
#include <limits>

#include "map_fixture.h"

using maptest::Image;
using maptest::MapTest;
using maptest::Vec;

namespace {

Vec Blend(long mode, float alpha, float ratio, Vec base, Vec map, float limit)
{
    return VekMap_BlendMapColor(mode, alpha, ratio, base, map, limit);
}

void ExpectColour(const Vec& c, float r, float g, float b)
{
    EXPECT_FLOAT_EQ(c.x, r);
    EXPECT_FLOAT_EQ(c.y, g);
    EXPECT_FLOAT_EQ(c.z, b);
}

CG::vec3<int> Average(_VekMap* m, Vec base, long invert, long mode, float ratio, std::vector<Vec> coords)
{
    return VekMap_GetAverageColor(m, base, invert, mode, ratio, long(coords.size()), coords.data());
}

}  // namespace

TEST(MapBlend, EachModeAgainstItsClosedForm)
{
    const Vec base(0.2f, 0.9f, 0.5f), map(0.5f, 0.5f, 0.5f);
    // 1: mix by ratio.
    ExpectColour(Blend(1, 1, 0, base, map, 1), 0.2f, 0.9f, 0.5f);
    ExpectColour(Blend(1, 1, 1, base, map, 1), 0.5f, 0.5f, 0.5f);
    ExpectColour(Blend(1, 1, 0.25f, base, map, 1), 0.275f, 0.8f, 0.5f);
    // 2: mix weighted by alpha: (1 - 0.5 * 1) base + map.
    ExpectColour(Blend(2, 0.5f, 1, Vec(0.4f, 0.2f, 0), Vec(0.2f, 0.2f, 0.2f), 1), 0.4f, 0.3f, 0.2f);
    // 3: add, clamped at the limit.
    ExpectColour(Blend(3, 1, 1, Vec(0.8f, 0.8f, 0.8f), map, 1), 1, 1, 1);
    ExpectColour(Blend(3, 1, 0.5f, Vec(0.1f, 0.2f, 0.3f), map, 1), 0.35f, 0.45f, 0.55f);
    // 4: subtract, clamped at 0.
    ExpectColour(Blend(4, 1, 1, base, map, 1), 0, 0.4f, 0);
    // 5: multiply on the caller's scale.
    ExpectColour(Blend(5, 1, 1, Vec(255, 255, 255), Vec(10, 128, 250), 255), 10, 128, 250);
    ExpectColour(Blend(5, 1, 0.5f, base, map, 1), 0.05f, 0.225f, 0.125f);
    // 6 and 7: the larger and the smaller of base and mapColour x ratio.
    ExpectColour(Blend(6, 1, 1, base, map, 1), 0.5f, 0.9f, 0.5f);
    ExpectColour(Blend(7, 1, 1, base, map, 1), 0.2f, 0.5f, 0.5f);
    ExpectColour(Blend(6, 1, 0.5f, base, map, 1), 0.25f, 0.9f, 0.5f);
    // Any other mode: mapColour, clamped to [0, limit].
    for (long mode : {0L, 8L, -1L, LONG_MAX}) ExpectColour(Blend(mode, 1, 1, base, Vec(1.5f, -0.5f, 0.5f), 1), 1, 0, 0.5f);
    ExpectColour(Blend(0, 1, 1, base, Vec(300, -2, 7), 255), 255, 0, 7);
}

TEST_F(MapTest, BlendMapCopiesOrInvertsEveryByte)
{
    _VekMap* m = MakeMap("m", 2, 1, 4, Image{10, 20, 30, 255, 0, 128, 255, 7});
    VekAttribute* a = MakeAttribute("a", "m");
    unsigned char out[9];
    std::memset(out, 0xAB, sizeof out);
    VekMap_BlendMap(5, 0, a, out);
    EXPECT_EQ(std::memcmp(out, m->pixels, 8), 0);
    VekMap_BlendMap(5, 1, a, out);
    const unsigned char inverted[8] = {245, 235, 225, 0, 255, 127, 0, 248};
    EXPECT_EQ(std::memcmp(out, inverted, 8), 0);
    EXPECT_EQ(out[8], 0xAB);  // nothing past width x height x components

    // Without map 1, or with map 1 unbound, nothing is written.
    VekAttribute_SetMap(0, nullptr);
    VekAttribute_Instanciate(const_cast<char*>("plain"));
    std::memset(out, 0xAB, sizeof out);
    VekMap_BlendMap(0, 1, VekAttribute_GetAddress(1), out);
    VekMap_UnbindImage("m");
    VekMap_BlendMap(0, 1, a, out);
    VekMap_BlendMap(0, 1, nullptr, out);
    for (unsigned char b : out) EXPECT_EQ(b, 0xAB);
}

TEST_F(MapTest, AverageColourVisitsBothEndsOfTheRegion)
{
    // Grey texels 20, 40, 80, 121 in one row.
    _VekMap* m = MakeMap("m", 4, 1, 1, Image{20, 40, 80, 121});
    const Vec white(1, 1, 1);
    // u over [0, 1] visits columns 0..4: column 0 twice, (20+40+80+121+20)/5 = 56.2.
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(0, 0, 0), Vec(1, 0, 0)}), CG::vec3<int>(56, 56, 56));
    // Negative u wraps: columns -2..-1 are 2 and 3: (80 + 121)/2 = 100.5.
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(-0.5f, 0, 0), Vec(-0.25f, 0, 0)}), CG::vec3<int>(100, 100, 100));
    // The bounds come from every coordinate, not just the first two.
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(0.5f, 0, 0), Vec(0.6f, 0, 0), Vec(0.3f, 0, 0)}),
              CG::vec3<int>(60, 60, 60));  // columns 1..2
    // Inverted, then mode 4 from a base of 255: 255 - (255 - g) = g.
    EXPECT_EQ(Average(m, white, 1, 4, 1, {Vec(0.75f, 0, 0)}), CG::vec3<int>(121, 121, 121));
}

TEST_F(MapTest, AverageColourBlendsRgbAndAlphaTexels)
{
    // Inverted texels (155, 255, 55) and (205, 0, 255), mode 1 with ratio 0.5
    // over a black base: halves, averaged: (90, 63.75, 77.5).
    _VekMap* rgb = MakeMap("rgb", 2, 1, 3, Image{100, 0, 200, 50, 255, 0});
    EXPECT_EQ(Average(rgb, Vec(0, 0, 0), 1, 1, 0.5f, {Vec(0, 0, 0), Vec(0.5f, 0, 0)}), CG::vec3<int>(90, 63, 77));
    // Mode 2 reads alpha 51/255 = 0.2: (1 - 0.2) 127.5 + (200, 100, 0), clamped.
    _VekMap* rgba = MakeMap("rgba", 1, 1, 4, Image{200, 100, 0, 51});
    EXPECT_EQ(Average(rgba, Vec(0.5f, 0.5f, 0.5f), 0, 2, 1, {Vec(0.2f, 0.7f, 0)}), CG::vec3<int>(255, 202, 102));
}

TEST_F(MapTest, AverageColourOverHugeOrBrokenRegionsIsBoundedAndSafe)
{
    _VekMap* m = MakeMap("m", 4, 1, 1, Image{20, 40, 80, 121});
    const Vec white(1, 1, 1);
    // Whole periods of the image, 8e30 columns: the image's mean 65.25,
    // found without walking them.
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(-1e30f, 0, 0), Vec(1e30f, 0, 0)}), CG::vec3<int>(65, 65, 65));
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(0, -1e30f, 0), Vec(1e30f, 3e9f, 0)}), CG::vec3<int>(65, 65, 65));
    // Two periods and one column more: column 0 three times, the rest twice:
    // (3 x 20 + 2 x 241) / 9 = 60.2.
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(0, 0, 0), Vec(2, 0, 0)}), CG::vec3<int>(60, 60, 60));
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(0, 0, 0), Vec(inf, 0, 0)}), CG::vec3<int>(0, 0, 0));
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(nan, 0, 0), Vec(1, 0, 0)}), CG::vec3<int>(0, 0, 0));
    EXPECT_EQ(Average(m, white, 0, 0, 1, {Vec(3.4e38f, 0, 0)}), CG::vec3<int>(0, 0, 0));  // width x u overflows
    // A NaN base or ratio blends to NaN: the channel reads 0, not garbage.
    EXPECT_EQ(Average(m, Vec(nan, 0, 0), 0, 1, 0.5f, {Vec(0.75f, 0, 0)}), CG::vec3<int>(0, 60, 60));
    // No coordinates, no map, no image.
    Vec one(0.5f, 0.5f, 0);
    Vec base = white;
    EXPECT_EQ(VekMap_GetAverageColor(m, base, 0, 0, 1, 0, &one), CG::vec3<int>(0, 0, 0));
    EXPECT_EQ(VekMap_GetAverageColor(m, base, 0, 0, 1, -5, nullptr), CG::vec3<int>(0, 0, 0));
    EXPECT_EQ(VekMap_GetAverageColor(nullptr, base, 0, 0, 1, 1, &one), CG::vec3<int>(0, 0, 0));
    VekMap_UnbindImage("m");
    EXPECT_EQ(VekMap_GetAverageColor(m, base, 0, 0, 1, 1, &one), CG::vec3<int>(0, 0, 0));
}
