// Attributes: the current state and its setters (clamps with one warning per
// corrected component), the maps an attribute names, instanciation and its
// failures, and names at and beyond their 63 characters.
#include <cstring>
#include <string>

#include "support/test_support.h"

using vektest::CaptureLog;
using vektest::LibraryTest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

const std::string kOutOfRange = "VEK_WARNING_OUT_OF_RANGE\t";

// The attribute made last (the list's tail).
VekAttribute* Last()
{
    VekAttribute* a = VekMemory_GetAttributeList();
    while (a && a->next) a = a->next;
    return a;
}

VekAttribute* Make(const char* name)
{
    VekAttribute_Instanciate(Text(name));
    return Last();
}

// A map record as the map family leaves it: named, no image.
_VekMap* MakeMap(const std::string& name)
{
    _VekMap* m = VekMemory_AllocateMap();
    std::memset(reinterpret_cast<char*>(m) + sizeof(void*), 0, sizeof(_VekMap) - sizeof(void*));
    std::strncpy(m->name, name.c_str(), sizeof m->name - 1);
    return m;
}

void ExpectColour(const CG::vec3<float>& c, float r, float g, float b)
{
    EXPECT_EQ(c.x, r);
    EXPECT_EQ(c.y, g);
    EXPECT_EQ(c.z, b);
}

}  // namespace

TEST_F(LibraryTest, AttributeStartsFromTheInitialState)
{
    VekAttribute* a = Make("plain");
    EXPECT_STREQ(a->name, "plain");
    ExpectColour(a->diffuse, 1, 1, 1);
    ExpectColour(a->specular, 0, 0, 0);
    ExpectColour(a->emission, 0, 0, 0);
    ExpectColour(a->transparency, 0, 0, 0);
    EXPECT_EQ(a->reflectivity, 0.0f);
    EXPECT_EQ(a->shineness, 1.0f);
    EXPECT_EQ(a->refractionIndex, 1.0f);
    EXPECT_EQ(a->mapFlags, 0u);
    EXPECT_EQ(a->map1, nullptr);
    EXPECT_EQ(a->map2, nullptr);
    EXPECT_EQ(a->map1Invert + a->map1BlendMode + a->map2Invert + a->map2BlendMode, 0);
    EXPECT_EQ(a->map1BlendRatio + a->map2BlendRatio, 0.0f);
    EXPECT_EQ(a->displayImage, nullptr);
}

TEST_F(LibraryTest, ColourSettersClampWithOneWarningPerComponent)
{
    float diffuse[3] = {1.5f, -0.2f, 0.5f};
    auto lines = CaptureLog([&] { VekAttribute_SetDiffuse(diffuse); });
    EXPECT_EQ(lines, (std::vector<std::string>{kOutOfRange + "VekAttribute_SetDiffuse",
                                               kOutOfRange + "VekAttribute_SetDiffuse"}));
    ExpectColour(Make("d1")->diffuse, 1.0f, 1e-10f, 0.5f);

    // Black diffuse is raised to 1e-10 silently: it was in range.
    float black[3] = {0, 0, 0};
    lines = CaptureLog([&] { VekAttribute_SetDiffuse(black); });
    EXPECT_TRUE(lines.empty());
    ExpectColour(Make("d2")->diffuse, 1e-10f, 1e-10f, 1e-10f);

    float bright[3] = {5, 5, 5};
    float negative[3] = {-1, 0, 0};
    lines = CaptureLog([&] { VekAttribute_SetEmission(bright); });
    EXPECT_TRUE(lines.empty());
    ExpectColour(Make("e1")->emission, 5, 5, 5);
    lines = CaptureLog([&] { VekAttribute_SetEmission(negative); });
    EXPECT_EQ(lines, std::vector<std::string>{kOutOfRange + "VekAttribute_SetEmission"});
    ExpectColour(Make("e2")->emission, 0, 0, 0);

    float wild[3] = {-1, 2, 0.25f};
    lines = CaptureLog([&] {
        VekAttribute_SetSpecular(wild);
        VekAttribute_SetTransparency(wild);
    });
    EXPECT_EQ(lines, (std::vector<std::string>{
                         kOutOfRange + "VekAttribute_SetSpecular", kOutOfRange + "VekAttribute_SetSpecular",
                         kOutOfRange + "VekAttribute_SetTransparency", kOutOfRange + "VekAttribute_SetTransparency"}));
    VekAttribute* a = Make("s");
    ExpectColour(a->specular, 0, 1, 0.25f);
    ExpectColour(a->transparency, 0, 1, 0.25f);
    // The host's array is not written: the library keeps its own copy.
    EXPECT_EQ(wild[0], -1.0f);

    // A null colour changes nothing and says so.
    VekAttribute_SetDiffuse(nullptr);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekAttribute_SetDiffuse");
    ExpectColour(Make("d3")->diffuse, 1e-10f, 1e-10f, 1e-10f);
}

