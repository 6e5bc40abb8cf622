// Environment preparation: the scene boundary, billboard registration, and
// what hostile or out-of-order calls leave behind.
#include <limits>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

using Environment = IntersectionTest;

TEST_F(Environment, FlatSceneGetsAnAbsoluteMarginAlongItsFlatAxis)
{
    Attribute("opaque", V3(0, 0, 0));
    Polygon({V3(0, 0, 5), V3(10, 0, 5), V3(10, 20, 5)}, "opaque");
    Polygon({V3(0, 0, 5), V3(10, 20, 5), V3(0, 20, 5)}, "opaque");
    Prepare();
    float b[6];
    VekMain_GetSceneBoundary(b);
    const float expected[6] = {-0.01f, 10.01f, -0.02f, 20.02f, 5.0f - 0.001f, 5.0f + 0.001f};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(b[i], expected[i]) << i;
    HitInfo hit{};
    EXPECT_EQ(VekIntersection_RayCast(V3(3, 7, 9), V3(0, 0, -1), hit, 1e-6f, 0), 1);
    EXPECT_FLOAT_EQ(hit.t, 4.0f);
}

TEST_F(Environment, BillboardBecomesAViewCopyAndAShadowCopyWithOwnMarksAndWidenedBoxes)
{
    Attribute("opaque", V3(0, 0, 0));
    VekSurface* s = Polygon({V3(-1, 0, 0), V3(1, 0, 0), V3(1, 0, 2), V3(-1, 0, 2)}, "opaque", VEK_FACE_BILLBOARD);
    ASSERT_NE(s, nullptr);
    Prepare();
    VekSurface* view = s->twin;
    ASSERT_NE(view, nullptr);
    VekSurface* shadow = view->twin;
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->twin, s);
    EXPECT_EQ(view->flags & 0x7000001u, 0x2000001u);
    EXPECT_EQ(shadow->flags & 0x7000001u, 0x4000000u);
    EXPECT_NE(view->rayNumbers, s->rayNumbers);
    EXPECT_NE(shadow->rayNumbers, s->rayNumbers);
    EXPECT_NE(shadow->rayNumbers, view->rayNumbers);
    // Full xy diagonal (2) either side of the centre; z unchanged.
    EXPECT_EQ(view->boundsMin, V3(-2, -2, 0));
    EXPECT_EQ(view->boundsMax, V3(2, 2, 2));
    EXPECT_EQ(shadow->boundsMin, V3(-2, -2, 0));
    // Hit rays meet the view copy, shadow rays the shadow copy.
    HitInfo hit{};
    ASSERT_EQ(VekIntersection_Raytrace(V3(0, -1.5f, 1), V3(0, 1, 0), nullptr, hit, 1e-6f, 0), 1);
    EXPECT_EQ(hit.face, view);
    HitInfo hits[4];
    ASSERT_EQ(VekIntersection_MultiRaytrace(V3(0, -1.5f, 1), V3(0, 1, 0), nullptr, 4, hits, 1e-6f), 1);
    EXPECT_EQ(hits[0].face, view);
    EXPECT_EQ(VekIntersection_Search(V3(0, -1.5f, 1), V3(0, 3, 0), nullptr, nullptr, 0), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(V3(0, -1.5f, 1), V3(0, 3, 0), shadow, nullptr, 0), V3(1, 1, 1));
}

TEST_F(Environment, HostileElementsAreLeftOutAndTheRestStillWorks)
{
    Attribute("opaque", V3(0, 0, 0));
    VekSurface* floor = Polygon({V3(0, 0, 0), V3(10, 0, 0), V3(10, 10, 0), V3(0, 10, 0)}, "opaque");
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    Polygon({V3(0, 10, 0), V3(10, 10, 0), V3(10, 10, 5)}, "opaque");  // gives the scene depth
    TestAreaLight* broken = AreaLight({V3(100, 1, 1), V3(101, 1, 1), V3(101, 2, 1)});
    broken->boundsMax.x = nan;
    TestAreaLight* huge = AreaLight({V3(100, 1, 2), V3(101, 1, 2), V3(101, 2, 2)});
    huge->boundsMin.y = -inf;
    TestAreaLight* unset = AreaLight({V3(100, 1, 3), V3(101, 1, 3), V3(101, 2, 3)});
    unset->boundsMin = V3(1e38f, 1e38f, 1e38f);
    unset->boundsMax = V3(-1e38f, -1e38f, -1e38f);
    // Registrations that cannot take part are refused with a warning.
    VekIntersection_Initialize();
    vektest::ClearWarning();
    VekIntersection_RegisterSurface(nullptr);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    TestAreaLight unmarked;
    VekIntersection_RegisterArealight(&unmarked);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekIntersection_RegisterArealight");
    RegisterAll();
    VekIntersection_PrepareEnvironment();
    float b[6];
    VekMain_GetSceneBoundary(b);
    EXPECT_FLOAT_EQ(b[1], 10.01f);  // the hostile lights are not placed
    EXPECT_FLOAT_EQ(b[2], -0.01f);
    HitInfo hit{};
    EXPECT_EQ(VekIntersection_Raytrace(V3(1.5f, 1.5f, 0.5f), V3(0, 0, -1), nullptr, hit, 1e-6f, 0), 1);
    EXPECT_EQ(hit.face, floor);
    // Hostile rays: NaN, infinite and zero directions end at once.
    EXPECT_EQ(VekIntersection_Raytrace(V3(1, 1, 0.5f), V3(nan, 0, -1), nullptr, hit, 1e-6f, 0), 0);
    EXPECT_EQ(VekIntersection_RayCast(V3(nan, 1, 1), V3(0, 0, -1), hit, 1e-6f, 0), 0);
    EXPECT_EQ(VekIntersection_RayCast(V3(1, 1, 1), V3(0, 0, 0), hit, 1e-6f, 0), 0);
    VekIntersection_RayCast(V3(1, 1, 1), V3(inf, 1, -inf), hit, 1e-6f, 0);
    EXPECT_EQ(VekIntersection_SearchDirection(V3(1, 1, 0.5f), V3(0, inf, -1), nullptr, 0), V3(1, 1, 1));
    // An origin outside the grid walks nothing when the walk is not clipped.
    EXPECT_EQ(VekIntersection_Raytrace(V3(1, 1, 50), V3(0, 0, -1), nullptr, hit, 1e-6f, 0), 0);
}

