// Surface instanciation through the shared library: cleaning, the planarity
// split, normals and the smooth bit, the back side, the attribute lookup,
// and hostile input that must leave the list untouched.
#include <cmath>
#include <functional>
#include <limits>

#include "scene/scene_test_support.h"

namespace {

using scenetest::Flat;
using scenetest::Polygon;
using scenetest::SceneTest;
using scenetest::Surfaces;
using scenetest::V;

TEST_F(SceneTest, ATriangleBecomesAFaceReadyForTheGrid)
{
    EXPECT_EQ(Polygon({V(1, 0, 2), V(3, 0, 2), V(1, 4, 2)}), 0);
    EXPECT_EQ(Polygon({V(0, 0, 0), V(0, 0, 1), V(0, 1, 0)}), 1);
    VekSurface* s = VekMemory_GetSurfaceList();
    EXPECT_EQ(s->normal, V(0, 0, 1));  // counter-clockwise seen from +z
    EXPECT_EQ(s->mainAxis, 2);
    EXPECT_EQ(s->planeOffset, 2.0f);
    EXPECT_EQ(s->boundsMin, V(1, 0, 2));
    EXPECT_EQ(s->boundsMax, V(3, 4, 2));
    EXPECT_EQ(s->attribute, material);
    EXPECT_EQ(s->vertexNormal[2], s->normal);
    EXPECT_EQ(s->next->normal, V(-1, 0, 0));
    EXPECT_EQ(s->next->mainAxis, 0);
}

TEST_F(SceneTest, DuplicateAndCollinearCornersAreDroppedWithWarning5)
{
    const struct {
        const char* what;
        std::vector<float> corners;
        int kept;   // corners left; 4 means nothing was dropped
    } cases[] = {
        {"corner repeated", Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(1, 1, 0)}), 3},
        {"0.06 degrees off the line", Flat({V(0, 0, 0), V(1, 0, 0), V(2, 0.001f, 0), V(2, 1, 0)}), 3},
        {"0.6 degrees off the line", Flat({V(0, 0, 0), V(1, 0, 0), V(2, 0.01f, 0), V(2, 1, 0)}), 4},
        {"corners 0.5e-6 apart", Flat({V(0, 0, 0), V(1, 0, 0), V(1, 0.5e-6f, 0), V(0, 1, 0)}), 3},
        {"corners 2e-6 apart", Flat({V(0, 0, 0), V(1, 0, 0), V(1, 2e-6f, 0), V(0, 1, 0)}), 4},
    };
    for (const auto& c : cases) {
        vektest::ClearWarning();
        std::vector<float> p = c.corners;
        VekSurface_Instanciate(4, p.data(), nullptr, nullptr);
        EXPECT_EQ(VekMain_GetWarning(), c.kept == 4 ? VEK_WARNING_NONE : VEK_WARNING_DUPLICATE_POSITION) << c.what;
        EXPECT_EQ(scenetest::LastSurface()->vertexCount, c.kept) << c.what;
    }
    // Corner 1 lies on the straight edge 0-2; its normal and map coordinates go with it.
    float p[12] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 2, 1, 0};
    float n[12] = {0, 0, 1, 0, 1, 0, 0, 0, 2, 0, 0, 3};
    float uv[12] = {0, 0, 0, 9, 9, 9, 1, 0, 0, 1, 1, 0};
    VekSurface_Instanciate(4, p, n, uv);
    VekSurface* s = scenetest::LastSurface();
    ASSERT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->vertex[1], V(2, 0, 0));
    EXPECT_EQ(s->vertexNormal[1], V(0, 0, 1));  // corner 2's, at unit length
    EXPECT_EQ(s->mapCoord[1], V(1, 0, 0));
    EXPECT_EQ(s->flags & VEK_FACE_SMOOTH, 0u);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, BadShapesCountsPointersAndNonFiniteValuesMakeNothing)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> tri = Flat({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    const std::vector<float> up = Flat({V(0, 0, 1), V(0, 0, 1), V(0, 0, 1)});
    std::vector<float> nanCorner = tri, infNormal = up, nanMap = up;
    nanCorner[4] = nan;
    infNormal[8] = inf;
    nanMap[0] = nan;
    const struct {
        const char* what;
        long count;
        std::vector<float> corners, normals, map;
    } cases[] = {
        {"three collinear corners", 3, Flat({V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)}), {}, {}},
        {"a corner doubling back", 4, Flat({V(0, 0, 0), V(2, 0, 0), V(1, 0.000001f, 0), V(0, 1, 0)}), {}, {}},
        {"five corners", 5, Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0.5f, 2, 0), V(0, 1, 0)}), {}, {}},
        {"negative count", -1, tri, {}, {}},
        {"count past 32 bits", 1L << 40, tri, {}, {}},
        {"null corners", 3, {}, up, {}},
        {"NaN corner", 3, nanCorner, {}, {}},
        {"infinite normal", 3, tri, infNormal, {}},
        {"NaN map coordinate", 3, tri, {}, nanMap},
    };
    for (const auto& c : cases) {
        for (bool twoSided : {false, true}) {
            std::vector<float> p = c.corners, n = c.normals, uv = c.map;
            auto data = [](std::vector<float>& v) { return v.empty() ? nullptr : v.data(); };
            vektest::ClearWarning();
            const long made = twoSided ? VekSurface_InstanciateDouble(c.count, data(p), data(n), data(uv))
                                       : VekSurface_Instanciate(c.count, data(p), data(n), data(uv));
            EXPECT_EQ(made, 0) << c.what;
            EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE) << c.what;
            EXPECT_STREQ(VekMain_GetWarningString(), "VekSurface_Instanciate");
            EXPECT_EQ(VekSurface_GetCount(), 1) << c.what;
        }
    }
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, NonPlanarQuadrilateralsSplitWhenTheCheckIsOn)
{
    const std::vector<float> lifted = Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0.01f)});
    const std::vector<float> normals = Flat({V(0, 0, 1), V(0, 0.1f, 1), V(0, 0.2f, 1), V(0, 0.3f, 1)});
    std::vector<float> p = lifted, n = normals;
    VekSurface_Instanciate(4, p.data(), nullptr, nullptr);  // check off: one quadrilateral
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
            const float* at = &lifted[3 * corners[t][k]];
            const float* given = &normals[3 * corners[t][k]];
            EXPECT_EQ(s->vertex[k], V(at[0], at[1], at[2]));
            EXPECT_TRUE(scenetest::Near(s->vertexNormal[k], scenetest::Unit(V(given[0], given[1], given[2])), 1e-6f));
        }
    }
    // An exactly planar square passes (the product is exactly 0).
    vektest::ClearWarning();
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(scenetest::LastSurface()->vertexCount, 4);
}