TEST_F(LibraryTest, ScalarSettersClampOrFloor)
{
    auto lines = CaptureLog([] {
        VekAttribute_SetReflectivity(2.0f);
        VekAttribute_SetShineness(-3.0f);
        VekAttribute_SetRefractionIndex(-0.5f);
    });
    EXPECT_EQ(lines, (std::vector<std::string>{kOutOfRange + "VekAttribute_SetReflectivity",
                                               kOutOfRange + "VekAttribute_SetShineness",
                                               kOutOfRange + "VekAttribute_SetRefractionIndex"}));
    VekAttribute* a = Make("clamped");
    EXPECT_EQ(a->reflectivity, 1.0f);
    EXPECT_EQ(a->shineness, 0.0f);
    EXPECT_EQ(a->refractionIndex, 0.0f);

    lines = CaptureLog([] {
        VekAttribute_SetReflectivity(0.0f);
        VekAttribute_SetShineness(1e6f);
        VekAttribute_SetRefractionIndex(1.33f);
    });
    EXPECT_TRUE(lines.empty());
    // The state survives instanciation: two attributes share it.
    VekAttribute* b = Make("glass");
    VekAttribute* c = Make("glass too");
    EXPECT_EQ(b->shineness, 1e6f);
    EXPECT_EQ(c->refractionIndex, 1.33f);
}

TEST_F(LibraryTest, MapsAreAddedOneAtATimeAndRemovedTogether)
{
    _VekMap* wood = MakeMap("wood");
    _VekMap* mask = MakeMap("mask");
    VekAttribute_SetMap(VEK_MAP_1, Text("wood"));
    VekAttribute_SetMap(VEK_MAP_2, Text("mask"));
    VekAttribute_SetMap(0x10, Text("ignored"));   // neither map bit: nothing changes
    VekAttribute* a = Make("both");
    EXPECT_EQ(a->mapFlags, 9u);
    EXPECT_EQ(a->map1, wood);
    EXPECT_EQ(a->map2, mask);

    VekAttribute_SetMap(0, Text("anything"));
    VekAttribute* none = Make("none");
    EXPECT_EQ(none->mapFlags, 0u);
    EXPECT_EQ(none->map1, nullptr);
    EXPECT_EQ(none->map2, nullptr);

    VekAttribute_SetMap(VEK_MAP_1 | VEK_MAP_2, Text("mask"));
    VekAttribute* same = Make("same");
    EXPECT_EQ(same->map1, mask);
    EXPECT_EQ(same->map2, mask);
}

