// Colour blending in every mode, the image inversion, and the average
// blended colour over a region, against hand-computed answers.
#include <climits>
#include <cstring>
#include <limits>
#include <vector>

#include "map_fixture.h"

using maptest::Image;
using maptest::MapTest;
using maptest::Vec;

namespace {

CG::vec3<int> Average(_VekMap* m, Vec base, long invert, long mode, float ratio, std::vector<Vec> coords)
{
    return VekMap_GetAverageColor(m, base, invert, mode, ratio, long(coords.size()), coords.data());
}

}  // namespace

TEST(MapBlend, EachModeAgainstItsClosedForm)
{
    const Vec base(0.2f, 0.9f, 0.5f), grey(0.5f, 0.5f, 0.5f);
    const struct {
        long mode;
        float alpha, ratio;
        Vec base, map;
        float limit;
        Vec expected;
    } cases[] = {
        {1, 1, 0.25f, base, grey, 1, {0.275f, 0.8f, 0.5f}},                              // mix by ratio
        {2, 0.5f, 1, {0.4f, 0.2f, 0}, {0.2f, 0.2f, 0.2f}, 1, {0.4f, 0.3f, 0.2f}},         // (1 - 0.5) base + map
        {3, 1, 1, {0.8f, 0.8f, 0.8f}, grey, 1, {1, 1, 1}},                                // add, clamped
        {3, 1, 0.5f, {0.1f, 0.2f, 0.3f}, grey, 1, {0.35f, 0.45f, 0.55f}},
        {4, 1, 1, base, grey, 1, {0, 0.4f, 0}},                                           // subtract, clamped
        {5, 1, 1, {255, 255, 255}, {10, 128, 250}, 255, {10, 128, 250}},                  // multiply on the scale
        {5, 1, 0.5f, base, grey, 1, {0.05f, 0.225f, 0.125f}},
        {6, 1, 0.5f, base, grey, 1, {0.25f, 0.9f, 0.5f}},                                 // larger
        {7, 1, 1, base, grey, 1, {0.2f, 0.5f, 0.5f}},                                     // smaller
        {0, 1, 1, base, {1.5f, -0.5f, 0.5f}, 1, {1, 0, 0.5f}},                            // other: map, clamped
        {8, 1, 1, base, {300, -2, 7}, 255, {255, 0, 7}},
        {LONG_MAX, 1, 1, base, {1.5f, -0.5f, 0.5f}, 1, {1, 0, 0.5f}},
    };
    for (const auto& c : cases) {
        const Vec out = VekMap_BlendMapColor(c.mode, c.alpha, c.ratio, c.base, c.map, c.limit);
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(out[k], c.expected[k]) << "mode " << c.mode << " ratio " << c.ratio;
    }
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

TEST_F(MapTest, AverageColourAgainstHandSums)
{
    // Grey texels 20, 40, 80, 121 in one row; inverted RGB texels
    // (155, 255, 55) and (205, 0, 255); one RGBA texel of alpha 51/255 = 0.2.
    _VekMap* grey = MakeMap("grey", 4, 1, 1, Image{20, 40, 80, 121});
    _VekMap* rgb = MakeMap("rgb", 2, 1, 3, Image{100, 0, 200, 50, 255, 0});
    _VekMap* rgba = MakeMap("rgba", 1, 1, 4, Image{200, 100, 0, 51});
    const Vec white(1, 1, 1), black(0, 0, 0);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        _VekMap* map;
        Vec base;
        long invert, mode;
        float ratio;
        std::vector<Vec> coords;
        CG::vec3<int> expected;
    } cases[] = {
        {"columns 0..4: column 0 twice, 281 / 5", grey, white, 0, 0, 1, {{0, 0, 0}, {1, 0, 0}}, {56, 56, 56}},
        {"negative u wraps to columns 2 and 3", grey, white, 0, 0, 1, {{-0.5f, 0, 0}, {-0.25f, 0, 0}}, {100, 100, 100}},
        {"bounds from every coordinate", grey, white, 0, 0, 1, {{0.5f, 0, 0}, {0.6f, 0, 0}, {0.3f, 0, 0}}, {60, 60, 60}},
        {"inverted, then 255 - (255 - g)", grey, white, 1, 4, 1, {{0.75f, 0, 0}}, {121, 121, 121}},
        {"inverted halves over black", rgb, black, 1, 1, 0.5f, {{0, 0, 0}, {0.5f, 0, 0}}, {90, 63, 77}},
        {"(1 - 0.2) 127.5 + texel, clamped", rgba, {0.5f, 0.5f, 0.5f}, 0, 2, 1, {{0.2f, 0.7f, 0}}, {255, 202, 102}},
        // Whole periods are counted, not walked: 8e30 columns give the mean 65.25.
        {"huge span", grey, white, 0, 0, 1, {{-1e30f, 0, 0}, {1e30f, 0, 0}}, {65, 65, 65}},
        {"huge in both directions", grey, white, 0, 0, 1, {{0, -1e30f, 0}, {1e30f, 3e9f, 0}}, {65, 65, 65}},
        {"two periods and a column: (3 x 20 + 2 x 241) / 9", grey, white, 0, 0, 1, {{0, 0, 0}, {2, 0, 0}}, {60, 60, 60}},
        {"infinite bound", grey, white, 0, 0, 1, {{0, 0, 0}, {inf, 0, 0}}, {0, 0, 0}},
        {"NaN bound", grey, white, 0, 0, 1, {{nan, 0, 0}, {1, 0, 0}}, {0, 0, 0}},
        {"width x u overflows", grey, white, 0, 0, 1, {{3.4e38f, 0, 0}}, {0, 0, 0}},
        {"a NaN base channel reads 0", grey, {nan, 0, 0}, 0, 1, 0.5f, {{0.75f, 0, 0}}, {0, 60, 60}},
        {"no map", nullptr, white, 0, 0, 1, {{0.5f, 0.5f, 0}}, {0, 0, 0}},
        {"no coordinates", grey, white, 0, 0, 1, {}, {0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(Average(c.map, c.base, c.invert, c.mode, c.ratio, c.coords), c.expected) << c.what;
    Vec one(0.5f, 0.5f, 0), base = white;
    EXPECT_EQ(VekMap_GetAverageColor(grey, base, 0, 0, 1, -5, nullptr), CG::vec3<int>(0, 0, 0));
    VekMap_UnbindImage("grey");
    EXPECT_EQ(VekMap_GetAverageColor(grey, base, 0, 0, 1, 1, &one), CG::vec3<int>(0, 0, 0));
}