TEST_F(SceneTest, CornerNormalsDecideTheSmoothBit)
{
    const float tilt = 1.0f * 3.14159265f / 180.0f;
    const struct {
        const char* what;
        V middle;   // corner 1's normal; corners 0 and 2 have +z
        bool doubleSided, smooth;
    } cases[] = {
        {"lengths differ only", V(0, 0, 5), false, false},
        {"tilted by one degree", V(std::sin(tilt), 0, std::cos(tilt)), false, true},
        {"zero normal", V(0, 0, 0), false, true},
        {"against the face, one side", V(0, 0, -1), false, true},
        {"against the face, two sides", V(0, 0, -1), true, false},
    };
    for (const auto& c : cases) {
        Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 2), c.middle, V(0, 0, 1)}, c.doubleSided);
        VekSurface* front = c.doubleSided ? scenetest::LastSurface()->twin : scenetest::LastSurface();
        EXPECT_EQ((front->flags & VEK_FACE_SMOOTH) != 0, c.smooth) << c.what;
        EXPECT_EQ(front->vertexNormal[0], V(0, 0, 1)) << c.what;
    }
    EXPECT_EQ(scenetest::Surfaces()[2]->vertexNormal[1], V(0, 0, 0));   // a zero normal stays zero
    EXPECT_EQ(scenetest::LastSurface()->flags, VEK_FACE_BACK_SIDE);
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
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back->vertex[i], front->vertex[2 - i]);
        EXPECT_EQ(back->vertexNormal[i], -front->vertexNormal[2 - i]);
        EXPECT_EQ(back->mapCoord[i], front->mapCoord[2 - i]);
    }
    EXPECT_EQ(back->normal, V(0, 0, -1));
    EXPECT_EQ(front->flags, 0x1u | VEK_FACE_SMOOTH | VEK_FACE_HAS_MAP_COORDS);
    EXPECT_EQ(back->flags, front->flags | VEK_FACE_BACK_SIDE);
    EXPECT_EQ(back->groupNumber, 1);

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
    std::vector<float> lifted = Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0.01f)});
    VekSurface_SetCheckVertexOnOnePlane(1);   // the split stops at its first triangle
    const std::function<void()> makers[] = {
        [&] { VekSurface_Instanciate(3, p.data(), nullptr, nullptr); },
        [&] { VekSurface_InstanciateDouble(3, p.data(), nullptr, nullptr); },
        [&] { VekSurface_Instanciate(4, lifted.data(), nullptr, nullptr); },
    };
    for (const auto& make : makers) EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, make), "VekSurface_Instanciate");
    EXPECT_EQ(VekSurface_GetCount(), 1);
    // The list's tail is intact: the next surface follows the first.
    VekSurface_SetAttributeName(const_cast<char*>("mat"));
    EXPECT_EQ(Polygon({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}), 1);
    EXPECT_EQ(VekMemory_GetSurfaceList()->next, scenetest::LastSurface());
    scenetest::ExpectConsistentSurfaceList();
}

}  // namespace