TEST_F(Environment, AFaceNearTheFloatLimitLeavesTheRestAnsweringAsWithoutIt)
{
    Attribute("opaque", V3(0, 0, 0));
    Attribute("half", V3(0.5f, 0.5f, 0.5f));
    VekSurface* floor = Polygon({V3(0, 0, 0), V3(10, 0, 0), V3(10, 10, 0), V3(0, 10, 0)}, "opaque");
    VekSurface* pane = Polygon({V3(0, 0, 1), V3(10, 0, 1), V3(10, 10, 1), V3(0, 10, 1)}, "half");
    Polygon({V3(0, 0, 4), V3(10, 0, 4), V3(10, 10, 4), V3(0, 10, 4)}, "opaque");
    auto answers = [&](float boundary[6]) {
        VekMain_GetSceneBoundary(boundary);
        const V3 from(2, 3, 3);
        HitInfo hit{};
        EXPECT_EQ(VekIntersection_Raytrace(from, V3(0.1f, 0, -1), nullptr, hit, 1e-6f, 0), 1);
        EXPECT_EQ(hit.face, pane);
        EXPECT_EQ(VekIntersection_RayCast(V3(2, 3, 0.5f), V3(0, 0.2f, -1), hit, 1e-6f, 0), 1);
        EXPECT_EQ(hit.face, floor);
        EXPECT_EQ(VekIntersection_Search(from, V3(0, 0, -2.5f), nullptr, nullptr, 0), V3(0.5f, 0.5f, 0.5f));
        EXPECT_EQ(VekIntersection_Search(from, V3(0, 0, -4), nullptr, nullptr, 0), V3(0, 0, 0));
    };
    Prepare();
    float without[6], with[6];
    answers(without);
    // An area light whose finite corners span nearly the whole float range:
    // its box's extent is beyond the largest float.
    AreaLight({V3(-3e38f, -3e38f, 1), V3(3e38f, -3e38f, 1), V3(0, 3e38f, 2)});
    elements_.clear();
    Prepare();
    answers(with);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(with[i], without[i]) << i;
}

TEST_F(Environment, CallsOutOfOrderAreSafe)
{
    HitInfo hit{};
    // No environment at all.
    EXPECT_EQ(VekIntersection_RayCast(V3(0, 0, 1), V3(0, 0, -1), hit, 1e-6f, 0), 0);
    EXPECT_EQ(VekIntersection_Search(V3(0, 0, 1), V3(0, 0, -2), nullptr, nullptr, 0), V3(1, 1, 1));
    VekIntersection_Reset(3);
    VekIntersection_SetCullface(1);
    VekIntersection_RotateToFrontPointShadowBillboards(V3(0, 0, 0));
    // Nothing registered.
    VekIntersection_Initialize();
    VekIntersection_PrepareEnvironment();
    EXPECT_EQ(VekIntersection_Pick(V3(0, 0, 1), V3(0, 0, -1), hit), 0);
    // Prepared twice, initialised again without an end, ended twice.
    Attribute("opaque", V3(0, 0, 0));
    Polygon({V3(-1, 0, 0), V3(1, 0, 0), V3(1, 0, 2)}, "opaque", VEK_FACE_BILLBOARD);
    const V3 from(0.5f, -1, 0.5f), toTarget(0, 2, 0);
    Prepare();
    VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(1);
    EXPECT_EQ(VekIntersection_Search(from, toTarget, nullptr, nullptr, 0), V3(0, 0, 0));
    elements_.clear();
    Prepare();
    EXPECT_EQ(VekIntersection_Search(from, toTarget, nullptr, nullptr, 0), V3(0, 0, 0));
    VekIntersection_End();
    VekIntersection_End();
    EXPECT_EQ(VekIntersection_RayCast(from, toTarget, hit, 1e-6f, 0), 0);
    // Left open: VekMain_End ends it (the leak checker watches).
    Prepare();
}

}  // namespace
}  // namespace ixtest
