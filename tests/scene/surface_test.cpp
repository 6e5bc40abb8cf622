// The surface state (wrap modes, flags, groups, the planarity switch) with
// its warnings and its reset, and FlipPolygon.
#include <cstring>

#include "scene/scene_test_support.h"

namespace {

using scenetest::SceneTest;
using scenetest::V;

// A triangle, with map coordinates when mapped, made with the current state.
VekSurface* Triangle(bool mapped = true)
{
    float p[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    float uv[9] = {0, 0, 0, 2, 0, 0, 2, 3, 1};
    VekSurface_Instanciate(3, p, nullptr, mapped ? uv : nullptr);
    return scenetest::LastSurface();
}

TEST_F(SceneTest, StateShapesOnlyLaterSurfacesAndInitializeResetsIt)
{
    // Wrap modes go with map coordinates only; flags with every surface.
    VekSurface_SetMapWrapU(1);
    VekSurface_SetMapWrapV(2);
    VekSurface_SetMapWrapW(3);
    VekSurface_SetFlags(0x11);
    EXPECT_EQ(Triangle(false)->mapWrap, 0u);
    VekSurface* first = Triangle();
    EXPECT_EQ(first->mapWrap, 1u + 256u * 2u + 65536u * 3u);
    VekSurface_SetFlags(0);
    EXPECT_EQ(first->flags, 0x11u | VEK_FACE_HAS_MAP_COORDS);
    // A bad wrap mode stores 0 with a warning under the setter's name.
    for (long bad : {4L, -1L, 1L << 40}) {
        vektest::ClearWarning();
        VekSurface_SetMapWrapV(bad);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
        EXPECT_STREQ(VekMain_GetWarningString(), "VekSurface_SetMapWrapV");
    }
    EXPECT_EQ(Triangle()->mapWrap, 1u + 65536u * 3u);

    // Groups are delimited by GroupEnd alone.
    VekSurface_GroupBegin();
    EXPECT_EQ(Triangle()->groupNumber, 0);
    VekSurface_GroupEnd();
    VekSurface_GroupEnd();
    VekSurface_GroupBegin();
    EXPECT_EQ(Triangle()->groupNumber, 2);
    // A value past 32 bits still switches the planarity test on.
    VekSurface_SetCheckVertexOnOnePlane(1L << 32);
    EXPECT_NE(g_mainValueTable.checkVertexOnOnePlane, 0);

    VekSurface_SetFlags(0x10);
    VekMain_End();
    VekMain_Initialize();
    MakeAttribute("");  // the attribute name is empty again after Initialize
    VekSurface* fresh = Triangle();
    EXPECT_EQ(fresh->flags, VEK_FACE_HAS_MAP_COORDS);
    EXPECT_EQ(fresh->mapWrap, 0u);
    EXPECT_EQ(fresh->groupNumber, 0);
    EXPECT_EQ(g_mainValueTable.checkVertexOnOnePlane, 0);
}

TEST_F(SceneTest, FlipPolygonReversesCornersAroundCornerZeroAndKeepsThePlane)
{
    float p[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    float n[12] = {0.1f, 0, 1, 0.2f, 0, 1, 0.3f, 0, 1, 0.4f, 0, 1};
    VekSurface_Instanciate(4, p, n, p);
    VekSurface* q = scenetest::LastSurface();
    const VekSurface original(*q);
    q->FlipPolygon();
    const int order[4] = {0, 3, 2, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q->vertex[i], original.vertex[order[i]]);
        EXPECT_EQ(q->vertexNormal[i], -original.vertexNormal[order[i]]);
        EXPECT_EQ(q->mapCoord[i], original.mapCoord[order[i]]);
    }
    EXPECT_EQ(q->normal, original.normal);
    EXPECT_EQ(q->planeOffset, original.planeOffset);

    VekSurface* t = Triangle();
    t->FlipPolygon();
    EXPECT_EQ(t->vertex[1], V(0, 1, 0));
    EXPECT_EQ(t->vertexNormal[1], V(0, 0, -1));
    // Other corner counts: nothing happens.
    const VekSurface before(*t);
    for (int32_t count : {5, -1}) {
        t->vertexCount = count;
        t->FlipPolygon();
    }
    EXPECT_EQ(std::memcmp(&t->vertex, &before.vertex, sizeof t->vertex), 0);
    EXPECT_EQ(std::memcmp(&t->vertexNormal, &before.vertexNormal, sizeof t->vertexNormal), 0);
}

}  // namespace
