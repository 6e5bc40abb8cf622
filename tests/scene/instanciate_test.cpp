// Surface instanciation through the shared library: cleaning, the planarity
// split, normals and the smooth bit, map coordinates, the back side, the
// attribute lookup, and hostile input that must leave the list untouched.
#include <cmath>
#include <limits>

#include "scene/scene_test_support.h"

namespace {

using scenetest::Flat;
using scenetest::Polygon;
using scenetest::SceneTest;
using scenetest::Surfaces;
using scenetest::V;

// make() makes nothing: result 0, warning 4 under the call's name, the list
// as it was.
template <class F>
void ExpectBadShape(F make, long countBefore)
{
    vektest::ClearWarning();
    EXPECT_EQ(make(), 0);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekSurface_Instanciate");
    EXPECT_EQ(VekSurface_GetCount(), countBefore);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, ATriangleBecomesAFaceReadyForTheGrid)
{
    EXPECT_EQ(Polygon({V(1, 0, 2), V(3, 0, 2), V(1, 4, 2)}), 0);
    EXPECT_EQ(Polygon({V(0, 0, 0), V(0, 0, 1), V(0, 1, 0)}), 1);
    ASSERT_EQ(VekSurface_GetCount(), 2);
    VekSurface* s = VekMemory_GetSurfaceList();
    EXPECT_EQ(VekSurface_GetAddress(0), s);
    EXPECT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->normal, V(0, 0, 1));  // counter-clockwise seen from +z
    EXPECT_EQ(s->mainAxis, 2);
    EXPECT_EQ(s->planeOffset, 2.0f);
    EXPECT_EQ(s->boundsMin, V(1, 0, 2));
    EXPECT_EQ(s->boundsMax, V(3, 4, 2));
    EXPECT_EQ(s->rayNumbers, nullptr);
    EXPECT_EQ(s->attribute, material);
    EXPECT_EQ(s->twin, nullptr);
    EXPECT_EQ(s->reserved, 0u);
    EXPECT_EQ(s->flags, 0u);
    EXPECT_EQ(s->mapWrap, 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s->vertexNormal[i], s->normal);
        EXPECT_EQ(s->mapCoord[i], V(0, 0, 0));
    }
    EXPECT_EQ(s->next->normal, V(-1, 0, 0));
    EXPECT_EQ(s->next->mainAxis, 0);
}

TEST_F(SceneTest, DuplicateAndCollinearCornersAreDroppedWithWarning5)
{
    vektest::ClearWarning();
    // Square with corner 2 repeated as corner 3.
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(1, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    VekSurface* s = scenetest::LastSurface();
    ASSERT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->vertex[2], V(1, 1, 0));

    // Corner 1 lies on the straight edge 0-2; its normal and map coordinates
    // go with it.
    float p[12] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 2, 1, 0};
    float n[12] = {0, 0, 1, 0, 1, 0, 0, 0, 2, 0, 0, 3};
    float uv[12] = {0, 0, 0, 9, 9, 9, 1, 0, 0, 1, 1, 0};
    vektest::ClearWarning();
    VekSurface_Instanciate(4, p, n, uv);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    s = scenetest::LastSurface();
    ASSERT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->vertex[0], V(0, 0, 0));
    EXPECT_EQ(s->vertex[1], V(2, 0, 0));
    EXPECT_EQ(s->vertex[2], V(2, 1, 0));
    EXPECT_EQ(s->vertexNormal[1], V(0, 0, 1));  // corner 2's, at unit length
    EXPECT_EQ(s->mapCoord[1], V(1, 0, 0));
    EXPECT_EQ(s->flags & VEK_FACE_SMOOTH, 0u);

    // A corner 0.06 degrees off the straight line goes; 0.6 degrees stays.
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(2, 0.001f, 0), V(2, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    EXPECT_EQ(scenetest::LastSurface()->vertexCount, 3);
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(2, 0.01f, 0), V(2, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(scenetest::LastSurface()->vertexCount, 4);

    // Corners 0.5e-6 apart are one corner; 2e-6 apart are two.
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 0.5e-6f, 0), V(0, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 2e-6f, 0), V(0, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(scenetest::LastSurface()->vertexCount, 4);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, DegenerateAndFoldedShapesMakeNothing)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    const long before = VekSurface_GetCount();
    // Three collinear corners: at corner 0 the outline turns back.
    ExpectBadShape([&] { return Polygon({V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)}); }, before);
    // A corner doubling back along its incoming edge.
    ExpectBadShape([&] { return Polygon({V(0, 0, 0), V(2, 0, 0), V(1, 0.000001f, 0), V(0, 1, 0)}); }, before);
    // Fewer than three distinct corners.
    ExpectBadShape([&] { return Polygon({V(1, 1, 1), V(1, 1, 1), V(1, 1, 1)}); }, before);
    ExpectBadShape([&] { return Polygon({V(0, 0, 0), V(0, 0, 0), V(1, 0, 0), V(1, 0, 0)}); }, before);
    // A quadrilateral that keeps fewer than three corners after collinear ones go.
    ExpectBadShape([&] { return Polygon({V(0, 0, 0), V(1, 0, 0), V(2, 0, 0), V(3, 0, 0)}); }, before);
}

