// Texture upload: texels on the screen in map order, inverted copies, grey
// images, the filter codes as OpenGL holds them (mipmaps built or not), and
// the uploads each frame makes, counted on the real OpenGL and GLU calls.
#include <tuple>

#include "offscreen.h"
#include "upload_counter.h"

namespace displaytest {
namespace {

const std::vector<unsigned char> kFourColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
const uint32_t kTextured = VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE;

class TextureTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        ClearUploads();
        VekDisplay_SetMode(kTextured);
    }
    // A quad filling the view, map coordinates 0..repeat.
    static void FillView(const char* attribute, float repeat = 1.0f) { MakeQuad(attribute, -1, -0.75f, 1, 0.75f, -1, repeat); }
    // The four quadrants of the view show these colours (bottom left, bottom
    // right, top left, top right).
    static void ExpectQuadrants(const std::array<std::array<float, 3>, 4>& colours)
    {
        const int at[4][2] = {{16, 12}, {48, 12}, {16, 36}, {48, 36}};
        for (int q = 0; q < 4; ++q)
            EXPECT_TRUE(ColourNear(Pixel(at[q][0], at[q][1]), colours[q][0], colours[q][1], colours[q][2])) << q;
    }
};

TEST_F(TextureTest, TexelsInMapOrderModulatedByDiffuse)
{
    MakeMap("four", 2, 2, 3, kFourColours);
    MakeAttribute("painted", {1, 0.5f, 1}, {0, 0, 0}, "four");
    FillView("painted");
    DrawFrame();
    // v = 0 is the image's first row, at the quad's bottom.
    ExpectQuadrants({{{1, 0, 0}, {0, 0.5f, 0}, {0, 0, 1}, {1, 0.5f, 1}}});
    ASSERT_EQ(Uploads().size(), 1u);
    const Upload& u = Uploads()[0];
    EXPECT_FALSE(u.mipmapped);
    EXPECT_EQ(std::make_tuple(u.internalFormat, u.width, u.height, u.format), std::make_tuple(3, 2, 2, GLenum{GL_RGB}));
    // Without inversion the map's own copy is shown, not a copy of it.
    const VekAttribute* a = VekMemory_GetAttributeList();
    EXPECT_EQ(a->displayImage, a->map1->pixels);
    EXPECT_EQ(u.pixels, a->map1->pixels);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // Without the texture flag the surface shows its diffuse colour.
    ClearUploads();
    VekDisplay_SetMode(VEK_DISPLAY_SOLID);
    DrawFrame();
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 1, 0.5f, 1));
    EXPECT_TRUE(Uploads().empty());
}

TEST_F(TextureTest, InvertedAttributesShowTheirOwnInvertedCopies)
{
    MakeMap("four", 2, 2, 3, kFourColours);
    MakeAttribute("plain", {1, 1, 1}, {0, 0, 0}, "four");
    MakeAttribute("inverted", {1, 1, 1}, {0, 0, 0}, "four", 1);
    MakeAttribute("inverted too", {1, 1, 1}, {0, 0, 0}, "four", 1);
    MakeQuad("plain", -1, -0.75f, 0, 0.75f, -1);
    MakeQuad("inverted too", 0, -0.75f, 1, 0.75f, -1);
    MakeQuad("inverted", 0, -0.75f, 1, 0.75f, -1);
    DrawFrame();
    const VekAttribute* plain = VekMemory_GetAttributeList();
    const VekAttribute* inverted = plain->next;
    EXPECT_NE(inverted->displayImage, plain->map1->pixels);
    EXPECT_NE(inverted->displayImage, inverted->next->displayImage);
    // Red texel (0, 0) on the left, its inverse, cyan, on the right; white (1, 1) turns black.
    EXPECT_TRUE(ColourNear(Pixel(8, 12), 1, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(40, 12), 0, 1, 1));
    EXPECT_TRUE(ColourNear(Pixel(56, 36), 0, 0, 0));
}

TEST_F(TextureTest, GreyImagesUploadAsLuminance)
{
    MakeMap("grey", 2, 2, 1, {0, 85, 170, 255});
    MakeAttribute("grey", {1, 1, 1}, {0, 0, 0}, "grey");
    FillView("grey");
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(std::make_tuple(Uploads()[0].internalFormat, Uploads()[0].format), std::make_tuple(1, GLenum{GL_LUMINANCE}));
    ExpectQuadrants({{{0, 0, 0}, {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}, {2 / 3.0f, 2 / 3.0f, 2 / 3.0f}, {1, 1, 1}}});
}

