// Map records: filter state, creation, image binding (average colours and
// the stepwise stores of a refused image), hostile sizes, unbinding.
#include <climits>
#include <cstring>
#include <string>

#include "map_fixture.h"

using maptest::Image;
using maptest::MapTest;
using maptest::Vec;
using vektest::ExpectVekError;

TEST_F(MapTest, FiltersAndTextsAreStoredAtCreationSaturatedOrCut)
{
    VekMap_Instanciate("before", nullptr);
    VekMap_SetMinFilter(6);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekMap_SetMinFilter");
    VekMap_SetMagFilter(2);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekMap_SetMagFilter");
    VekMap_Instanciate("after", nullptr);
    EXPECT_EQ(Find("after")->minFilter, 6);
    EXPECT_EQ(Find("before")->minFilter, 0);  // fixed at creation
    // Beyond 32 bits a code keeps its side of the range: still mipmapped
    // (above 5) or still not (negative), never wrapped into a valid code.
    VekMap_SetMinFilter(long(1) << 32);
    VekMap_SetMagFilter(-(long(1) << 32) + 1);
    const std::string longName(100, 'n'), longPath(400, 'p');
    VekMap_Instanciate(longName.c_str(), longPath.c_str());
    VekMap_Instanciate(nullptr, nullptr);
    _VekMap* huge = VekMap_GetAddress(2);
    EXPECT_EQ(huge->minFilter, INT32_MAX);
    EXPECT_EQ(huge->magFilter, INT32_MIN);
    EXPECT_EQ(std::string(huge->name), longName.substr(0, 63));
    EXPECT_EQ(std::string(huge->path), longPath.substr(0, 259));
    EXPECT_STREQ(huge->next->name, "");
    EXPECT_STREQ(huge->next->path, "");
    EXPECT_EQ(huge->next->pixels, nullptr);
    EXPECT_EQ(VekMap_GetCount(), 4);
}

TEST_F(MapTest, BindingCopiesTheImageAndAveragesItsColour)
{
    Image rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    _VekMap* m = MakeMap("rgb", 2, 2, 3, rgb);
    ASSERT_NE(m->pixels, nullptr);
    EXPECT_EQ(std::memcmp(m->pixels, rgb.data(), rgb.size()), 0);
    rgb[0] = 7;  // the caller keeps its own buffer
    EXPECT_EQ(m->pixels[0], 255);
    for (float c : m->averageColor) EXPECT_FLOAT_EQ(c, 0.5f);
    // Alpha does not count; red, green, blue are averaged apart.
    _VekMap* rgba = MakeMap("rgba", 2, 1, 4, Image{255, 0, 51, 0, 0, 102, 51, 255});
    EXPECT_EQ(rgba->averageColor[0], 0.5f);
    EXPECT_EQ(rgba->averageColor[1], 0.2f);
    EXPECT_EQ(rgba->averageColor[2], 0.2f);
    // 4200 x 4200 x 255 exceeds 2^32: the sums must not wrap.
    _VekMap* white = MakeMap("white", 4200, 4200, 1, Image(size_t(4200) * 4200, 255));
    for (float c : white->averageColor) EXPECT_EQ(c, 1.0f);
}

TEST_F(MapTest, RefusedImagesKeepTheSizesStoredBeforeTheFaultAndEmptyOnesBindNothing)
{
    _VekMap* m = MakeMap("m", 2, 2, 1, Image{51, 51, 51, 51});
    const unsigned char pixels[64] = {};
    const struct {
        long width, height, components;
        int32_t storedWidth, storedHeight, storedComponents;
    } cases[] = {
        {4, 4, 2, 4, 4, 2},                   // components not 1, 3 or 4
        {-3, 7, 5, -3, 4, 2},                 // width refused: nothing after it stored
        {6, -1, 5, 6, -1, 2},
        {2, 2, long(1) << 32 | 3, 2, 2, INT32_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpectVekError(VEK_ERROR_INVALID_VALUE, [&] { VekMap_BindImage("m", c.width, c.height, c.components, pixels); }),
                  "VekMap_BindImage");
        EXPECT_EQ(m->pixels, nullptr);
        EXPECT_EQ(m->width, c.storedWidth);
        EXPECT_EQ(m->height, c.storedHeight);
        EXPECT_EQ(m->components, c.storedComponents);
    }
    // The average colour of the last image the map held stays.
    EXPECT_EQ(m->averageColor[0], 0.2f);

    // An empty image is accepted: nothing to copy, no pixels, average 0.
    VekMap_BindImage("m", 0, 5, 3, nullptr);
    EXPECT_EQ(m->height, 5);
    EXPECT_EQ(m->pixels, nullptr);
    for (float c : m->averageColor) EXPECT_EQ(c, 0.0f);
    VekMap_BindImage("m", 4, 0, 4, pixels);
    EXPECT_EQ(m->pixels, nullptr);
}

