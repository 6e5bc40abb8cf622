// Lights on the screen: visible area and linear lights drawn in their
// colour scaled to a brightest channel of 1, after the surfaces and under
// the same culling; other kinds of light are not drawn.
#include <algorithm>

#include "offscreen.h"

namespace displaytest {
namespace {

using LightTest = DisplayTest;

// A unit square at distance 2, counter-clockwise (facing the eye) or not.
int32_t MakeSquareLight(std::array<float, 3> energy, bool facingTheEye, int32_t visible)
{
    float corners[12] = {-0.5f, -0.5f, -2, 0.5f, -0.5f, -2, 0.5f, 0.5f, -2, -0.5f, 0.5f, -2};
    if (!facingTheEye) std::swap_ranges(corners + 3, corners + 6, corners + 9);
    return VekLight_InstanciateAreaLight(energy.data(), 4, corners, visible);
}

TEST_F(LightTest, AreaLightInItsNormalisedColour)
{
    ASSERT_GT(MakeSquareLight({2, 4, 1}, true, 1), 0);  // area 1: density (2, 4, 1)
    float triangle[9] = {1, -0.5f, -2, 1.8f, -0.5f, -2, 1.4f, 0.5f, -2};
    float energy[3] = {3, 3, 6};
    VekLight_InstanciateAreaLight(energy, 3, triangle, 1);
    VekDisplay_SetMode(VEK_DISPLAY_LIGHTS);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 0.5f, 1, 0.25f));
    EXPECT_TRUE(ColourNear(PixelAt(1.4f, -0.3f, -2), 0.5f, 0.5f, 1));
    EXPECT_TRUE(ColourNear(PixelAt(-1.5f, 0, -2), 0, 0, 0));

    VekDisplay_SetMode(0);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 0, 0, 0));
}

TEST_F(LightTest, InvisibleAndOtherLightsAreNotDrawn)
{
    MakeSquareLight({1, 1, 1}, true, 0);
    float energy[3] = {1, 1, 1}, position[3] = {0, 0, -2}, direction[3] = {0, 0, -1};
    VekLight_InstanciatePointLight(energy, position, 0, 10);
    VekLight_InstanciateDirectionalLight(energy, direction);
    VekLight_InstanciateSkyLight(energy, 10, 40);
    float start[3] = {-1, 0, -2}, end[3] = {1, 0, -2};
    VekLight_InstanciateLinearLight(energy, start, end, 0);
    VekDisplay_SetMode(VEK_DISPLAY_LIGHTS);
    DrawFrame();
    for (const Rgb& p : Frame()) ASSERT_TRUE(ColourNear(p, 0, 0, 0));
}

TEST_F(LightTest, LinearLightAsALine)
{
    // Along the centres of pixel row 24, from column 16 to column 48.
    const float y = (24.5f / 24 - 1) * 0.75f * 2;
    float energy[3] = {1, 0.5f, 0.25f}, start[3] = {-1, y, -2}, end[3] = {1, y, -2};
    ASSERT_GT(VekLight_InstanciateLinearLight(energy, start, end, 1), 0);
    VekDisplay_SetMode(VEK_DISPLAY_LIGHTS);
    DrawFrame();
    for (int x : {17, 32, 46}) EXPECT_TRUE(ColourNear(Pixel(x, 24), 1, 0.5f, 0.25f)) << x;
    EXPECT_TRUE(ColourNear(Pixel(32, 26), 0, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(10, 24), 0, 0, 0));
}

TEST_F(LightTest, LightsStayWhenSurfacesAreHiddenAndFollowCulling)
{
    MakeAttribute("grey", {0.5f, 0.5f, 0.5f});
    MakeQuad("grey", -1.5f, -1, 1.5f, 1, -3);  // behind the light
    MakeSquareLight({1, 1, 1}, false, 1);        // facing away
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_LIGHTS);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 1, 1, 1));
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_LIGHTS | VEK_DISPLAY_CULL);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 0.5f, 0.5f, 0.5f));

    g_mainValueTable.displaySurfaceFlag = 0;
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_LIGHTS);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 1, 1, 1));
    EXPECT_TRUE(ColourNear(PixelAt(1.2f, 0, -3), 0, 0, 0));
}

}  // namespace
}  // namespace displaytest
