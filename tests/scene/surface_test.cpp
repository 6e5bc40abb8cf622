// Surfaces and groups through the shared library: the surface state setters
// with their warnings, groups, FlipPolygon, IsBillboard, copying, VekGroup.
#include <cstring>
#include <string>

#include "scene/scene_test_support.h"

namespace {

using scenetest::Polygon;
using scenetest::SceneTest;
using scenetest::V;

const float kUnitUV[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};

// A triangle with map coordinates, made with the current state.
VekSurface* MappedTriangle()
{
    float p[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    float uv[9];
    std::memcpy(uv, kUnitUV, sizeof uv);
    VekSurface_Instanciate(3, p, nullptr, uv);
    return scenetest::LastSurface();
}

TEST_F(SceneTest, WrapModesOutsideZeroToThreeStoreZeroWithAWarningUnderTheirOwnName)
{
    vektest::ClearWarning();
    VekSurface_SetMapWrapU(2);
    VekSurface_SetMapWrapV(3);
    VekSurface_SetMapWrapW(1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(MappedTriangle()->mapWrap, 2u + 256u * 3u + 65536u * 1u);

    const struct {
        void (*set)(long);
        const char* name;
    } setters[] = {{VekSurface_SetMapWrapU, "VekSurface_SetMapWrapU"},
                   {VekSurface_SetMapWrapV, "VekSurface_SetMapWrapV"},
                   {VekSurface_SetMapWrapW, "VekSurface_SetMapWrapW"}};
    for (const auto& s : setters) {
        for (long bad : {4L, -1L, 1L << 40}) {
            vektest::ClearWarning();
            s.set(bad);
            EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
            EXPECT_STREQ(VekMain_GetWarningString(), s.name);
        }
    }
    EXPECT_EQ(MappedTriangle()->mapWrap, 0u);
}

TEST_F(SceneTest, GroupsAreDelimitedByGroupEndAlone)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(scenetest::LastSurface()->groupNumber, 0);
    VekSurface_GroupBegin();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(scenetest::LastSurface()->groupNumber, 0);
    VekSurface_GroupEnd();
    VekSurface_GroupEnd();
    VekSurface_GroupBegin();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(scenetest::LastSurface()->groupNumber, 2);
    EXPECT_EQ(VekSurface_GetCount(), 3);
}

TEST_F(SceneTest, StateSettersShapeOnlyLaterSurfacesAndInitializeResetsThem)
{
    VekSurface_SetFlags(0x11);
    VekSurface* first = MappedTriangle();
    EXPECT_EQ(first->flags, 0x11u | VEK_FACE_HAS_MAP_COORDS);
    VekSurface_SetFlags(0);
    EXPECT_EQ(first->flags, 0x11u | VEK_FACE_HAS_MAP_COORDS);

    // A value past 32 bits still switches the planarity test on.
    VekSurface_SetCheckVertexOnOnePlane(1L << 32);
    EXPECT_NE(g_mainValueTable.checkVertexOnOnePlane, 0);
    VekSurface_SetCheckVertexOnOnePlane(0);
    EXPECT_EQ(g_mainValueTable.checkVertexOnOnePlane, 0);

    VekSurface_SetFlags(0x10);
    VekSurface_SetMapWrapU(3);
    VekSurface_GroupEnd();
    VekSurface_SetCheckVertexOnOnePlane(1);
    VekMain_End();
    VekMain_Initialize();
    MakeAttribute("");  // the attribute name is empty again after Initialize
    VekSurface* fresh = MappedTriangle();
    EXPECT_EQ(fresh->flags, VEK_FACE_HAS_MAP_COORDS);
    EXPECT_EQ(fresh->mapWrap, 0u);
    EXPECT_EQ(fresh->groupNumber, 0);
    EXPECT_EQ(g_mainValueTable.checkVertexOnOnePlane, 0);
}

TEST_F(SceneTest, AttributeNamesAreCutTo63Characters)
{
    const std::string name63(63, 'a');
    MakeAttribute(name63.c_str());
    std::string longer = name63 + "bcdefg";
    VekSurface_SetAttributeName(longer.data());
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_STREQ(scenetest::LastSurface()->attribute->name, name63.c_str());

    // Null is the empty name, which no attribute carries here.
    VekSurface_SetAttributeName(nullptr);
    std::vector<float> p = scenetest::Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME,
                                      [&] { VekSurface_Instanciate(3, p.data(), nullptr, nullptr); }),
              "VekSurface_Instanciate");
}

