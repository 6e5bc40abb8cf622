// Attributes: the current state and its setters (clamps with one warning per
// corrected component), the maps an attribute names, instanciation and its
// failures, and names at and beyond their 63 characters.
#include <cstring>
#include <string>

#include "support/test_support.h"

using vektest::CaptureLog;
using vektest::LibraryTest;
using V = CG::vec3<float>;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

VekAttribute* Make(const char* name)
{
    VekAttribute_Instanciate(Text(name));
    VekAttribute* a = VekMemory_GetAttributeList();
    while (a && a->next) a = a->next;
    return a;
}

// A map record as the map family leaves it: named, no image.
_VekMap* MakeMap(const std::string& name)
{
    _VekMap* m = VekMemory_AllocateMap();
    std::memset(reinterpret_cast<char*>(m) + sizeof(void*), 0, sizeof(_VekMap) - sizeof(void*));
    std::strncpy(m->name, name.c_str(), sizeof m->name - 1);
    return m;
}

}  // namespace

TEST_F(LibraryTest, ColourSettersClampWithOneWarningPerComponent)
{
    VekAttribute* initial = Make("initial");
    EXPECT_EQ(initial->diffuse, V(1, 1, 1));
    EXPECT_EQ(initial->specular + initial->emission + initial->transparency, V(0, 0, 0));
    EXPECT_EQ(initial->mapFlags, 0u);
    EXPECT_EQ(initial->map1, nullptr);

    const struct {
        void (*set)(float*);
        const char* name;
        V VekAttribute::*field;
        V in, stored;
        size_t warnings;
    } cases[] = {
        {VekAttribute_SetDiffuse, "VekAttribute_SetDiffuse", &VekAttribute::diffuse, {1.5f, -0.2f, 0.5f}, {1, 1e-10f, 0.5f}, 2},
        {VekAttribute_SetDiffuse, "VekAttribute_SetDiffuse", &VekAttribute::diffuse, {0, 0, 0}, {1e-10f, 1e-10f, 1e-10f}, 0},
        {VekAttribute_SetEmission, "VekAttribute_SetEmission", &VekAttribute::emission, {5, 5, 5}, {5, 5, 5}, 0},
        {VekAttribute_SetEmission, "VekAttribute_SetEmission", &VekAttribute::emission, {-1, 0, 0}, {0, 0, 0}, 1},
        {VekAttribute_SetSpecular, "VekAttribute_SetSpecular", &VekAttribute::specular, {-1, 2, 0.25f}, {0, 1, 0.25f}, 2},
        {VekAttribute_SetTransparency, "VekAttribute_SetTransparency", &VekAttribute::transparency, {-1, 2, 0.25f}, {0, 1, 0.25f}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        V host = c.in;
        const auto lines = CaptureLog([&] { c.set(&host.x); });
        EXPECT_EQ(lines, std::vector<std::string>(c.warnings, std::string("VEK_WARNING_OUT_OF_RANGE\t") + c.name));
        EXPECT_EQ(host, c.in);   // the library keeps its own copy
        EXPECT_EQ(Make("a")->*c.field, c.stored);
    }
    // A null colour changes nothing and says so.
    VekAttribute_SetSpecular(nullptr);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekAttribute_SetSpecular");
    EXPECT_EQ(Make("b")->specular, V(0, 1, 0.25f));
}

TEST_F(LibraryTest, ScalarSettersClampOrFloor)
{
    const struct {
        void (*set)(float);
        float VekAttribute::*field;
        float initial, in, stored;
    } cases[] = {
        {VekAttribute_SetReflectivity, &VekAttribute::reflectivity, 0, 2.0f, 1.0f},
        {VekAttribute_SetShineness, &VekAttribute::shineness, 1, -3.0f, 0.0f},
        {VekAttribute_SetRefractionIndex, &VekAttribute::refractionIndex, 1, -0.5f, 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Make("before")->*c.field, c.initial);
        EXPECT_EQ(CaptureLog([&] { c.set(c.in); }).size(), 1u) << c.in;
        EXPECT_EQ(Make("a")->*c.field, c.stored) << c.in;
        EXPECT_EQ(Make("b")->*c.field, c.stored) << "the state survives instanciation";
    }
    VekAttribute_SetShineness(1e6f);   // at least 0: no ceiling
    EXPECT_EQ(Make("shiny")->shineness, 1e6f);
}

TEST_F(LibraryTest, MapsAndTheirEditParamsChangeOnlyTheFlaggedMap)
{
    _VekMap* wood = MakeMap("wood");
    _VekMap* mask = MakeMap("mask");
    VekAttribute_SetMap(VEK_MAP_1, Text("wood"));
    VekAttribute_SetMap(VEK_MAP_2, Text("mask"));
    VekAttribute_SetMap(0x10, Text("ignored"));   // neither map bit: nothing changes
    VekAttribute_SetMapEditParams(0x10, 5, 5, 0.5f);
    auto lines = CaptureLog([] { VekAttribute_SetMapEditParams(VEK_MAP_2, 1, 3, 2.0f); });
    EXPECT_EQ(lines, std::vector<std::string>{"VEK_WARNING_OUT_OF_RANGE\tVekAttribute_SetMapEditParams"});
    VekAttribute* a = Make("both");
    EXPECT_EQ(a->mapFlags, 9u);
    EXPECT_EQ(a->map1, wood);
    EXPECT_EQ(a->map2, mask);
    EXPECT_EQ(a->map2Invert + a->map2BlendMode, 4);
    EXPECT_EQ(a->map2BlendRatio, 1.0f);
    EXPECT_EQ(a->map1Invert + a->map1BlendMode, 0);
    // Flags 0 removes both maps.
    VekAttribute_SetMap(0, Text("anything"));
    VekAttribute* none = Make("none");
    EXPECT_EQ(none->mapFlags, 0u);
    EXPECT_EQ(none->map2, nullptr);
}

TEST_F(LibraryTest, FailedMapLookupLeavesNoRecordBehind)
{
    MakeMap("present");
    VekAttribute* before = Make("before");
    VekAttribute_SetMap(VEK_MAP_1, Text("absent"));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("x")); }),
              "VekAttribute_Instanciate");
    VekAttribute_SetMap(0, nullptr);
    VekAttribute_SetMap(VEK_MAP_1, Text("present"));
    VekAttribute_SetMap(VEK_MAP_2, Text("absent"));   // map 1 is fine, map 2 is not
    vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("y")); });
    EXPECT_EQ(g_mainStatusTable.attributeCount, 1);
    EXPECT_EQ(before->next, nullptr);
    // No slot was used up either.
    VekAttribute_SetMap(0, nullptr);
    VekAttribute* after = Make("after");
    EXPECT_EQ(VekAttribute_GetIndex(after), VekAttribute_GetIndex(before) + 1);
    EXPECT_EQ(before->next, after);
}

