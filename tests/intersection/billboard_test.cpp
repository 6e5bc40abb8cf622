// Shadow billboards turned towards a point or along a direction, against
// hand-computed corners.
#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

class Billboards : public IntersectionTest {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        Attribute("opaque", V3(0, 0, 0));
        source_ = Polygon({V3(-1, 0, 0), V3(1, 0, 0), V3(1, 0, 2), V3(-1, 0, 2)}, "opaque", VEK_FACE_BILLBOARD);
        Polygon({V3(-9, -9, -1), V3(9, -9, -1), V3(9, 9, -1)}, "opaque");
        Prepare();
        shadow_ = source_->twin->twin;
    }
    void ExpectCorners(std::vector<V3> corners, V3 normal)
    {
        for (size_t i = 0; i < corners.size(); ++i)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(shadow_->vertex[i][k], corners[i][k], 1e-6f) << i << k;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(shadow_->normal[k], normal[k], 1e-6f);
        EXPECT_NEAR(shadow_->planeOffset, CG::dot(shadow_->normal, shadow_->vertex[0]), 1e-6f);
    }
    VekSurface* source_ = nullptr;
    VekSurface* shadow_ = nullptr;
};

TEST_F(Billboards, PointFormTurnsToFaceTheLightAndDoesNotAccumulate)
{
    ASSERT_EQ(source_->normal, V3(0, -1, 0));
    for (int twice = 0; twice < 2; ++twice) {
        VekIntersection_RotateToFrontPointShadowBillboards(V3(0, 10, 1));
        ExpectCorners({V3(1, 0, 0), V3(-1, 0, 0), V3(-1, 0, 2), V3(1, 0, 2)}, V3(0, 1, 0));
    }
    // The source and the view copy keep their geometry; the box stays.
    EXPECT_EQ(source_->vertex[0], V3(-1, 0, 0));
    EXPECT_EQ(source_->twin->vertex[0], V3(-1, 0, 0));
    EXPECT_EQ(shadow_->boundsMin, V3(-2, -2, 0));
    // A light straight above the centre contributes no angle of its own:
    // theta = atan2(0, 0) - atan2(-1, 0) = pi/2.
    VekIntersection_RotateToFrontPointShadowBillboards(V3(0, 0, 50));
    ExpectCorners({V3(0, -1, 0), V3(0, 1, 0), V3(0, 1, 2), V3(0, -1, 2)}, V3(1, 0, 0));
}

TEST_F(Billboards, DirectionFormUsesTheHorizontalPartAsPassed)
{
    VekIntersection_RotateToFrontDirectionShadowBillboards(V3(1, 0, 5));
    ExpectCorners({V3(0, -1, 0), V3(0, 1, 0), V3(0, 1, 2), V3(0, -1, 2)}, V3(1, 0, 0));
    // The turned copy now blocks along x, and no longer along y.
    EXPECT_EQ(VekIntersection_SearchDirection(V3(-1.5f, 0.5f, 1), V3(1, 0, 0), nullptr, 0), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_SearchDirection(V3(-0.5f, -1.5f, 1), V3(0, 1, 0), nullptr, 0), V3(1, 1, 1));
}

TEST_F(Billboards, VerticalSourceNormalTurnsByTheLightsAzimuthAlone)
{
    VekIntersection_End();
    VekMain_End();
    VekMain_Initialize();
    elements_.clear();
    Attribute("opaque", V3(0, 0, 0));
    source_ = Polygon({V3(0, 0, 0), V3(2, 0, 0), V3(2, 2, 0), V3(0, 2, 0)}, "opaque", VEK_FACE_BILLBOARD);
    Prepare();
    shadow_ = source_->twin->twin;
    VekIntersection_RotateToFrontDirectionShadowBillboards(V3(0, 1, 0));
    // Centre (1, 1, 0), theta = pi/2 - atan2(0, 0) = pi/2.
    ExpectCorners({V3(2, 0, 0), V3(2, 2, 0), V3(0, 2, 0), V3(0, 0, 0)}, V3(0, 0, 1));
}

}  // namespace
}  // namespace ixtest
