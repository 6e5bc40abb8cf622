// The hierarchy that answers nearest hits and searches, where its box tests
// could round a face away or its build could run deep: scenes far from the
// origin and very small ones, warped quadrilaterals whose plane leaves
// their corners' box, faces spaced ever closer (a chain of splits), hostile
// rays; and its two builds (baseline and AVX2) against each other.
#include <cstring>

#include "intersection/intersection_fixture.h"

// Test hook of the library (no header declares it): the baseline traversals
// from the next preparation on.
VEK_API void VekTest_UseBaselineTraversals(long baseline);

namespace ixtest {
namespace {

class Hierarchy : public IntersectionTest {
protected:
    void TearDown() override
    {
        VekTest_UseBaselineTraversals(0);
        IntersectionTest::TearDown();
    }

    // Nearest hits and searches of rays from inside the scene against brute
    // force: the hierarchy must find exactly the faces the face test hits.
    void ExpectBruteForceAnswers(const std::vector<TestRay>& rays, float segment)
    {
        for (size_t n = 0; n < rays.size(); ++n) {
            const TestRay& r = rays[n];
            HitInfo hit{};
            ExpectSameNearest(VekIntersection_RayCast(r.origin, r.direction, hit, 1e-6f, 0), hit,
                              NearestReference(r.origin, r.direction, 1e-6f, 0, false, nullptr), r.origin, r.direction,
                              1e-6f, 0);
            ExpectSameNearest(VekIntersection_Raytrace(r.origin, r.direction, nullptr, hit, 1e-6f, 1), hit,
                              NearestReference(r.origin, r.direction, 1e-6f, 1, true, nullptr), r.origin, r.direction,
                              1e-6f, 1);
            const V3 toTarget = r.direction * segment;
            ASSERT_EQ(VekIntersection_Search(r.origin, toTarget, nullptr, nullptr, 0),
                      TransmissionReference(r.origin, toTarget, nullptr, nullptr, 1e-5f, 0.99999f))
                << "ray " << n;
            if (HasFailure()) FAIL() << "ray " << n;
        }
    }

    // Random rays from inside [lo, hi] and the prepared scene's boundary
    // (from outside it, walks and searches meet nothing), directions any way.
    static std::vector<TestRay> RaysIn(V3 lo, V3 hi, int count, unsigned seed)
    {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::max(lo[k], g_mainStatusTable.sceneMin[k]);
            hi[k] = std::min(hi[k], g_mainStatusTable.sceneMax[k]);
        }
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        std::vector<TestRay> rays;
        for (int n = 0; n < count; ++n)
            rays.push_back({V3(uni(lo.x, hi.x), uni(lo.y, hi.y), uni(lo.z, hi.z)),
                            Normalized(V3(uni(-1, 1), uni(-1, 1), uni(-1, 1)))});
        return rays;
    }

    // Every other ray turned towards a corner of some face, or a point on
    // one of its edges.
    void AimAtCornersAndEdges(std::vector<TestRay>& rays) const
    {
        for (size_t n = 0; n < rays.size(); n += 2) {
            const VekFace* f = elements_[(n * 7919) % elements_.size()];
            const int i = static_cast<int>(n / 2) % f->vertexCount, j = (i + 1) % f->vertexCount;
            const V3 target = n % 4 == 0 ? f->vertex[i] : f->vertex[i] + (f->vertex[j] - f->vertex[i]) * 0.25f;
            rays[n].direction = Normalized(target - rays[n].origin);
        }
    }