TEST_F(SceneTest, FlipPolygonReversesCornersAroundCornerZero)
{
    float p[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    float n[12] = {0.1f, 0, 1, 0.2f, 0, 1, 0.3f, 0, 1, 0.4f, 0, 1};
    float uv[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    VekSurface_Instanciate(4, p, n, uv);
    VekSurface* q = scenetest::LastSurface();
    const VekSurface original(*q);

    q->FlipPolygon();
    const int order[4] = {0, 3, 2, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q->vertex[i], original.vertex[order[i]]);
        EXPECT_EQ(q->vertexNormal[i], -original.vertexNormal[order[i]]);
        EXPECT_EQ(q->mapCoord[i], original.mapCoord[order[i]]);
    }
    // The face data stay as they were.
    EXPECT_EQ(q->normal, original.normal);
    EXPECT_EQ(q->planeOffset, original.planeOffset);
    EXPECT_EQ(q->boundsMin, original.boundsMin);

    q->FlipPolygon();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q->vertex[i], original.vertex[i]);
        EXPECT_EQ(q->vertexNormal[i], original.vertexNormal[i]);
        EXPECT_EQ(q->mapCoord[i], original.mapCoord[i]);
    }

    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    VekSurface* t = scenetest::LastSurface();
    t->FlipPolygon();
    EXPECT_EQ(t->vertex[0], V(0, 0, 0));
    EXPECT_EQ(t->vertex[1], V(0, 1, 0));
    EXPECT_EQ(t->vertex[2], V(1, 0, 0));
    EXPECT_EQ(t->vertexNormal[1], V(0, 0, -1));

    // Other corner counts: nothing happens.
    const VekSurface before(*t);
    t->vertexCount = 5;
    t->FlipPolygon();
    t->vertexCount = -1;
    t->FlipPolygon();
    EXPECT_EQ(std::memcmp(&t->vertex, &before.vertex, sizeof t->vertex), 0);
    EXPECT_EQ(std::memcmp(&t->vertexNormal, &before.vertexNormal, sizeof t->vertexNormal), 0);
}

TEST_F(SceneTest, IsBillboardReadsTheFlagAndTheAttributesMapFlags)
{
    VekSurface s;
    s.attribute = nullptr;
    EXPECT_FALSE(s.IsBillboard());
    s.flags = VEK_FACE_BILLBOARD;
    EXPECT_TRUE(s.IsBillboard());
    s.flags = 0;
    s.attribute = material;
    EXPECT_FALSE(s.IsBillboard());
    material->mapFlags = VEK_MAP_BILLBOARD_2;
    EXPECT_TRUE(s.IsBillboard());
    material->mapFlags = VEK_MAP_BILLBOARD | VEK_MAP_1;
    EXPECT_TRUE(s.IsBillboard());
    material->mapFlags = VEK_MAP_1 | VEK_MAP_2;
    EXPECT_FALSE(s.IsBillboard());
}

TEST_F(SceneTest, CopiesShareLinksAndDefaultSurfacesAreEmpty)
{
    VekSurface empty;
    EXPECT_EQ(empty.Type(), 0);
    EXPECT_EQ(empty.boundsMin, V(1e38f, 1e38f, 1e38f));
    EXPECT_EQ(empty.boundsMax, V(-1e38f, -1e38f, -1e38f));
    EXPECT_EQ(empty.rayNumbers, nullptr);
    EXPECT_EQ(empty.flags, 0u);

    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {}, true);
    VekSurface* front = VekMemory_GetSurfaceList();
    front->SetRayNumber();
    const VekSurface copy(*front);
    EXPECT_EQ(copy.Type(), 0);
    EXPECT_EQ(copy.next, front->next);
    EXPECT_EQ(copy.twin, front->twin);
    EXPECT_EQ(copy.rayNumbers, front->rayNumbers);
    EXPECT_EQ(copy.attribute, front->attribute);
    EXPECT_EQ(copy.vertex[2], front->vertex[2]);

    VekSurface assigned;
    assigned = *front->twin;
    EXPECT_EQ(assigned.Type(), 0);
    EXPECT_EQ(assigned.twin, front);
    EXPECT_EQ(assigned.flags, front->twin->flags);
}

TEST(Group, CopiesDuplicateTheMembers)
{
    int a = 0, b = 0;
    VekGroup g;
    EXPECT_TRUE(g.members.empty());
    g.tag = &a;
    g.members = {&a, &b};
    VekGroup copy(g);
    VekGroup assigned;
    assigned = g;
    g.members[0] = nullptr;
    g.members.push_back(&b);
    for (const VekGroup* c : {&copy, &assigned}) {
        EXPECT_EQ(c->tag, &a);
        ASSERT_EQ(c->members.size(), 2u);
        EXPECT_EQ(c->members[0], &a);
        EXPECT_EQ(c->members[1], &b);
    }
}

}  // namespace
