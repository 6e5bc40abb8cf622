// Start and end of the library as a host drives them: repeated cycles that
// must leak nothing (LeakSanitizer checks the sanitizer build), End and a
// second Initialize out of order, and the tables Initialize resets.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "support/test_support.h"

using vektest::LibraryTest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

// Records taken straight from a pool are unset; a host fills everything
// after the list link before End walks them.
template <class T>
T* Blank(T* record)
{
    std::memset(reinterpret_cast<char*>(record) + sizeof(void*), 0, sizeof(T) - sizeof(void*));
    return record;
}

float kTriangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};

// A little of everything the pools hold, and side buffers End must free.
void BuildScene()
{
    VekAttribute_Instanciate(Text("grey"));
    VekSurface_SetAttributeName(Text("grey"));
    for (int i = 0; i < 1100; ++i) VekSurface_Instanciate(3, kTriangle, nullptr, nullptr);
    for (int i = 0; i < 40; ++i) std::strcpy(Blank(VekMemory_AllocateMap())->name, "map");
    Blank(VekMemory_AllocateLight(0));
    Blank(VekMemory_AllocateGeneralLightData());
    VekBezierSurface* b = Blank(VekMemory_AllocateBezierSurface());
    b->controlPoints = static_cast<CG::vec3<float>*>(std::malloc(4 * sizeof(CG::vec3<float>)));
    b->triangles = static_cast<VekSurface**>(std::malloc(2 * sizeof(VekSurface*)));
    for (int i = 0; i < 3; ++i) VekMainMemory_AllocateRaytraceNumber(700);
    VekMain_SetLogFilePath(Text(vektest::FreshTempPath("cycle.log").c_str()));
    VekMain_Warning(VEK_WARNING_GENERAL, Text("cycle"));
}

void ExpectEmpty()
{
    const _VekMainStatusTable& s = g_mainStatusTable;
    EXPECT_EQ(s.surfaceCount + s.attributeCount + s.lightCount + s.generalLightDataCount + s.mapCount +
                  s.bezierSurfaceCount + s.reserved,
              0);
    EXPECT_EQ(VekMemory_GetSurfaceList(), nullptr);
    EXPECT_EQ(VekMemory_GetAttributeList(), nullptr);
    EXPECT_EQ(VekMemory_GetMapList(), nullptr);
    EXPECT_EQ(VekMemory_GetLightList(), nullptr);
    EXPECT_EQ(VekMemory_GetGeneralLightDataList(), nullptr);
}

}  // namespace

TEST(Lifecycle, HundredCyclesWithPoolsInUseReleaseEverything)
{
    for (int cycle = 0; cycle < 100; ++cycle) {
        VekMain_Initialize();
        ExpectEmpty();
        BuildScene();
        ASSERT_EQ(g_mainStatusTable.surfaceCount, 1100);
        ASSERT_EQ(g_mainStatusTable.mapCount, 40);
        ASSERT_EQ(g_mainStatusTable.bezierSurfaceCount, 1);
        VekMain_End();
        EXPECT_EQ(VekSurface_GetAddress(0), nullptr);
        EXPECT_EQ(g_mainValueTable.logFile, nullptr);
    }
}

TEST(Lifecycle, ResourceModuleIsLoadedWithTheLibraryAndTheHeapIsShared)
{
    // RTLD_NOLOAD only finds a module that loading libVekMain already loaded.
    void* res = dlopen(VEK_BINARY_DIR "/lib/libVekRes.so", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(res, nullptr);
    if (res) dlclose(res);
    // Released with the host's free() (AddressSanitizer checks the pairing).
    void* p = VekMain_Malloc(64);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xAB, 64);
    std::free(p);
}

TEST(Lifecycle, EndBeforeInitializeAndTwiceIsHarmless)
{
    VekMain_End();
    VekMain_End();
    // Outside Initialize..End there are no pools: lookups answer nothing and
    // taking a record is refused with the library's own report.
    EXPECT_EQ(VekAttribute_GetIndex(nullptr), -1);
    EXPECT_EQ(VekMap_GetAddress(0), nullptr);
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_GENERAL, [] { VekMemory_AllocateAttribute(); }),
              "VekMemory_AllocateAttribute");
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_GENERAL, [] { VekMainMemory_AllocateRaytraceNumber(1); }),
              "VekMainMemory_AllocateRaytraceNumber");
    VekMain_Initialize();
    ExpectEmpty();
    VekMain_End();
}

TEST_F(LibraryTest, SecondInitializeEmptiesListsAndReleasesNothing)
{
    VekAttribute_Instanciate(Text("old"));
    VekAttribute* old = VekMemory_GetAttributeList();
    int32_t* oldMarks = VekMainMemory_AllocateRaytraceNumber(1000);
    const uint32_t oldSlot = g_tlsIndexThreadNo;
    VekMain_SetThreadNumber(5);
    const std::string oldLog = vektest::FreshTempPath("forgotten.log");
    VekMain_SetLogFilePath(Text(oldLog.c_str()));
    FILE* forgotten = g_mainValueTable.logFile;

    VekMain_Initialize();
    ExpectEmpty();
    // The earlier record stays in its block, so the next one takes the next slot.
    EXPECT_STREQ(old->name, "old");
    VekAttribute_Instanciate(Text("new"));
    EXPECT_EQ(VekAttribute_GetIndex(VekMemory_GetAttributeList()), 1);
    EXPECT_EQ(VekAttribute_GetAddress(0), old);
    // The earlier marks stay writable; new ones come from a fresh block.
    for (int i = 0; i < 1000; ++i) oldMarks[i] = i;
    int32_t* newMarks = VekMainMemory_AllocateRaytraceNumber(1024);
    for (int i = 0; i < 1024; ++i) newMarks[i] = -i;
    // A new thread-number slot, empty on this thread.
    EXPECT_NE(g_tlsIndexThreadNo, oldSlot);
    EXPECT_EQ(VekMain_GetThreadNumber(), 0);
    // The open log is forgotten, not closed: nothing more reaches it.
    EXPECT_EQ(g_mainValueTable.logFile, nullptr);
    VekMain_Warning(VEK_WARNING_GENERAL, Text("AfterReinitialize"));
    std::fclose(forgotten);  // the host's to close now
    EXPECT_TRUE(vektest::ReadLines(oldLog).empty());
}

TEST(Lifecycle, InitializeResetsReportsAndSettingsButNotTheSceneBounds)
{
    _VekMainStatusTable& s = g_mainStatusTable;
    _VekMainValueTable& v = g_mainValueTable;
    s.sceneMin = CG::vec3<float>(-1, -2, -3);
    s.errorCode = 9;
    std::strcpy(s.warningText, "stale");
    v.threadCount = 17;
    v.checkVertexOnOnePlane = 1;
    v.displayFlags = 0;
    VekMain_Initialize();
    EXPECT_EQ(s.errorCode, 0);
    EXPECT_STREQ(s.warningText, "");
    EXPECT_EQ(v.threadCount, 1);
    EXPECT_EQ(v.checkVertexOnOnePlane, 0);
    EXPECT_EQ(v.displayFlags, 0x303u);
    float bounds[6];
    VekMain_GetSceneBoundary(bounds);
    EXPECT_EQ(bounds[0], -1.0f);
    VekMain_GetSceneBoundary(nullptr);
    VekMain_End();
    s.sceneMin = CG::vec3<float>(1e38f, 1e38f, 1e38f);
}
