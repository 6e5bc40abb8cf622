// The object pools seen through their exported calls: block growth at the
// kind's block size, slot numbers and addresses against the creation order,
// lookups of pointers and slots that hold no record, and the ray-mark blocks.
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

// Allocates one block and one record more and checks the pool against the
// creation order: slot i is the i-th record, the list runs in that order,
// the next block starts at slot itemsPerBlock.
template <class T>
void CheckGrowth(const Kind<T>& kind)
{
    SCOPED_TRACE(kind.name);
    const int n = kind.itemsPerBlock;
    std::vector<T*> made;
    for (int i = 0; i < n; ++i) made.push_back(kind.allocate());
    EXPECT_EQ(kind.address(n), nullptr) << "no second block yet";
    // A slot of the first block that is still free yields its address all the same.
    made.push_back(kind.allocate());
    ASSERT_EQ(*kind.counter, n + 1);
    EXPECT_EQ(kind.index(made[n]), n);
    EXPECT_EQ(kind.address(n), made[n]);
    EXPECT_EQ(kind.address(2 * n), nullptr);
    EXPECT_NE(kind.address(2 * n - 1), nullptr);   // free slot in the second block
    for (int i = 0; i <= n; ++i) {
        ASSERT_EQ(kind.index(made[i]), i);
        ASSERT_EQ(kind.address(i), made[i]);
    }
    if (kind.list) {
        T* r = kind.list();
        for (int i = 0; i <= n; ++i, r = r->next) ASSERT_EQ(r, made[i]) << "list position " << i;
        EXPECT_EQ(r, nullptr);
    }
    // Pointers that are no record of this kind, and slots beyond every block.
    T outside{};
    EXPECT_EQ(kind.index(nullptr), -1);
    EXPECT_EQ(kind.index(&outside), -1);
    EXPECT_EQ(kind.address(-1), nullptr);
    EXPECT_EQ(kind.address(1000000), nullptr);
}

}  // namespace

TEST_F(LibraryTest, SurfacePoolGrowsAtTheTenTwentyFifthSurface)
{
    CheckGrowth(Kind<VekSurface>{"surface", 1024, VekMemory_AllocateSurface, VekSurface_GetIndex,
                                 VekSurface_GetAddress, VekMemory_GetSurfaceList, &g_mainStatusTable.surfaceCount});
    // Surfaces leave the pool as empty faces.
    VekSurface* s = VekSurface_GetAddress(1024);
    EXPECT_EQ(s->boundsMin, CG::vec3<float>(1e38f, 1e38f, 1e38f));
    EXPECT_EQ(s->boundsMax, CG::vec3<float>(-1e38f, -1e38f, -1e38f));
    EXPECT_EQ(s->rayNumbers, nullptr);
    EXPECT_EQ(s->flags, 0u);
    EXPECT_EQ(s->Type(), 0);
}

TEST_F(LibraryTest, AttributeMapAndBezierPoolsGrowAtTheirBlockSize)
{
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
}

TEST_F(LibraryTest, LightAndGeneralLightDataListsRunInCreationOrder)
{
    std::vector<_VekLight*> lights;
    for (int i = 0; i < 33; ++i) lights.push_back(Blank(VekMemory_AllocateLight(0)));
    std::vector<_VekGeneralLightData*> data;
    for (int i = 0; i < 17; ++i) data.push_back(Blank(VekMemory_AllocateGeneralLightData()));
    EXPECT_EQ(g_mainStatusTable.lightCount, 33);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 17);
    _VekLight* l = VekMemory_GetLightList();
    for (_VekLight* expected : lights) {
        ASSERT_EQ(l, expected);
        l = l->next;
    }
    EXPECT_EQ(l, nullptr);
    _VekGeneralLightData* d = VekMemory_GetGeneralLightDataList();
    for (_VekGeneralLightData* expected : data) {
        ASSERT_EQ(d, expected);
        d = d->next;
    }
    EXPECT_EQ(d, nullptr);
}

TEST_F(LibraryTest, LightsGetAParameterBlockOfTheirKind)
{
    struct KindBlock {
        long type;
        size_t bytes;
    };
    const KindBlock kinds[] = {{VEK_LIGHT_POINT, sizeof(_VekPointLight)},
                               {VEK_LIGHT_SPOT, sizeof(_VekSpotLight)},
                               {VEK_LIGHT_AREA, sizeof(VekAreaLight)},
                               {VEK_LIGHT_LINEAR, sizeof(_VekLinearLight)},
                               {VEK_LIGHT_DIRECTIONAL, sizeof(_VekDirectionalLight)},
                               {VEK_LIGHT_SKY, sizeof(_VekSkyLight)},
                               {VEK_LIGHT_GENERAL, sizeof(_VekGeneralLight)},
                               {VEK_LIGHT_SHADE_DIRECTIONAL, sizeof(_VekShadeDirectionalLight)}};
    for (const KindBlock& k : kinds) {
        _VekLight* light = VekMemory_AllocateLight(k.type);
        light->type = static_cast<int32_t>(k.type);
        ASSERT_NE(light->parameters, nullptr) << k.type;
        // The whole block is ours to write (the address sanitizer checks its
        // size). It comes from malloc; releasing it at End is the light
        // family's step, so the test hands it back itself and leaves null.
        std::memset(light->parameters, 0, k.bytes);
        std::free(light->parameters);
        light->parameters = nullptr;
    }
    for (long other : {0L, 3L, 256L, -1L}) {
        _VekLight* light = Blank(VekMemory_AllocateLight(other));
        EXPECT_EQ(light->parameters, nullptr) << other;
    }
    EXPECT_EQ(g_mainStatusTable.lightCount, 12);
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
    int32_t* next = VekMainMemory_AllocateRaytraceNumber(1);
    EXPECT_NE(next, rest + 424);
    // A whole block at once, and an empty request.
    int32_t* whole = VekMainMemory_AllocateRaytraceNumber(1024);
    for (int i = 0; i < 1024; ++i) whole[i] = -i;
    EXPECT_NE(VekMainMemory_AllocateRaytraceNumber(0), nullptr);
}

TEST_F(LibraryTest, RayMarkRequestsBeyondOneBlockAreRefused)
{
    for (long n : {1025L, 100000L, -1L}) {
        EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_MEMORY, [n] { VekMainMemory_AllocateRaytraceNumber(n); }),
                  "_VekMemory_RaytraceNumber_AllocateBlock")
            << n;
    }
    // The allocator still works afterwards.
    int32_t* marks = VekMainMemory_AllocateRaytraceNumber(64);
    for (int i = 0; i < 64; ++i) marks[i] = i;
}
