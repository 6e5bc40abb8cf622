#include "support/test_support.h"

using vektest::LibraryTest;

TEST_F(LibraryTest, AttributeAndSurfaceThroughTheSharedLibrary)
{
    float red[3] = {1.5f, 0.0f, 0.0f};
    VekAttribute_SetDiffuse(red);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_OUT_OF_RANGE);
    VekAttribute_Instanciate(const_cast<char*>("red"));
    VekSurface_SetAttributeName(const_cast<char*>("red"));
    float tri[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    EXPECT_EQ(VekSurface_Instanciate(3, tri, nullptr, nullptr), 0);
    ASSERT_EQ(g_mainStatusTable.surfaceCount, 1);
    VekSurface* s = VekMemory_GetSurfaceList();
    EXPECT_FLOAT_EQ(s->normal.z, 1.0f);
    VekSurface_SetAttributeName(const_cast<char*>("missing"));
    std::string text = vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { VekSurface_Instanciate(3, tri, nullptr, nullptr); });
    EXPECT_EQ(text, "VekSurface_Instanciate");
    EXPECT_EQ(g_mainStatusTable.surfaceCount, 1);
}