    // A grid of small tilted quadrilaterals and triangles (two attributes)
    // filling [origin, origin + size]^3, scaled as given.
    void Scatter(const V3& origin, float size, int count, unsigned seed)
    {
        Attribute("clear", V3(0.5f, 0.5f, 0.5f));
        Attribute("dark", V3(0, 0, 0));
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        const float s = size / 20.0f;
        for (int i = 0; i < count; ++i) {
            const V3 c = origin + V3(uni(0, size), uni(0, size), uni(0, size));
            const V3 a(uni(-s, s), uni(-s, s), uni(-s, s)), b(uni(-s, s), uni(-s, s), uni(-s, s));
            const char* attribute = i % 3 == 0 ? "dark" : "clear";
            if (i % 2 == 0)
                Polygon({c - a - b, c + a - b, c + a + b, c - a + b}, attribute);
            else
                Polygon({c, c + a, c + b}, attribute);
        }
    }
};

TEST_F(Hierarchy, BothBuildsOfTheTraversalsGiveTheSameAnswersToTheBit)
{
    BuildRoom(4);
    Prepare();
    const std::vector<TestRay> rays = Rays(11, 2000);
    struct Answers {
        std::vector<HitInfo> cast, trace;
        std::vector<V3> search;
    };
    auto answer = [&]() {
        Answers a;
        for (const TestRay& r : rays) {
            HitInfo hit;
            std::memset(&hit, 0, sizeof hit);
            VekIntersection_RayCast(r.origin, r.direction, hit, 1e-4f, 0);
            a.cast.push_back(hit);
            std::memset(&hit, 0, sizeof hit);
            VekIntersection_Raytrace(r.origin, r.direction, nullptr, hit, 1e-4f, 1);
            a.trace.push_back(hit);
            a.search.push_back(VekIntersection_SearchDirection(r.origin, r.direction, nullptr, 1));
        }
        return a;
    };
    const Answers widest = answer();
    VekTest_UseBaselineTraversals(1);
    VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(4);
    const Answers baseline = answer();
    for (size_t n = 0; n < rays.size(); ++n) {
        ASSERT_EQ(std::memcmp(&widest.cast[n], &baseline.cast[n], sizeof(HitInfo)), 0) << "ray " << n;
        ASSERT_EQ(std::memcmp(&widest.trace[n], &baseline.trace[n], sizeof(HitInfo)), 0) << "ray " << n;
        ASSERT_EQ(widest.search[n], baseline.search[n]) << "ray " << n;
    }
}

// Small faces at coordinates near 3e5, where a unit in the last place is
// 0.03, and a whole scene a thousandth of a unit wide. Half the rays aim at
// corners and edges, where a hit point lies on the boundary of its face's
// box and of every box above it, and rounding decides.
TEST_F(Hierarchy, ScenesFarFromTheOriginLoseNoFaceToRounding)
{
    const V3 origin(3e5f, -2e5f, 1e5f);
    Scatter(origin, 40.0f, 3000, 7);
    Prepare();
    std::vector<TestRay> rays = RaysIn(origin, origin + V3(40, 40, 40), 1500, 3);
    AimAtCornersAndEdges(rays);
    ExpectBruteForceAnswers(rays, 40.0f);
}

TEST_F(Hierarchy, VerySmallScenesLoseNoFaceToRounding)
{
    const V3 origin(1e-3f, 0, -2e-3f);
    Scatter(origin, 1e-3f, 3000, 8);
    Prepare();
    std::vector<TestRay> rays = RaysIn(origin, origin + V3(1e-3f, 1e-3f, 1e-3f), 1500, 5);
    AimAtCornersAndEdges(rays);
    ExpectBruteForceAnswers(rays, 1e-3f);
}

TEST_F(Hierarchy, WarpedQuadrilateralsAreFoundOnTheirPlane)
{
    // The fourth corner lifted off the plane of the first three: the face
    // test hits the plane, which leaves the corners' box.
    Attribute("clear", V3(0.5f, 0.5f, 0.5f));
    std::mt19937 rng(5);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    for (int i = 0; i < 400; ++i) {
        const V3 c(uni(0, 10), uni(0, 10), uni(0, 10));
        Polygon({c, c + V3(1, 0, 0), c + V3(1, 1, uni(0.3f, 0.8f)), c + V3(0, 1, 0)}, "clear");
    }
    Prepare();
    ExpectBruteForceAnswers(RaysIn(V3(0, 0, 0), V3(11, 11, 11), 3000, 9), 8.0f);
}

TEST_F(Hierarchy, FacesCrowdingTowardsOnePointBuildAChainThatStillAnswers)
{
    // Each square half as far from the corner as the one before, and half as
    // large: every split of the build peels off one square.
    Attribute("clear", V3(0.5f, 0.5f, 0.5f));
    float at = 1.0f;
    for (int i = 0; i < 120; ++i, at *= 0.5f) {
        for (int copy = 0; copy < 8; ++copy) {
            const float x = at * (1.0f + 0.1f * copy);
            Polygon({V3(x, 0, 0), V3(x, at, 0), V3(x, at, at), V3(x, 0, at)}, "clear");
        }
    }
    Polygon({V3(-1, -1, -1), V3(3, -1, -1), V3(3, 3, -1), V3(-1, 3, -1)}, "clear");
    Prepare();
    std::vector<TestRay> rays = RaysIn(V3(-0.5f, 0, 0), V3(2.5f, 1, 1), 1000, 4);
    for (int i = 0; i < 200; ++i)  // along the chain, towards the corner
        rays.push_back({V3(2.5f, 1e-3f * (i + 1), 1e-3f), Normalized(V3(-1, -1e-3f * i, 0))});
    ExpectBruteForceAnswers(rays, 3.0f);
}

TEST_F(Hierarchy, HostileRaysAnswerAsTheFaceTestDoes)
{
    BuildRoom(2);
    Prepare();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const V3 o = room_.lo + (room_.hi - room_.lo) * 0.5f;
    const std::vector<TestRay> rays = {
        {o, V3(nan, 0, 1)},     {V3(nan, o.y, o.z), V3(0, 0, 1)}, {o, V3(inf, 0, 0)},
        {o, V3(0, 0, 0)},       {o, V3(1e30f, 1e30f, 0)},         {o, V3(1e-30f, 0, 1e-30f)},
        {o, V3(0, -1e-20f, 1)}, {o, V3(-0.0f, -0.0f, -1)},        {o, V3(1, 1e-40f, -1e-40f)},
    };
    for (const TestRay& r : rays) {
        HitInfo hit{};
        ExpectSameNearest(VekIntersection_RayCast(r.origin, r.direction, hit, 1e-6f, 0), hit,
                          NearestReference(r.origin, r.direction, 1e-6f, 0, false, nullptr), r.origin, r.direction,
                          1e-6f, 0);
        EXPECT_EQ(VekIntersection_SearchDirection(r.origin, r.direction, nullptr, 0),
                  TransmissionReference(r.origin, r.direction, nullptr, nullptr, 1e-5f, 1e38f));
    }
}

}  // namespace
}  // namespace ixtest
