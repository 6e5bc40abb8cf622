// Texture upload: texels on the screen in map order, mipmaps when minified,
// grey images, the filter codes as OpenGL holds them, and the uploads each
// frame makes, counted on the real OpenGL and GLU calls.
#include <tuple>

#include "offscreen.h"
#include "upload_counter.h"

namespace displaytest {
namespace {

const std::vector<unsigned char> kFourColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

class TextureTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        UsePbufferWindow();
        ClearUploads();
    }
    // A quad filling the view, map coordinates 0..repeat.
    static void FillView(const char* attribute, float repeat = 1.0f)
    {
        MakeQuad(attribute, -1, -0.75f, 1, 0.75f, -1, repeat);
    }
};

GLint TextureParameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST_F(TextureTest, TexelsInMapOrderModulatedByDiffuse)
{
    MakeMap("four", 2, 2, 3, kFourColours);
    MakeAttribute("painted", {1, 0.5f, 1}, {0, 0, 0}, "four");
    FillView("painted");
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    // v = 0 is the image's first row, at the quad's bottom.
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 1, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(48, 12), 0, 0.5f, 0));
    EXPECT_TRUE(ColourNear(Pixel(16, 36), 0, 0, 1));
    EXPECT_TRUE(ColourNear(Pixel(48, 36), 1, 0.5f, 1));
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
    MakeAttribute("plain too", {1, 1, 1}, {0, 0, 0}, "four");
    MakeAttribute("inverted", {1, 1, 1}, {0, 0, 0}, "four", 1);
    MakeAttribute("inverted too", {1, 1, 1}, {0, 0, 0}, "four", 1);
    MakeQuad("plain", -1, -0.75f, 0, 0.75f, -1);
    MakeQuad("plain too", -1, -0.75f, 0, 0.75f, -1);
    MakeQuad("inverted too", 0, -0.75f, 1, 0.75f, -1);
    MakeQuad("inverted", 0, -0.75f, 1, 0.75f, -1);
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    const VekAttribute* plain = VekMemory_GetAttributeList();
    const VekAttribute* plainToo = plain->next;
    const VekAttribute* inverted = plainToo->next;
    const VekAttribute* invertedToo = inverted->next;
    EXPECT_EQ(plain->displayImage, plain->map1->pixels);
    EXPECT_EQ(plainToo->displayImage, plain->map1->pixels);
    ASSERT_NE(inverted->displayImage, nullptr);
    EXPECT_NE(inverted->displayImage, plain->map1->pixels);
    EXPECT_NE(inverted->displayImage, invertedToo->displayImage);
    // Texel (0, 0) is red on the left and its inverse, cyan, on the right;
    // the white texel (1, 1) turns black.
    EXPECT_TRUE(ColourNear(Pixel(8, 12), 1, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(40, 12), 0, 1, 1));
    EXPECT_TRUE(ColourNear(Pixel(56, 36), 0, 0, 0));
    ASSERT_EQ(Uploads().size(), 4u);
    EXPECT_EQ(Uploads()[2].pixels, invertedToo->displayImage);
}

TEST_F(TextureTest, MipmapsAverageAMinifiedChecker)
{
    const std::vector<unsigned char> checker = {0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0};
    MakeMap("fine", 2, 2, 3, checker, 0);
    MakeMap("mipmapped", 2, 2, 3, checker, 2);
    MakeAttribute("fine", {1, 1, 1}, {0, 0, 0}, "fine");
    MakeAttribute("mipmapped", {1, 1, 1}, {0, 0, 0}, "mipmapped");
    // 64 repeats across 64 pixels: two texels per pixel, so mipmap level 1,
    // the checker's 1 x 1 average.
    FillView("mipmapped", 64);
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    for (int x : {5, 20, 33, 60}) EXPECT_TRUE(ColourNear(Pixel(x, 24), 0.5f, 0.5f, 0.5f)) << x;
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_TRUE(Uploads()[0].mipmapped);

    // The same image without mipmaps shows single texels, black or white.
    VekMain_End();
    VekMain_Initialize();
    MakeMap("fine", 2, 2, 3, checker, 0);
    MakeAttribute("fine", {1, 1, 1}, {0, 0, 0}, "fine");
    FillView("fine", 64);
    DrawFrame();
    for (int x : {5, 20, 33, 60}) {
        const Rgb p = Pixel(x, 24);
        EXPECT_TRUE(p.r < 4 || p.r > 251) << x << ": " << p.r;
    }
}

