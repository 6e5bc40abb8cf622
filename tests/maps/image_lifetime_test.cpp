// Image lifetime: a copy that an attribute's display image shares outlives
// the bind that replaces it or the unbind that detaches it, and End releases
// every buffer exactly once. AddressSanitizer reports a read of a released
// copy and a double release; LeakSanitizer, at exit, any copy never released.
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "map_fixture.h"

using maptest::Image;
using maptest::MapTest;

// The display shares a map's current copy as the attribute's display image;
// a host test stands in for it by writing the same pointer.
TEST_F(MapTest, SharedCopiesOutliveRebindAndUnbindUntilEnd)
{
    const Image first = maptest::PositionImage(4, 4, 3);
    _VekMap* m = MakeMap("m", 4, 4, 3, first);
    VekAttribute* a = MakeAttribute("shown", "m");
    VekAttribute* b = MakeAttribute("also", "m");
    a->displayImage = m->pixels;
    b->displayImage = m->pixels;

    // Replaced by an image of the same size, then of another size: the
    // shared copy is neither overwritten nor released.
    VekMap_BindImage("m", 4, 4, 3, Image(48, 99).data());
    ASSERT_NE(m->pixels, a->displayImage);
    EXPECT_EQ(m->pixels[47], 99);
    VekMap_BindImage("m", 16, 16, 4, maptest::PositionImage(16, 16, 4).data());
    EXPECT_EQ(std::memcmp(a->displayImage, first.data(), first.size()), 0);

    // Shared again, then detached by an unbind and by a refused bind.
    unsigned char* second = m->pixels;
    MakeAttribute("later", "m")->displayImage = second;
    VekMap_UnbindImage("m");
    EXPECT_EQ(second[16 * 4 * 3 + 4 * 3], 3);  // texel (3, 3) of the second image
    VekMap_BindImage("m", 2, 2, 1, Image{1, 2, 3, 4}.data());
    vektest::ExpectVekError(VEK_ERROR_INVALID_VALUE, [] { VekMap_BindImage("m", 2, 2, 2, nullptr); });
    EXPECT_EQ(std::memcmp(b->displayImage, first.data(), first.size()), 0);

    // End releases each copy once: the two shared ones, and none of them as
    // a display image.
    VekMain_End();
    VekMain_Initialize();
    EXPECT_EQ(VekMap_GetCount(), 0);
}

TEST_F(MapTest, RebindingReleasesCopiesNobodyShares)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' allocators do not report heap use through mallinfo2";
#endif
    // A library that kept every replaced copy until End would hold 50 of
    // them here; one that releases unshared copies holds one. The sizes
    // alternate so that no copy can be reused in place.
    const size_t imageBytes = size_t(1024) * 1024 * 4;
    const Image big(imageBytes, 7);
    VekMap_Instanciate("m", nullptr);
    auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = heapInUse();
    for (int i = 0; i < 50; ++i) VekMap_BindImage("m", 1024, 1024 - i % 2, 4, big.data());
    EXPECT_LT(heapInUse() - before, 3 * imageBytes);
    EXPECT_EQ(Find("m")->pixels[0], 7);
}

TEST_F(MapTest, RebindingAMapWithItsOwnCopyKeepsTheImage)
{
    // Same size, unshared: the copy is rewritten in place from itself.
    const Image image = maptest::PositionImage(8, 4, 3);
    _VekMap* m = MakeMap("m", 8, 4, 3, image);
    VekMap_BindImage("m", 8, 4, 3, m->pixels);
    EXPECT_EQ(std::memcmp(m->pixels, image.data(), image.size()), 0);
    // A smaller image taken from the start of the map's own copy.
    VekMap_BindImage("m", 4, 2, 3, m->pixels);
    EXPECT_EQ(std::memcmp(m->pixels, image.data(), 24), 0);
    EXPECT_EQ(m->width, 4);
}

TEST_F(MapTest, DisplayImagesTheLibraryDidNotMakeAreLeftToTheirOwner)
{
    MakeMap("m", 2, 2, 3, Image(12, 9));
    auto* own = static_cast<unsigned char*>(std::malloc(12));
    MakeAttribute("host", "m", 1)->displayImage = own;
    VekMain_End();
    VekMain_Initialize();
    std::free(own);  // a second release would be reported by AddressSanitizer
}