TEST_F(MapTest, HostileSizesAreRefusedBeforeAnythingIsRead)
{
    // pixels is far smaller than every claimed size: an accepted size would
    // be read past its end, which AddressSanitizer reports.
    const unsigned char pixels[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    MakeMap("m", 2, 2, 4, Image(pixels, pixels + 16));
    struct Size { long width, height, components; };
    const Size hostile[] = {
        {65536, 65536, 1},                 // 2^32 bytes: wraps to 0 in 32 bits
        {46341, 46341, 1},                 // just past 2^31 - 1
        {INT32_MAX, INT32_MAX, 4},         // each factor fits, the product does not
        {(long(1) << 32) + 1, 1, 1},       // would read as width 1 if cut to 32 bits
        {LONG_MAX, LONG_MAX, 4},           // overflows 64 bits too
    };
    for (const Size& s : hostile) {
        ExpectVekError(VEK_ERROR_INVALID_VALUE, [&] { VekMap_BindImage("m", s.width, s.height, s.components, pixels); });
        _VekMap* m = Find("m");
        EXPECT_EQ(m->pixels, nullptr) << s.width << " x " << s.height << " x " << s.components;
        EXPECT_GE(m->width, 0);  // positive sizes stay positive when stored in 32 bits
        EXPECT_GE(m->height, 0);
    }
    ExpectVekError(VEK_ERROR_INVALID_VALUE, [&] { VekMap_BindImage("m", LONG_MIN, 1, 1, pixels); });
    EXPECT_EQ(Find("m")->width, INT32_MIN);
    // Null pixels with bytes to copy.
    ExpectVekError(VEK_ERROR_INVALID_VALUE, [&] { VekMap_BindImage("m", 1, 1, 1, nullptr); });
    EXPECT_EQ(Find("m")->pixels, nullptr);
    // The map stays usable: the next valid image binds normally.
    VekMap_BindImage("m", 2, 2, 4, pixels);
    ASSERT_NE(Find("m")->pixels, nullptr);
    EXPECT_EQ(Find("m")->pixels[15], 16);
}

TEST_F(MapTest, UnknownNamesChangeNothingAndDuplicatesBindTheFirst)
{
    const unsigned char px[3] = {1, 2, 3};
    VekMap_Instanciate("m", "a");
    VekMap_Instanciate("m", "b");
    EXPECT_EQ(ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { VekMap_BindImage("M", 1, 1, 3, px); }), "VekMap_BindImage");
    EXPECT_EQ(ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { VekMap_UnbindImage("x"); }), "VekMap_UnbindImage");
    ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { VekMap_BindImage(nullptr, 1, 1, 3, px); });
    EXPECT_EQ(VekMap_GetCount(), 2);
    EXPECT_EQ(VekMemory_GetMapList()->width, 0);
    VekMap_BindImage("m", 1, 1, 3, px);
    EXPECT_NE(VekMemory_GetMapList()->pixels, nullptr);
    EXPECT_EQ(VekMemory_GetMapList()->next->pixels, nullptr);
}

TEST_F(MapTest, UnbindKeepsSizesAndARebindAtAnotherSizeIsLookedUpWhole)
{
    _VekMap* m = MakeMap("m", 2, 1, 3, Image{0, 0, 0, 255, 255, 255});
    VekMap_UnbindImage("m");
    EXPECT_EQ(m->pixels, nullptr);
    EXPECT_EQ(m->width, 2);
    EXPECT_EQ(m->components, 3);
    EXPECT_FLOAT_EQ(m->averageColor[0], 0.5f);

    VekMap_BindImage("m", 8, 8, 4, maptest::PositionImage(8, 8, 4).data());
    VekMap_BindImage("m", 3, 2, 1, Image{10, 20, 30, 40, 50, 60}.data());
    EXPECT_FLOAT_EQ(m->averageColor[0], 35.0f / 255);
    for (float u = -2.0f; u <= 2.0f; u += 0.0625f) {
        Vec uv(u, 0.99f, 0);
        EXPECT_EQ(maptest::TexelXY(m, VekMap_GetMapColor(uv, m)).second, 1);
    }
}
