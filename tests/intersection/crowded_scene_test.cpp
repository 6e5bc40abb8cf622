// Crowded geometry that nested grids cannot separate well (faces sharing a
// centre or an apex, coincident copies, clusters of large overlapping faces,
// billboards in a small box) inside a furnished room: preparation finishes,
// and every query kind answers as the brute-force references do, whether a
// crowded cell kept a nested grid or a plain list.
#include <algorithm>
#include <cmath>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

enum class Family { kDisc, kCone, kCoincident, kCluster, kBillboards };

struct Case {
    Family family;
    int count;
    const char* name;
};

class CrowdedScene : public IntersectionTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        Attribute("opaque", V3(0, 0, 0));
        Attribute("half", V3(0.5f, 0.5f, 0.5f));
        Furnish();
        Build(GetParam().family, GetParam().count);
        Prepare();
        g_mainValueTable.displayFlags &= ~VEK_DISPLAY_CULL;  // Pick tests both sides
    }

    // A room of 20 x 16 x 6 with a soup of small triangles.
    void Furnish()
    {
        std::mt19937 rng(9);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        const float X = 20, Y = 16, Z = 6;
        Shell(V3(X, Y, Z), {"opaque", "opaque", "opaque", "opaque"});
        for (int n = 0; n < 600; ++n) {
            const V3 c(uni(1, X - 1), uni(1, Y - 1), uni(0.2f, Z - 0.2f));
            const float s = uni(0.05f, 0.4f);
            Polygon({c, c + V3(uni(-s, s), uni(-s, s), uni(-s, s)), c + V3(uni(-s, s), uni(-s, s), uni(-s, s))},
                    n % 2 ? "half" : "opaque");
        }
    }

    // The crowded family around centre_, half of its faces transparent.
    void Build(Family family, int n)
    {
        std::mt19937 rng(n);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        const V3 c = centre_;
        const float tau = 6.2831853f;
        for (int i = 0; i < n; ++i) {
            const char* kind = i % 2 ? "half" : "opaque";
            const float a = tau * static_cast<float>(i) / static_cast<float>(n);
            const float b = tau * static_cast<float>(i + 1) / static_cast<float>(n);
            switch (family) {
            case Family::kDisc:
                Polygon({c, c + V3(0.5f * std::cos(a), 0.5f * std::sin(a), 0), c + V3(0.5f * std::cos(b), 0.5f * std::sin(b), 0)},
                        kind);
                break;
            case Family::kCone:
                Polygon({c, c + V3(0.45f * std::cos(a), 0.45f * std::sin(a), -0.15f),
                         c + V3(0.45f * std::cos(b), 0.45f * std::sin(b), -0.15f)},
                        kind);
                break;
            case Family::kCoincident:
                Polygon({c + V3(-2, -2, 0), c + V3(2, -2, 0), c + V3(2, 2, 0), c + V3(-2, 2, 0)}, kind);
                break;
            case Family::kCluster: {
                const V3 m = c + V3(uni(-0.03f, 0.03f), uni(-0.03f, 0.03f), uni(-0.03f, 0.03f));
                const V3 p = c + V3(uni(-0.3f, 0.3f), uni(-0.3f, 0.3f), uni(-0.3f, 0.3f));
                const V3 q = c + V3(uni(-0.3f, 0.3f), uni(-0.3f, 0.3f), uni(-0.3f, 0.3f));
                Polygon({p, q, m * 3.0f - p - q}, kind);
                break;
            }
            case Family::kBillboards: {
                const V3 o = c + V3(uni(-0.05f, 0.05f), uni(-0.05f, 0.05f), uni(-1.05f, -0.95f));
                Polygon({o, o + V3(0.6f, 0, 0), o + V3(0.6f, 0, 1), o + V3(0, 0, 1)}, kind, VEK_FACE_BILLBOARD);
                break;
            }
            }
        }
    }

    // Rays from the room aimed at the family, some grazing it.
    std::vector<TestRay> AimedRays(int count)
    {
        std::mt19937 rng(5);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        std::vector<TestRay> rays;
        for (int n = 0; n < count; ++n) {
            const V3 o(uni(0.5f, 19.5f), uni(0.5f, 15.5f), uni(0.2f, 5.8f));
            const float spread = n % 3 == 0 ? 2.0f : 0.4f;
            const V3 target = centre_ + V3(uni(-spread, spread), uni(-spread, spread), uni(-0.1f, 0.1f));
            rays.push_back({o, Normalized(target - o)});
        }
        return rays;
    }

    const V3 centre_{10.0f, 8.0f, 3.2f};
};

TEST_P(CrowdedScene, EveryQueryAnswersAsTheReference)
{
    const std::vector<TestRay> rays = AimedRays(300);
    HitInfo hits[256];
    for (size_t n = 0; n < rays.size(); ++n) {
        const TestRay& r = rays[n];
        const long cull = n % 2;
        HitInfo hit{};
        long found = VekIntersection_RayCast(r.origin, r.direction, hit, 1e-4f, cull);
        ExpectSameNearest(found, hit, NearestReference(r.origin, r.direction, 1e-4f, cull, false, nullptr), r.origin,
                          r.direction, 1e-4f, cull);
        const V3 far = r.origin - r.direction * 50.0f;
        found = VekIntersection_Pick(far, r.direction, hit);
        ExpectSameNearest(found, hit, NearestReference(far, r.direction, 1e-10f, 0, false, nullptr), far, r.direction,
                          1e-10f, 0);
        found = VekIntersection_Raytrace(r.origin, r.direction, nullptr, hit, 1e-4f, cull);
        ExpectSameNearest(found, hit, NearestReference(r.origin, r.direction, 1e-4f, cull, true, nullptr), r.origin,
                          r.direction, 1e-4f, cull);
        const long count = VekIntersection_MultiRaytrace(r.origin, r.direction, nullptr, 256, hits, 1e-4f);
        std::vector<std::pair<const VekFace*, float>> all;
        for (long i = 0; i < count; ++i) all.emplace_back(hits[i].face, hits[i].t);
        std::sort(all.begin(), all.end());
        EXPECT_EQ(all, AllHitsReference(r.origin, r.direction, nullptr, 1e-4f));
        const V3 toTarget = r.direction * 12.0f;
        EXPECT_EQ(VekIntersection_Search(r.origin, toTarget, nullptr, nullptr, 0),
                  TransmissionReference(r.origin, toTarget, nullptr, nullptr, 1e-5f, 0.99999f));
        if (HasFailure()) FAIL() << "ray " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Families, CrowdedScene,
                         ::testing::Values(Case{Family::kDisc, 1000, "Disc"}, Case{Family::kCone, 250, "Cone"},
                                           Case{Family::kCoincident, 70, "CoincidentSquares"},
                                           Case{Family::kCluster, 300, "OverlappingCluster"},
                                           Case{Family::kBillboards, 50, "BillboardsInASmallBox"}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ixtest
