// Every query kind against a brute-force reference, ray by ray, on
// randomised rooms with crowded cells (nested grids to the third level),
// needles, two-sided panels, billboards (turned and not) and area lights,
// small and large.
#include <algorithm>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

class RandomScene : public IntersectionTest, public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        // Seed 100 builds a sphere of 90k triangles: a structure large
        // enough for the walks to fetch cells ahead of their visits.
        const bool large = GetParam() >= 100;
        BuildRoom(GetParam(), large ? 150 : 40);
        Prepare();
        rays_ = Rays(GetParam() * 7 + 1, large ? 100 : 1000);
    }
    std::vector<TestRay> rays_;
};

TEST_P(RandomScene, RayCastAndPickFindTheNearestSurface)
{
    for (size_t n = 0; n < rays_.size(); ++n) {
        const TestRay& r = rays_[n];
        const long cull = n % 3 == 0;
        const float tMin = n % 5 == 0 ? 2.0f : 1e-4f;
        HitInfo hit{};
        const long found = VekIntersection_RayCast(r.origin, r.direction, hit, tMin, cull);
        ExpectSameNearest(found, hit, NearestReference(r.origin, r.direction, tMin, cull, false, nullptr), r.origin,
                          r.direction, tMin, cull);
        // From outside the room, the same line: the walk is clipped to the box.
        const V3 far = r.origin - r.direction * 500.0f;
        const long picked = VekIntersection_Pick(far, r.direction, hit);
        ExpectSameNearest(picked, hit, NearestReference(far, r.direction, 1e-10f, 1, false, nullptr), far,
                          r.direction, 1e-10f, 1);
        if (HasFatalFailure()) FAIL() << "ray " << n;
    }
}

TEST_P(RandomScene, RaytraceFindsTheNearestElementAndSkipsTheSkipFace)
{
    const VekFace* skip = nullptr;
    for (size_t n = 0; n < rays_.size(); ++n) {
        const TestRay& r = rays_[n];
        const long cull = n % 4 == 0;
        HitInfo hit{};
        const long found = VekIntersection_Raytrace(r.origin, r.direction, skip, hit, 1e-4f, cull);
        ExpectSameNearest(found, hit, NearestReference(r.origin, r.direction, 1e-4f, cull, true, skip), r.origin,
                          r.direction, 1e-4f, cull);
        if (HasFatalFailure()) FAIL() << "ray " << n;
        skip = found ? hit.face : nullptr;  // the next ray ignores the face this one hit
    }
}

TEST_P(RandomScene, MultiRaytraceReportsEveryHitOnce)
{
    HitInfo hits[64];
    for (size_t n = 0; n < rays_.size(); ++n) {
        const TestRay& r = rays_[n];
        const long count = VekIntersection_MultiRaytrace(r.origin, r.direction, nullptr, 64, hits, 1e-4f);
        std::vector<std::pair<const VekFace*, float>> found;
        for (long i = 0; i < count; ++i) {
            found.emplace_back(hits[i].face, hits[i].t);
            EXPECT_EQ(hits[i].point, r.origin + r.direction * hits[i].t) << "ray " << n;
        }
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, AllHitsReference(r.origin, r.direction, nullptr, 1e-4f)) << "ray " << n;
    }
}

TEST_P(RandomScene, SearchesMultiplyTheTransparenciesMet)
{
    for (size_t n = 0; n < rays_.size(); ++n) {
        const TestRay& r = rays_[n];
        const V3 toTarget = r.direction * static_cast<float>(10 + n % 90);
        const long light = n % 4;
        ASSERT_EQ(VekIntersection_Search(r.origin, toTarget, nullptr, nullptr, light),
                  TransmissionReference(r.origin, toTarget, nullptr, nullptr, 1e-5f, 0.99999f))
            << "ray " << n;
        ASSERT_EQ(VekIntersection_SearchDirection(r.origin, r.direction, nullptr, light),
                  TransmissionReference(r.origin, r.direction, nullptr, nullptr, 1e-5f, 1e38f))
            << "ray " << n;
        ASSERT_EQ(VekIntersection_SearchDirectionForSkyLight(r.origin, r.direction, nullptr, light, 0),
                  TransmissionReference(r.origin, r.direction, nullptr, nullptr, 1e-5f, 1e38f))
            << "ray " << n;
    }
}

TEST_P(RandomScene, TurnedShadowBillboardsBlockWhereTheyNowStand)
{
    VekIntersection_RotateToFrontPointShadowBillboards(V3(30, 150, 55));
    for (size_t n = 0; n < rays_.size(); ++n) {
        const TestRay& r = rays_[n];
        ASSERT_EQ(VekIntersection_SearchDirection(r.origin, r.direction, nullptr, 1),
                  TransmissionReference(r.origin, r.direction, nullptr, nullptr, 1e-5f, 1e38f))
            << "ray " << n;
        HitInfo hit{};
        const long found = VekIntersection_RayCast(r.origin, r.direction, hit, 1e-4f, 0);
        ExpectSameNearest(found, hit, NearestReference(r.origin, r.direction, 1e-4f, 0, false, nullptr), r.origin,
                          r.direction, 1e-4f, 0);
        if (HasFatalFailure()) FAIL() << "ray " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomScene, ::testing::Values(1u, 2u, 3u, 100u));

}  // namespace
}  // namespace ixtest
