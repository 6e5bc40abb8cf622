// Drawing: what a frame shows, read back pixel by pixel, for each drawing
// mode: filled and outlined surfaces, culling, back faces in red, and
// transparent surfaces blended over what lies behind them.
#include "offscreen.h"

namespace displaytest {
namespace {

// Eye-space coordinates whose projection at distance -z falls on the centre
// of pixel column px or row py (the default frustum on the pbuffer).
float EyeX(float px, float z) { return (px / (kWidth / 2.0f) - 1) * -z; }
float EyeY(float py, float z) { return (py / (kHeight / 2.0f) - 1) * 0.75f * -z; }

using DrawTest = DisplayTest;

TEST_F(DrawTest, FilledSurfacesOverTheClearedFrame)
{
    MakeAttribute("green", {0, 1, 0});
    MakeAttribute("red", {1, 0, 0});
    MakeQuad("green", -1, -0.5f, 0, 0.5f, -2);
    float triangle[9] = {0.5f, -0.5f, -2, 1.5f, -0.5f, -2, 1.0f, 0.5f, -2};
    VekSurface_SetAttributeName(const_cast<char*>("red"));
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    VekDisplay_SetMode(VEK_DISPLAY_SOLID);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(-0.5f, 0, -2), 0, 1, 0));
    EXPECT_TRUE(ColourNear(PixelAt(1.0f, -0.2f, -2), 1, 0, 0));
    // Beside the triangle's apex, inside its bounding box.
    EXPECT_TRUE(ColourNear(PixelAt(1.4f, 0.4f, -2), 0, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(1, 1), 0, 0, 0));

    // The next frame starts from a cleared frame and the moved view.
    VekDisplay_Translate(0, 5, 0);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(-0.5f, 0, -2), 0, 0, 0));
}

// A quadrilateral leaning away to the right, its left edge on pixel column
// 10 at distance 1.5 and its right edge on column 50 at distance 4: the
// depth changes fast across it, so outlines show only if pulled forward.
void MakeLeaningQuad(const char* attribute)
{
    const float zl = -1.5f, zr = -4.0f;
    float corners[12] = {EyeX(10.5f, zl), EyeY(8.5f, zl),  zl, EyeX(50.5f, zr), EyeY(8.5f, zr),  zr,
                         EyeX(50.5f, zr), EyeY(39.5f, zr), zr, EyeX(10.5f, zl), EyeY(39.5f, zl), zl};
    VekSurface_SetAttributeName(const_cast<char*>(attribute));
    VekSurface_Instanciate(4, corners, nullptr, nullptr);
}

TEST_F(DrawTest, OutlinesBlackOverFilledSurfacesWhiteAlone)
{
    MakeAttribute("green", {0, 1, 0});
    MakeLeaningQuad("green");
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_WIRE);
    DrawFrame();
    for (int row = 12; row <= 36; ++row) {
        EXPECT_TRUE(ColourNear(Pixel(10, row), 0, 0, 0)) << "left edge, row " << row;
        EXPECT_TRUE(ColourNear(Pixel(12, row), 0, 1, 0)) << "inside, row " << row;
    }
    for (int row = 21; row <= 27; ++row) EXPECT_TRUE(ColourNear(Pixel(50, row), 0, 0, 0)) << "right edge, row " << row;

    VekDisplay_SetMode(VEK_DISPLAY_WIRE);
    DrawFrame();
    for (int row = 12; row <= 36; ++row) {
        EXPECT_TRUE(ColourNear(Pixel(10, row), 1, 1, 1)) << "left edge, row " << row;
        EXPECT_TRUE(ColourNear(Pixel(12, row), 0, 0, 0)) << "inside, row " << row;
    }
    // Turned on the screen, the edges run across pixels: every pixel of the
    // outline alone must stay black over the filled surface it lies on.
    VekDisplay_Roll(30);
    DrawFrame();
    const std::vector<Rgb> outline = Frame();
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_WIRE);
    DrawFrame();
    const std::vector<Rgb> both = Frame();
    int outlinePixels = 0;
    for (size_t i = 0; i < both.size(); ++i) {
        if (outline[i].g < 128) continue;
        ++outlinePixels;
        EXPECT_TRUE(ColourNear(both[i], 0, 0, 0)) << "pixel " << i % kWidth << ", " << i / kWidth;
    }
    EXPECT_GT(outlinePixels, 80);
    GLint mode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_LINE));

    // Transparent outlines alone get no blended pass.
    Restart();
    MakeAttribute("glass", {1, 1, 1}, {0.5f, 0.5f, 0.5f});
    MakeLeaningQuad("glass");
    VekDisplay_SetMode(VEK_DISPLAY_WIRE | VEK_DISPLAY_TRANSPARENT);
    DrawFrame();
    EXPECT_TRUE(ColourNear(Pixel(10, 24), 1, 1, 1));
    EXPECT_TRUE(ColourNear(Pixel(20, 24), 0, 0, 0));
}