TEST_F(SceneTest, HostileCountsPointersAndNonFiniteValuesMakeNothing)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    const long before = VekSurface_GetCount();
    std::vector<float> five = Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0.5f, 2, 0), V(0, 1, 0)});
    for (long count : {5L, 0L, -1L, 2L, 1L << 40}) {
        ExpectBadShape([&] { return VekSurface_Instanciate(count, five.data(), nullptr, nullptr); }, before);
        ExpectBadShape([&] { return VekSurface_InstanciateDouble(count, five.data(), nullptr, nullptr); }, before);
    }
    ExpectBadShape([&] { return VekSurface_Instanciate(3, nullptr, nullptr, nullptr); }, before);
    ExpectBadShape([&] { return VekSurface_InstanciateDouble(4, nullptr, five.data(), nullptr); }, before);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf}) {
        std::vector<float> p = Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
        std::vector<float> n = Flat({V(0, 0, 1), V(0, 0, 1), V(0, 0, 1)});
        std::vector<float> uv = n;
        p[4] = bad;
        ExpectBadShape([&] { return VekSurface_Instanciate(3, p.data(), nullptr, nullptr); }, before);
        p[4] = 0;
        n[8] = bad;
        ExpectBadShape([&] { return VekSurface_InstanciateDouble(3, p.data(), n.data(), nullptr); }, before);
        uv[0] = bad;
        ExpectBadShape([&] { return VekSurface_Instanciate(3, p.data(), nullptr, uv.data()); }, before);
    }
}

TEST_F(SceneTest, NonPlanarQuadrilateralsSplitWhenTheCheckIsOn)
{
    const std::vector<float> lifted = Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0.01f)});
    const std::vector<float> normals = Flat({V(0, 0, 1), V(0, 0.1f, 1), V(0, 0.2f, 1), V(0, 0.3f, 1)});
    std::vector<float> p = lifted, n = normals;
    VekSurface_Instanciate(4, p.data(), nullptr, nullptr);  // check off: one quadrilateral
    ASSERT_EQ(VekSurface_GetCount(), 1);
    EXPECT_EQ(VekMemory_GetSurfaceList()->vertexCount, 4);

    VekSurface_SetCheckVertexOnOnePlane(1);
    vektest::ClearWarning();
    EXPECT_EQ(VekSurface_InstanciateDouble(4, p.data(), n.data(), nullptr), 0);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    std::vector<VekSurface*> all = Surfaces();
    ASSERT_EQ(all.size(), 3u);  // two single-sided triangles, no back sides
    const int corners[2][3] = {{0, 1, 3}, {1, 2, 3}};
    for (int t = 0; t < 2; ++t) {
        VekSurface* s = all[1 + t];
        ASSERT_EQ(s->vertexCount, 3);
        EXPECT_EQ(s->twin, nullptr);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(s->vertex[k], scenetest::Vec(&lifted[3 * corners[t][k]]));
            const V given = scenetest::Vec(&normals[3 * corners[t][k]]);
            EXPECT_TRUE(scenetest::Near(s->vertexNormal[k], given * (1.0f / std::sqrt(CG::dot(given, given))), 1e-6f));
        }
    }

    // An exactly planar square passes (the product is exactly 0).
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(scenetest::LastSurface()->vertexCount, 4);

    // A missing attribute stops the split at its first triangle.
    VekSurface_SetAttributeName(const_cast<char*>("missing"));
    const long before = VekSurface_GetCount();
    p = lifted;
    vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { VekSurface_Instanciate(4, p.data(), nullptr, nullptr); });
    EXPECT_EQ(VekSurface_GetCount(), before);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, CornerNormalsDecideTheSmoothBit)
{
    const float tilt = 1.0f * 3.14159265f / 180.0f;
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 2), V(0, 0, 1), V(0, 0, 5)});
    VekSurface* s = scenetest::LastSurface();
    EXPECT_EQ(s->flags & VEK_FACE_SMOOTH, 0u);
    EXPECT_EQ(s->vertexNormal[2], V(0, 0, 1));

    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 1), V(std::sin(tilt), 0, std::cos(tilt)), V(0, 0, 1)});
    EXPECT_NE(scenetest::LastSurface()->flags & VEK_FACE_SMOOTH, 0u);

    // A zero normal stays zero and counts as differing.
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 1), V(0, 0, 0), V(0, 0, 1)});
    EXPECT_EQ(scenetest::LastSurface()->vertexNormal[1], V(0, 0, 0));
    EXPECT_NE(scenetest::LastSurface()->flags & VEK_FACE_SMOOTH, 0u);

    // A normal straight against the face: smooth on one side, not on two.
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 1), V(0, 0, -1), V(0, 0, 1)});
    EXPECT_NE(scenetest::LastSurface()->flags & VEK_FACE_SMOOTH, 0u);
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 1), V(0, 0, -1), V(0, 0, 1)}, true);
    VekSurface* front = scenetest::LastSurface()->twin;
    EXPECT_EQ(front->flags & VEK_FACE_SMOOTH, 0u);
    EXPECT_EQ(front->twin->flags, VEK_FACE_BACK_SIDE);
}

