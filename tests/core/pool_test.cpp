// The object pools seen through their exported calls: block growth at the
// kind's block size, slot numbers, addresses and list order against the
// creation order, lookups that hold no record, and the ray-mark blocks.
#include <cstdlib>
#include <cstring>
#include <functional>

#include "support/test_support.h"

using vektest::LibraryTest;

namespace {

template <class T>
T* Blank(T* record)
{
    std::memset(reinterpret_cast<char*>(record) + sizeof(void*), 0, sizeof(T) - sizeof(void*));
    return record;
}

// The list from head runs through exactly the records made, in that order.
template <class T>
void ExpectList(T* head, const std::vector<T*>& made)
{
    for (size_t i = 0; i < made.size(); ++i, head = head->next) ASSERT_EQ(head, made[i]) << "list position " << i;
    EXPECT_EQ(head, nullptr);
}

// One kind as the host reaches it.
template <class T>
struct Kind {
    const char* name;
    int itemsPerBlock;
    std::function<T*()> allocate;
    std::function<long(T*)> index;
    std::function<T*(long)> address;
    std::function<T*()> list;   // head of the list, or null where none is exported
    const int32_t* counter;
};

// Fills one block and takes one record more: slot i is the i-th record and
// the next block starts at slot itemsPerBlock.
template <class T>
void CheckGrowth(const Kind<T>& kind)
{
    SCOPED_TRACE(kind.name);
    const int n = kind.itemsPerBlock;
    std::vector<T*> made;
    for (int i = 0; i < n; ++i) made.push_back(kind.allocate());
    EXPECT_EQ(kind.address(n), nullptr) << "no second block yet";
    made.push_back(kind.allocate());
    ASSERT_EQ(*kind.counter, n + 1);
    EXPECT_EQ(kind.address(2 * n), nullptr);
    EXPECT_NE(kind.address(2 * n - 1), nullptr);   // a free slot of an existing block has an address
    for (int i = 0; i <= n; ++i) {
        ASSERT_EQ(kind.index(made[i]), i);
        ASSERT_EQ(kind.address(i), made[i]);
    }
    if (kind.list) ExpectList(kind.list(), made);
    T outside{};
    EXPECT_EQ(kind.index(nullptr), -1);
    EXPECT_EQ(kind.index(&outside), -1);
    EXPECT_EQ(kind.address(-1), nullptr);
    EXPECT_EQ(kind.address(1000000), nullptr);
}

}  // namespace

TEST_F(LibraryTest, PoolsGrowAtTheirBlockSize)
{
    CheckGrowth(Kind<VekSurface>{"surface", 1024, VekMemory_AllocateSurface, VekSurface_GetIndex,
                                 VekSurface_GetAddress, VekMemory_GetSurfaceList, &g_mainStatusTable.surfaceCount});
    EXPECT_EQ(VekSurface_GetCount(), 1025);
    // Surfaces leave the pool as empty faces.
    VekSurface* s = VekSurface_GetAddress(1024);
    EXPECT_EQ(s->boundsMin, CG::vec3<float>(1e38f, 1e38f, 1e38f));
    EXPECT_EQ(s->boundsMax, CG::vec3<float>(-1e38f, -1e38f, -1e38f));
    EXPECT_EQ(s->rayNumbers, nullptr);
    EXPECT_EQ(s->flags, 0u);
    EXPECT_EQ(s->Type(), 0);

    int named = 0;
    CheckGrowth(Kind<VekAttribute>{"attribute", 32,
                                   [&] {
                                       const std::string name = "a" + std::to_string(named++);
                                       VekAttribute_Instanciate(const_cast<char*>(name.c_str()));
                                       return VekAttribute_GetAddress(g_mainStatusTable.attributeCount - 1);
                                   },
                                   VekAttribute_GetIndex, VekAttribute_GetAddress, VekMemory_GetAttributeList,
                                   &g_mainStatusTable.attributeCount});
    EXPECT_STREQ(VekAttribute_GetAddress(32)->name, "a32");
    CheckGrowth(Kind<_VekMap>{"map", 32, [] { return Blank(VekMemory_AllocateMap()); }, VekMap_GetIndex,
                              VekMap_GetAddress, VekMemory_GetMapList, &g_mainStatusTable.mapCount});
    CheckGrowth(Kind<VekBezierSurface>{"Bezier surface", 256, [] { return Blank(VekMemory_AllocateBezierSurface()); },
                                       VekBezierSurface_GetIndex, VekBezierSurface_GetAddress, nullptr,
                                       &g_mainStatusTable.bezierSurfaceCount});
    std::vector<_VekGeneralLightData*> data;
    for (int i = 0; i < 17; ++i) data.push_back(Blank(VekMemory_AllocateGeneralLightData()));
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 17);
    ExpectList(VekMemory_GetGeneralLightDataList(), data);
}