TEST_F(TextureTest, FilterCodesAsOpenGLHoldsThem)
{
    // Codes 3 and 4 are nearest-mipmap-linear and linear-mipmap-nearest; an
    // unknown minification code filters like magnification.
    const struct {
        long minCode, magCode;
        GLint minification, magnification;
        bool mipmapped;
    } cases[] = {
        {0, 0, GL_NEAREST, GL_NEAREST, false},
        {1, 1, GL_LINEAR, GL_LINEAR, false},
        {2, 0, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, true},
        {3, 0, GL_NEAREST_MIPMAP_LINEAR, GL_NEAREST, true},
        {4, 1, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true},
        {5, 0, GL_LINEAR_MIPMAP_LINEAR, GL_NEAREST, true},
        {6, 1, GL_LINEAR, GL_LINEAR, true},
        {-1, 0, GL_NEAREST, GL_NEAREST, false},
        {1, 5, GL_LINEAR, GL_NEAREST, false},
    };
    for (const auto& c : cases) {
        Restart();
        VekDisplay_SetMode(kTextured);
        ClearUploads();
        MakeMap("map", 2, 2, 3, kFourColours, c.minCode, c.magCode);
        MakeAttribute("painted", {1, 1, 1}, {0, 0, 0}, "map");
        FillView("painted");
        DrawFrame();
        GLint min = 0, mag = 0, wrap = 0, env = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
        EXPECT_EQ(std::make_tuple(min, mag, wrap, env),
                  std::make_tuple(c.minification, c.magnification, GL_REPEAT, GL_MODULATE))
            << "codes " << c.minCode << ", " << c.magCode;
        ASSERT_EQ(Uploads().size(), 1u);
        EXPECT_EQ(Uploads()[0].mipmapped, c.mipmapped) << "codes " << c.minCode << ", " << c.magCode;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(TextureTest, UploadsFollowChangesOfAttributeInListOrder)
{
    const struct {
        std::vector<const char*> surfaces;   // "-" is untextured
        std::array<float, 3> transparency;
        uint32_t flags;
        size_t uploads;
    } cases[] = {
        {{"A", "A", "A"}, {0, 0, 0}, kTextured, 1},
        {{"A", "B", "A", "B"}, {0, 0, 0}, kTextured, 4},
        // Untextured surfaces turn texturing off and forget the attribute.
        {{"A", "-", "A"}, {0, 0, 0}, kTextured, 2},
        {{"A", "A"}, {0, 0, 0}, VEK_DISPLAY_SOLID, 0},
        // Transparent surfaces upload in their own pass, twice without culling.
        {{"A", "A"}, {0.5f, 0.5f, 0.5f}, kTextured | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 1},
        {{"A", "A"}, {0.5f, 0.5f, 0.5f}, kTextured | VEK_DISPLAY_TRANSPARENT, 2},
        // A component of exactly the threshold puts a surface in both passes.
        {{"A"}, {0, 0, 1e-10f}, kTextured | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 2},
    };
    for (const auto& c : cases) {
        Restart();
        MakeMap("map", 2, 2, 3, kFourColours);
        MakeAttribute("A", {1, 1, 1}, c.transparency, "map");
        MakeAttribute("B", {1, 1, 1}, c.transparency, "map");
        MakeAttribute("-", {1, 1, 1}, c.transparency);
        float x = -1;
        for (const char* a : c.surfaces) {
            MakeQuad(a, x, -0.5f, x + 0.1f, 0.5f, -2);
            x += 0.2f;
        }
        VekDisplay_SetMode(c.flags);
        ClearUploads();
        VekDisplay_DrawStart();
        VekDisplay_DrawSurface();
        EXPECT_EQ(Uploads().size(), c.uploads) << "surfaces " << c.surfaces.size() << ", flags 0x" << std::hex << c.flags;
        // Every frame uploads again: there are no texture objects.
        VekDisplay_DrawSurface();
        EXPECT_EQ(Uploads().size(), 2 * c.uploads);
    }
}

TEST_F(TextureTest, BackFacesAreUntexturedAndForgetTheTexture)
{
    MakeMap("map", 2, 2, 3, kFourColours);
    MakeAttribute("A", {1, 1, 1}, {0, 0, 0}, "map");
    MakeQuad("A", -1, -0.5f, -0.5f, 0.5f, -2);
    MakeQuad("A", 0.5f, -0.5f, 0, 0.5f, -2);  // faces away
    MakeQuad("A", 0.5f, -0.5f, 1, 0.5f, -2);
    VekDisplay_SetMode(kTextured | VEK_DISPLAY_BACKFACE);
    DrawFrame();
    EXPECT_EQ(Uploads().size(), 2u);
    EXPECT_TRUE(ColourNear(PixelAt(0.25f, 0, -2), 1, 0, 0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureTest, RebindingKeepsShowingTheFirstImageAndNoImageShowsTheDiffuseColour)
{
    MakeMap("map", 2, 2, 3, kFourColours);
    MakeAttribute("painted", {1, 1, 1}, {0, 0, 0}, "map");
    FillView("painted");
    DrawFrame();
    const unsigned char* first = VekMemory_GetAttributeList()->displayImage;
    ASSERT_NE(first, nullptr);

    VekMap_BindImage("map", 8, 8, 3, std::vector<unsigned char>(8 * 8 * 3, 200).data());
    ClearUploads();
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(Uploads()[0].pixels, first);
    EXPECT_EQ(std::make_tuple(Uploads()[0].width, Uploads()[0].height), std::make_tuple(2, 2));
    ExpectQuadrants({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}});

    // Unbinding leaves the attribute's image too; a new attribute naming the
    // map now gets an empty texture, incomplete, so its diffuse colour shows.
    VekMap_UnbindImage("map");
    MakeAttribute("late", {0, 1, 0}, {0, 0, 0}, "map");
    FillView("late");  // drawn after "painted" at the same depth, so it shows
    ClearUploads();
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 2u);
    EXPECT_EQ(Uploads()[0].pixels, first);
    EXPECT_EQ(std::make_tuple(Uploads()[1].pixels, Uploads()[1].width), std::make_tuple(nullptr, 0));
    EXPECT_EQ(VekMemory_GetAttributeList()->next->displayImage, nullptr);
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 0, 1, 0));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace displaytest