TEST_F(TextureTest, GreyImagesUploadAsLuminance)
{
    for (long minFilter : {0, 5}) {
        VekMain_End();
        VekMain_Initialize();
        ClearUploads();
        MakeMap("grey", 2, 2, 1, {0, 85, 170, 255}, minFilter);
        MakeAttribute("grey", {1, 1, 1}, {0, 0, 0}, "grey");
        FillView("grey");
        VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
        DrawFrame();
        ASSERT_EQ(Uploads().size(), 1u);
        EXPECT_EQ(Uploads()[0].internalFormat, 1);
        EXPECT_EQ(Uploads()[0].format, GLenum{GL_LUMINANCE});
        if (minFilter != 0) continue;  // linear mipmaps blur the quadrants
        EXPECT_TRUE(ColourNear(Pixel(16, 12), 0, 0, 0));
        EXPECT_TRUE(ColourNear(Pixel(48, 12), 85 / 255.0f, 85 / 255.0f, 85 / 255.0f));
        EXPECT_TRUE(ColourNear(Pixel(16, 36), 170 / 255.0f, 170 / 255.0f, 170 / 255.0f));
        EXPECT_TRUE(ColourNear(Pixel(48, 36), 1, 1, 1));
    }
}

TEST_F(TextureTest, FilterCodesAsOpenGLHoldsThem)
{
    struct Case {
        long minCode, magCode;
        GLint minification, magnification;
        bool mipmapped;
    };
    // Codes 3 and 4 are nearest-mipmap-linear and linear-mipmap-nearest; an
    // unknown minification code filters like magnification.
    const Case cases[] = {
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
    for (const Case& c : cases) {
        VekMain_End();
        VekMain_Initialize();
        ClearUploads();
        vektest::ClearWarning();
        MakeMap("map", 2, 2, 3, kFourColours, c.minCode, c.magCode);
        const bool known = c.minCode >= 0 && c.minCode <= 5 && c.magCode >= 0 && c.magCode <= 1;
        EXPECT_EQ(VekMain_GetWarning(), known ? VEK_WARNING_NONE : VEK_WARNING_INVALID_VALUE);
        EXPECT_EQ(VekMemory_GetMapList()->minFilter, c.minCode);
        MakeAttribute("painted", {1, 1, 1}, {0, 0, 0}, "map");
        FillView("painted");
        VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
        DrawFrame();
        const std::string code = "codes " + std::to_string(c.minCode) + ", " + std::to_string(c.magCode);
        EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), c.minification) << code;
        EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), c.magnification) << code;
        EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT) << code;
        EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT) << code;
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(mode, GL_MODULATE) << code;
        ASSERT_EQ(Uploads().size(), 1u) << code;
        EXPECT_EQ(Uploads()[0].mipmapped, c.mipmapped) << code;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << code;
    }
}

// Uploads of one frame for surfaces of the given attributes, in list order
// (attribute "-" is untextured).
size_t UploadsForSurfaces(std::initializer_list<const char*> attributes, uint32_t flags)
{
    float x = -1;
    for (const char* a : attributes) {
        MakeQuad(a, x, -0.5f, x + 0.1f, 0.5f, -2);
        x += 0.2f;
    }
    VekDisplay_SetMode(flags);
    ClearUploads();
    VekDisplay_DrawStart();
    VekDisplay_DrawSurface();
    return Uploads().size();
}