TEST_F(LibraryTest, NamesAreCutAtSixtyThreeCharactersAndTheFirstOfTwoIsFound)
{
    // The same long name finds the attribute again, through the surface's
    // attribute name; of two attributes with one name the first is found.
    const std::string longName(70, 'L');
    VekAttribute* a = Make(longName.c_str());
    EXPECT_EQ(std::string(a->name), longName.substr(0, 63));
    Make(longName.c_str());
    VekSurface_SetAttributeName(Text(longName.c_str()));
    float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    EXPECT_EQ(VekMemory_GetSurfaceList()->attribute, a);

    // A map stored under its first 63 characters is found by the long name.
    const std::string mapName = std::string(63, 'M') + "tail";
    _VekMap* m = MakeMap(mapName);
    VekAttribute_SetMap(VEK_MAP_1, Text(mapName.c_str()));
    EXPECT_EQ(Make("mapped")->map1, m);

    // A null name is the empty name, for attributes, surfaces and maps.
    VekAttribute_SetMap(0, nullptr);
    EXPECT_STREQ(Make(nullptr)->name, "");
    VekSurface_SetAttributeName(nullptr);
    VekSurface_Instanciate(3, triangle, nullptr, nullptr);
    EXPECT_STREQ(VekMemory_GetSurfaceList()->next->attribute->name, "");
    VekAttribute_SetMap(VEK_MAP_1, nullptr);
    vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("no map named ''")); });
    MakeMap("");
    EXPECT_NE(Make("empty map name")->map1, nullptr);
}