TEST_F(LibraryTest, LightsGetAParameterBlockOfTheirKindInCreationOrder)
{
    const std::pair<long, size_t> kinds[] = {{VEK_LIGHT_POINT, sizeof(_VekPointLight)},
                                             {VEK_LIGHT_SPOT, sizeof(_VekSpotLight)},
                                             {VEK_LIGHT_AREA, sizeof(VekAreaLight)},
                                             {VEK_LIGHT_LINEAR, sizeof(_VekLinearLight)},
                                             {VEK_LIGHT_DIRECTIONAL, sizeof(_VekDirectionalLight)},
                                             {VEK_LIGHT_SKY, sizeof(_VekSkyLight)},
                                             {VEK_LIGHT_GENERAL, sizeof(_VekGeneralLight)},
                                             {VEK_LIGHT_SHADE_DIRECTIONAL, sizeof(_VekShadeDirectionalLight)}};
    std::vector<_VekLight*> made;
    for (const auto& [type, bytes] : kinds) {
        _VekLight* light = VekMemory_AllocateLight(type);
        light->type = static_cast<int32_t>(type);
        ASSERT_NE(light->parameters, nullptr) << type;
        // The whole block is ours to write (the address sanitizer checks its
        // size). Releasing it at End is the light family's step, so the test
        // hands it back itself.
        std::memset(light->parameters, 0, bytes);
        std::free(light->parameters);
        light->parameters = nullptr;
        made.push_back(light);
    }
    for (long other : {0L, 3L, 256L, -1L}) {
        made.push_back(Blank(VekMemory_AllocateLight(other)));
        EXPECT_EQ(made.back()->parameters, nullptr) << other;
    }
    for (int i = 0; i < 21; ++i) made.push_back(Blank(VekMemory_AllocateLight(0)));   // into a second block
    EXPECT_EQ(g_mainStatusTable.lightCount, 33);
    ExpectList(VekMemory_GetLightList(), made);
}

TEST_F(LibraryTest, RayMarksComeFromBlocksOfTenTwentyFourSlots)
{
    // Two requests of 600 cannot share a block; each is wholly writable.
    int32_t* first = VekMainMemory_AllocateRaytraceNumber(600);
    int32_t* second = VekMainMemory_AllocateRaytraceNumber(600);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second < first || second >= first + 600) << "the second request overlaps the first";
    for (int i = 0; i < 600; ++i) first[i] = second[i] = i;
    // The rest of the second block is used up exactly, then a new block starts.
    int32_t* rest = VekMainMemory_AllocateRaytraceNumber(424);
    EXPECT_EQ(rest, second + 600);
    EXPECT_NE(VekMainMemory_AllocateRaytraceNumber(1), rest + 424);
    int32_t* whole = VekMainMemory_AllocateRaytraceNumber(1024);
    for (int i = 0; i < 1024; ++i) whole[i] = -i;
    EXPECT_NE(VekMainMemory_AllocateRaytraceNumber(0), nullptr);
    // More than a block, or a negative count, is refused; the allocator goes on.
    for (long n : {1025L, -1L}) {
        EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_MEMORY, [n] { VekMainMemory_AllocateRaytraceNumber(n); }),
                  "_VekMemory_RaytraceNumber_AllocateBlock")
            << n;
    }
    int32_t* marks = VekMainMemory_AllocateRaytraceNumber(64);
    for (int i = 0; i < 64; ++i) marks[i] = i;
}
