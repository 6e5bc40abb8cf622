// Hit queries: picking from outside with the display's cull bit, the
// all-hits limit and ray marks, also where the ray numbering starts again
// (a second preparation, a thread's wrap).
#include <cstring>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

// Five parallel squares facing +z at z = 1..5 over [0, 4]^2, and a floor far
// below that widens the grid.
class Queries : public IntersectionTest {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        Attribute("half", V3(0.5f, 0.5f, 0.5f));
        for (int i = 1; i <= 5; ++i) {
            const float z = static_cast<float>(i);
            layers_.push_back(Polygon({V3(0, 0, z), V3(4, 0, z), V3(4, 4, z), V3(0, 4, z)}, "half"));
        }
        Polygon({V3(-50, -50, -20), V3(50, -50, -20), V3(50, 50, -20), V3(-50, 50, -20)}, "half");
        Prepare();
    }

    // A ray straight up through the stack, asked as query kind k: every
    // layer must be seen.
    void ExpectStackSeen(int k)
    {
        const V3 from(1, 1, 0.5f), up(0, 0, 1);
        const float all = 1.0f / 32.0f;  // five halves
        HitInfo hit{}, hits[8];
        switch (k) {
        case 0: EXPECT_EQ(VekIntersection_MultiRaytrace(from, up, nullptr, 8, hits, 1e-6f), 5); break;
        case 1: EXPECT_EQ(VekIntersection_Raytrace(from, up, nullptr, hit, 1e-6f, 0), 1); break;
        case 2: EXPECT_EQ(VekIntersection_Search(from, up * 10.0f, nullptr, nullptr, 0), V3(all, all, all)); break;
        default: EXPECT_EQ(VekIntersection_RayCast(from, up, hit, 1e-6f, 0), 1); break;
        }
    }
    std::vector<VekSurface*> layers_;
};

TEST_F(Queries, PickStartsOutsideTheSceneAndFollowsTheDisplaysCullBit)
{
    HitInfo hit{};
    g_mainValueTable.displayFlags |= VEK_DISPLAY_CULL;
    ASSERT_EQ(VekIntersection_Pick(V3(1, 1, 1000), V3(0, 0, -1), hit), 1);
    EXPECT_EQ(hit.face, layers_[4]);
    EXPECT_FLOAT_EQ(hit.t, 995.0f);
    EXPECT_EQ(VekIntersection_Pick(V3(1, 1, -1000), V3(0, 0, 1), hit), 0);
    g_mainValueTable.displayFlags &= ~VEK_DISPLAY_CULL;
    ASSERT_EQ(VekIntersection_Pick(V3(1, 1, -1000), V3(0, 0, 1), hit), 1);
    EXPECT_FLOAT_EQ(hit.t, 980.0f);
    // A ray that passes beside the scene box.
    EXPECT_EQ(VekIntersection_Pick(V3(1000, 1000, 1000), V3(0, 0, -1), hit), 0);
}

TEST_F(Queries, MultiRaytraceStopsRecordingAtMaxHits)
{
    HitInfo hits[8];
    for (long n : {0L, 2L, 8L}) {
        std::memset(hits, 0xab, sizeof hits);
        ASSERT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, n, hits, 1e-6f),
                  std::min<long>(n, 5));
        for (long i = 0; i < std::min<long>(n, 5); ++i) EXPECT_EQ(hits[i].reserved[0], 0);
    }
    // Downwards the floor counts too; skip leaves one out.
    EXPECT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 4.5f), V3(0, 0, -1), nullptr, 8, hits, 1e-6f), 5);
    EXPECT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 4.5f), V3(0, 0, -1), layers_[3], 8, hits, 1e-6f), 4);
    EXPECT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 4.5f), V3(0, 0, -1), nullptr, 8, nullptr, 1e-6f), 0);
}

TEST_F(Queries, OnlyTheAllHitsWalkMarksFacesAndEveryOtherQuerySeesThemWhateverTheirMarks)
{
    HitInfo hits[8];
    const uint32_t before = layers_[0]->rayNumbers[0];
    ASSERT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, 8, hits, 1e-6f), 5);
    const uint32_t ray = layers_[0]->rayNumbers[0];
    EXPECT_NE(ray, before);
    // Nearest hits and searches count rays but leave the marks alone, and a
    // face marked with the ray number a query takes is still met.
    HitInfo hit{};
    layers_[0]->rayNumbers[0] = ray + 1;
    ASSERT_EQ(VekIntersection_RayCast(V3(1, 1, 0.5f), V3(0, 0, 1), hit, 1e-6f, 0), 1);
    EXPECT_EQ(hit.face, layers_[0]);
    layers_[0]->rayNumbers[0] = ray + 3;
    ASSERT_EQ(VekIntersection_Raytrace(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, hit, 1e-6f, 0), 1);
    EXPECT_EQ(hit.face, layers_[0]);
    EXPECT_EQ(VekIntersection_Search(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, nullptr, 0), V3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(layers_[0]->rayNumbers[0], ray + 3);
    EXPECT_EQ(layers_[1]->rayNumbers[0], ray);
    // The all-hits walk passes over a face marked with its ray number.
    layers_[2]->rayNumbers[0] = ray + 4;
    EXPECT_EQ(VekIntersection_MultiRaytrace(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, 8, hits, 1e-6f), 4);
    // A thread number beyond threadCount finds nothing and marks nothing.
    VekMain_SetThreadNumber(5);
    EXPECT_EQ(VekIntersection_RayCast(V3(1, 1, 0.5f), V3(0, 0, 1), hit, 1e-6f, 0), 0);
    EXPECT_EQ(VekIntersection_SearchDirectionForSkyLight(V3(1, 1, 0.5f), V3(0, 0, 1), nullptr, 0, -1), V3(1, 1, 1));
    VekMain_SetThreadNumber(0);
}

TEST_F(Queries, PreparingAgainLeavesNoFaceHidden)
{
    // Every preparation numbers rays from 1 again: each kind's ray 1 meets
    // the faces the previous kind's ray 1 marked.
    for (int n = 0; n < 8; ++n) {
        VekIntersection_PrepareEnvironment();
        VekIntersection_Reset(1);
        ExpectStackSeen(n % 4);
    }
}

TEST_F(Queries, AThreadsWrapClearsItsOwnMarksOnly)
{
    g_mainValueTable.threadCount = 2;  // before the faces get their ray marks
    elements_.clear();
    Prepare();
    // Both threads mark the stack with their ray 1.
    VekMain_SetThreadNumber(1);
    ExpectStackSeen(0);
    VekMain_SetThreadNumber(0);
    ExpectStackSeen(0);
    // Thread 0 at the end of its numbering: its last ray passes far from
    // the stack, and its next rays are numbered 1, 2, ... again.
    VekTest_SetRayCounter(0, 0x7fffffffu - 1);
    HitInfo hit{};
    EXPECT_EQ(VekIntersection_RayCast(V3(40, 40, 0.5f), V3(0, 0, 1), hit, 1e-6f, 0), 0);
    EXPECT_EQ(layers_[0]->rayNumbers[0], 0u);
    for (int k = 0; k < 4; ++k) ExpectStackSeen(k);
    EXPECT_EQ(layers_[0]->rayNumbers[1], 1u);
}

}  // namespace
}  // namespace ixtest