TEST_F(SceneTest, MapCoordinatesCarryTheWrapModes)
{
    VekSurface_SetMapWrapU(1);
    VekSurface_SetMapWrapV(2);
    VekSurface_SetMapWrapW(3);
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(scenetest::LastSurface()->mapWrap, 0u);
    EXPECT_EQ(scenetest::LastSurface()->flags & VEK_FACE_HAS_MAP_COORDS, 0u);

    std::vector<float> p = Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    std::vector<float> uv = Flat({V(0, 0, 0), V(2, 0, 0), V(2, 3, 1), V(0, 3, 0)});
    VekSurface_Instanciate(4, p.data(), nullptr, uv.data());
    VekSurface* s = scenetest::LastSurface();
    EXPECT_EQ(s->mapWrap, 1u + 256u * 2u + 65536u * 3u);
    EXPECT_EQ(s->flags, VEK_FACE_HAS_MAP_COORDS);
    EXPECT_EQ(s->mapCoord[2], V(2, 3, 1));
}

TEST_F(SceneTest, DoubleSidedSurfacesGetAReversedTwin)
{
    VekSurface_SetFlags(0x1);
    VekSurface_GroupEnd();
    std::vector<float> p = Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    std::vector<float> n = Flat({V(0, 0, 1), V(0.1f, 0, 1), V(0, 0.1f, 1)});
    std::vector<float> uv = Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_EQ(VekSurface_InstanciateDouble(3, p.data(), n.data(), uv.data()), 0);
    ASSERT_EQ(VekSurface_GetCount(), 2);
    VekSurface* front = VekMemory_GetSurfaceList();
    VekSurface* back = front->next;
    EXPECT_EQ(front->twin, back);
    EXPECT_EQ(back->twin, front);
    EXPECT_EQ(back->vertexCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back->vertex[i], front->vertex[2 - i]);
        EXPECT_EQ(back->vertexNormal[i], -front->vertexNormal[2 - i]);
        EXPECT_EQ(back->mapCoord[i], front->mapCoord[2 - i]);
    }
    EXPECT_EQ(back->normal, V(0, 0, -1));
    EXPECT_EQ(back->planeOffset, 0.0f);
    EXPECT_EQ(back->flags, front->flags | VEK_FACE_BACK_SIDE);
    EXPECT_EQ(front->flags, 0x1u | VEK_FACE_SMOOTH | VEK_FACE_HAS_MAP_COORDS);
    EXPECT_EQ(back->mapWrap, front->mapWrap);
    EXPECT_EQ(back->groupNumber, 1);
    EXPECT_EQ(back->attribute, material);
    EXPECT_EQ(back->boundsMax, front->boundsMax);

    // A small quadrilateral far from the origin: the back normal is still
    // the exact opposite of the front's.
    Polygon({V(1000, 2000, 3000), V(1000.01f, 2000, 3000.01f), V(1000.01f, 2000.01f, 3000.01f),
             V(1000, 2000.01f, 3000)},
            {}, true);
    back = scenetest::LastSurface();
    EXPECT_TRUE(scenetest::Near(back->normal, -back->twin->normal, 1e-6f));
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, AMissingAttributeLeavesNoSurfaceBehind)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    VekSurface_SetAttributeName(const_cast<char*>("nowhere"));
    std::vector<float> p = Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    for (bool twoSided : {false, true}) {
        const std::string name = vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [&] {
            twoSided ? VekSurface_InstanciateDouble(3, p.data(), nullptr, nullptr)
                     : VekSurface_Instanciate(3, p.data(), nullptr, nullptr);
        });
        EXPECT_EQ(name, "VekSurface_Instanciate");
        EXPECT_EQ(VekMain_GetError(), VEK_ERROR_INVALID_NAME);
    }
    EXPECT_EQ(VekSurface_GetCount(), 1);
    // The list's tail is intact: the next surface follows the first.
    VekSurface_SetAttributeName(const_cast<char*>("mat"));
    EXPECT_EQ(Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}), 1);
    EXPECT_EQ(VekMemory_GetSurfaceList()->next, scenetest::LastSurface());
    scenetest::ExpectConsistentSurfaceList();
}

}  // namespace