TEST_F(TextureTest, UploadsFollowChangesOfAttributeInListOrder)
{
    const uint32_t textured = VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE;
    struct Case {
        std::initializer_list<const char*> surfaces;
        std::array<float, 3> transparency;
        uint32_t flags;
        size_t uploads;
    };
    const Case cases[] = {
        {{"A", "A", "A"}, {0, 0, 0}, textured, 1},
        {{"A", "B", "A", "B"}, {0, 0, 0}, textured, 4},
        {{"A", "A", "B", "B"}, {0, 0, 0}, textured, 2},
        // Untextured surfaces turn texturing off and forget the attribute.
        {{"A", "-", "A"}, {0, 0, 0}, textured, 2},
        {{"A", "A"}, {0, 0, 0}, VEK_DISPLAY_SOLID, 0},
        // Transparent surfaces upload in their own pass, twice without culling.
        {{"A", "A"}, {0.5f, 0.5f, 0.5f}, textured | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 1},
        {{"A", "A"}, {0.5f, 0.5f, 0.5f}, textured | VEK_DISPLAY_TRANSPARENT, 2},
        // A component of exactly the threshold puts a surface in both passes.
        {{"A"}, {0, 0, 1e-10f}, textured | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 2},
        {{"A"}, {0, 0, 0}, textured | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_CULL, 1},
    };
    for (const Case& c : cases) {
        VekMain_End();
        VekMain_Initialize();
        MakeMap("map", 2, 2, 3, kFourColours);
        MakeAttribute("A", {1, 1, 1}, c.transparency, "map");
        MakeAttribute("B", {1, 1, 1}, c.transparency, "map");
        MakeAttribute("-", {1, 1, 1}, c.transparency);
        const size_t uploads = UploadsForSurfaces(c.surfaces, c.flags);
        EXPECT_EQ(uploads, c.uploads) << "surfaces " << c.surfaces.size() << ", flags 0x" << std::hex << c.flags;
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
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE | VEK_DISPLAY_BACKFACE);
    DrawFrame();
    EXPECT_EQ(Uploads().size(), 2u);
    EXPECT_TRUE(ColourNear(PixelAt(0.25f, 0, -2), 1, 0, 0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureTest, MapWithoutImageDrawsSafely)
{
    MakeMap("empty", 4, 4, 3, {});
    MakeAttribute("painted", {0, 1, 0}, {0, 0, 0}, "empty");
    FillView("painted");
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(Uploads()[0].pixels, nullptr);
    EXPECT_EQ(VekMemory_GetAttributeList()->displayImage, nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // The empty texture is incomplete, so the diffuse colour shows.
    EXPECT_TRUE(ColourNear(Pixel(32, 24), 0, 1, 0));
}

TEST_F(TextureTest, RebindingAtAnotherSizeKeepsShowingTheFirstImage)
{
    MakeMap("map", 2, 2, 3, kFourColours);
    MakeAttribute("painted", {1, 1, 1}, {0, 0, 0}, "map");
    FillView("painted");
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE);
    DrawFrame();
    const VekAttribute* a = VekMemory_GetAttributeList();
    const unsigned char* first = a->displayImage;
    ASSERT_NE(first, nullptr);

    RebindImage("map", 8, 8, 3, std::vector<unsigned char>(8 * 8 * 3, 200));
    ClearUploads();
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(Uploads()[0].pixels, first);
    EXPECT_EQ(std::make_tuple(Uploads()[0].width, Uploads()[0].height), std::make_tuple(2, 2));
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 1, 0, 0));
    EXPECT_TRUE(ColourNear(Pixel(48, 36), 1, 1, 1));

    // Unbinding leaves the attribute's image too; a new attribute naming the
    // map now gets an empty texture.
    VekMap_UnbindImage("map");
    MakeAttribute("late", {0, 1, 0}, {0, 0, 0}, "map");
    FillView("late");  // drawn after "painted" at the same depth, so it shows
    ClearUploads();
    DrawFrame();
    ASSERT_EQ(Uploads().size(), 2u);
    EXPECT_EQ(Uploads()[0].pixels, first);
    EXPECT_EQ(Uploads()[1].pixels, nullptr);
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 0, 1, 0));
    FillView("painted");
    DrawFrame();
    EXPECT_TRUE(ColourNear(Pixel(16, 12), 1, 0, 0));
}

}  // namespace
}  // namespace displaytest