TEST_F(LibraryTest, MapEditParamsChangeOnlyTheFlaggedMap)
{
    MakeMap("m");
    VekAttribute_SetMap(VEK_MAP_1 | VEK_MAP_2, Text("m"));
    auto lines = CaptureLog([] { VekAttribute_SetMapEditParams(VEK_MAP_2, 1, 3, 2.0f); });
    EXPECT_EQ(lines, std::vector<std::string>{kOutOfRange + "VekAttribute_SetMapEditParams"});
    VekAttribute* a = Make("second only");
    EXPECT_EQ(a->map2Invert, 1);
    EXPECT_EQ(a->map2BlendMode, 3);
    EXPECT_EQ(a->map2BlendRatio, 1.0f);
    EXPECT_EQ(a->map1Invert, 0);
    EXPECT_EQ(a->map1BlendMode, 0);
    EXPECT_EQ(a->map1BlendRatio, 0.0f);

    VekAttribute_SetMapEditParams(0x10, 5, 5, 0.5f);   // neither bit
    VekAttribute_SetMapEditParams(VEK_MAP_1 | VEK_MAP_2, 0, 2, -1.0f);
    VekAttribute* b = Make("both");
    EXPECT_EQ(b->map1BlendMode, 2);
    EXPECT_EQ(b->map2BlendMode, 2);
    EXPECT_EQ(b->map1BlendRatio, 0.0f);
    EXPECT_EQ(b->map2BlendRatio, 0.0f);
    EXPECT_EQ(b->map2Invert, 0);
}

TEST_F(LibraryTest, FailedMapLookupLeavesNoRecordBehind)
{
    MakeMap("present");
    VekAttribute* before = Make("before");
    const long nextSlot = VekAttribute_GetIndex(before) + 1;

    VekAttribute_SetMap(VEK_MAP_1, Text("absent"));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("x")); }),
              "VekAttribute_Instanciate");
    VekAttribute_SetMap(0, nullptr);
    VekAttribute_SetMap(VEK_MAP_1, Text("present"));
    VekAttribute_SetMap(VEK_MAP_2, Text("absent"));   // map 1 is fine, map 2 is not
    vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("y")); });

    EXPECT_EQ(g_mainStatusTable.attributeCount, 1);
    EXPECT_EQ(Last(), before);
    EXPECT_EQ(before->next, nullptr);
    // No slot was used up either.
    VekAttribute_SetMap(0, nullptr);
    EXPECT_EQ(VekAttribute_GetIndex(Make("after")), nextSlot);
    EXPECT_EQ(before->next, Last());
}

TEST_F(LibraryTest, DuplicateNamesFindTheFirst)
{
    float red[3] = {1, 0, 0};
    VekAttribute* first = Make("dup");
    VekAttribute_SetDiffuse(red);
    Make("dup");
    VekSurface_SetAttributeName(Text("dup"));
    float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    EXPECT_EQ(VekMemory_GetSurfaceList()->attribute, first);
}

TEST_F(LibraryTest, NamesAreCutAtSixtyThreeCharactersAndFoundByTheSameName)
{
    const std::string longName(70, 'L');
    const std::string mapName = std::string(63, 'M') + "tail";
    VekAttribute* a = Make(longName.c_str());
    EXPECT_EQ(std::string(a->name), longName.substr(0, 63));
    // The same long name finds it again, through the surface's attribute name.
    VekSurface_SetAttributeName(Text(longName.c_str()));
    float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    EXPECT_EQ(VekMemory_GetSurfaceList()->attribute, a);

    // A map stored under its first 63 characters is found by the long name.
    _VekMap* m = MakeMap(mapName);
    VekAttribute_SetMap(VEK_MAP_1, Text(mapName.c_str()));
    EXPECT_EQ(Make("mapped")->map1, m);

    // A null name is the empty name.
    VekAttribute_SetMap(0, nullptr);
    VekAttribute* unnamed = Make(nullptr);
    EXPECT_STREQ(unnamed->name, "");
    VekAttribute_SetMap(VEK_MAP_1, nullptr);
    vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("no map named ''")); });
    MakeMap("");
    VekAttribute_SetMap(VEK_MAP_1, nullptr);
    EXPECT_NE(Make("empty map name")->map1, nullptr);
}