TEST_F(DrawTest, CullingHidesSurfacesFacingAwayOpaqueOrTransparent)
{
    // Without culling a transparent far side is blended like a near one.
    MakeAttribute("green", {0, 1, 0});
    MakeAttribute("glass", {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f});
    MakeQuad("green", 0.5f, -0.5f, -0.5f, 0.5f, -2);  // clockwise: faces away
    MakeQuad("glass", 1.5f, -0.5f, 0.5f, 0.5f, -2);
    const struct {
        uint32_t mode;
        float green, glass;
    } cases[] = {{VEK_DISPLAY_SOLID | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 0, 0},
                 {VEK_DISPLAY_SOLID | VEK_DISPLAY_TRANSPARENT, 1, 0.25f}};
    for (const auto& c : cases) {
        VekDisplay_SetMode(c.mode);
        DrawFrame();
        EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 0, c.green, 0));
        EXPECT_TRUE(ColourNear(PixelAt(1, 0, -2), c.glass, c.glass, c.glass));
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE) != 0, (c.mode & VEK_DISPLAY_CULL) != 0);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
}

TEST_F(DrawTest, BackFacesRedFromWhereTheEyeIs)
{
    MakeAttribute("green", {0, 1, 0});
    MakeAttribute("glass", {0, 0, 1}, {0.5f, 0.5f, 0.5f});
    // The scene is pushed 3 units away: the eye sits at world z = 3.
    VekDisplay_Translate(0, 0, -3);
    MakeQuad("green", -1.5f, -0.5f, -0.5f, 0.5f, 1);   // faces the eye
    MakeQuad("green", 0.5f, -0.5f, -0.5f, 0.5f, 1.5f);  // faces away, in front of the first's right half
    MakeQuad("glass", 0.7f, -0.5f, 1.7f, 0.5f, 1);      // transparent, faces the eye
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_BACKFACE | VEK_DISPLAY_TRANSPARENT);
    DrawFrame();
    EXPECT_TRUE(ColourNear(PixelAt(-1.2f, 0, -2), 0, 1, 0));
    EXPECT_TRUE(ColourNear(PixelAt(-0.2f, 0, -1.5f), 1, 0, 0));
    // Transparent surfaces are drawn solid, without blending.
    EXPECT_TRUE(ColourNear(PixelAt(1.4f, 0, -2), 0, 0, 1));
}

// What lies behind is filtered by d t, then (1 - t) d is added.
TEST_F(DrawTest, TransparentSurfacesFilterThenAdd)
{
    const std::array<float, 3> back = {0.8f, 0.6f, 0.4f}, d = {0.5f, 1.0f, 0.25f}, t = {0.5f, 0.25f, 1.0f};
    MakeAttribute("wall", back);
    MakeAttribute("glass", d, t);
    MakeQuad("wall", -1.5f, -1, 0, 1, -3);  // behind the glass's left half only
    MakeQuad("glass", -0.5f, -0.5f, 0.5f, 0.5f, -2);
    // The default mode: solid, outlines, culling, transparency.
    ASSERT_EQ(g_mainValueTable.displayFlags, 0x303u);
    DrawFrame();
    auto over = [&](const std::array<float, 3>& behind, int i) { return behind[i] * d[i] * t[i] + (1 - t[i]) * d[i]; };
    EXPECT_TRUE(ColourNear(PixelAt(-0.25f, 0, -2), over(back, 0), over(back, 1), over(back, 2)));
    EXPECT_TRUE(ColourNear(PixelAt(0.25f, 0, -2), over({0, 0, 0}, 0), over({0, 0, 0}, 1), over({0, 0, 0}, 2)));
    EXPECT_TRUE(ColourNear(PixelAt(-1.0f, 0, -3), back[0], back[1], back[2]));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(DrawTest, SurfaceFlagOtherThanOneOrNoSurfacesDrawNothing)
{
    // An empty scene also leaves texturing and blending off.
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    VekDisplay_SetMode(0x303 | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    MakeAttribute("green", {0, 1, 0});
    MakeQuad("green", -1, -1, 1, 1, -2);
    for (int32_t flag : {0, 2, -1}) {
        g_mainValueTable.displaySurfaceFlag = flag;
        DrawFrame();
        EXPECT_TRUE(ColourNear(PixelAt(0, 0, -2), 0, 0, 0)) << flag;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace displaytest
