// Ray marks across a new start of the ray numbering: a second preparation
// numbers rays from 1 again, and so does a thread's counter after
// 0x7fffffff rays; no face may then stay hidden behind a mark an earlier ray
// of the same number left.
#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

// Five opaque squares facing +z at z = 1..5 over [0, 4]^2, and a floor.
class RayMarks : public IntersectionTest {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        Attribute("opaque", V3(0, 0, 0));
        for (int i = 1; i <= 5; ++i) {
            const float z = static_cast<float>(i);
            Polygon({V3(0, 0, z), V3(4, 0, z), V3(4, 4, z), V3(0, 4, z)}, "opaque");
        }
        Polygon({V3(-10, -10, -2), V3(10, -10, -2), V3(10, 10, -2), V3(-10, 10, -2)}, "opaque");
    }

    // A ray straight up through the stack, asked as query kind k: every
    // layer must be seen.
    void ExpectStackSeen(int k)
    {
        const V3 from(1, 1, 0.5f), up(0, 0, 1);
        HitInfo hit{}, hits[8];
        switch (k) {
        case 0: EXPECT_EQ(VekIntersection_MultiRaytrace(from, up, nullptr, 8, hits, 1e-6f), 5); break;
        case 1: EXPECT_EQ(VekIntersection_Raytrace(from, up, nullptr, hit, 1e-6f, 0), 1); break;
        case 2: EXPECT_EQ(VekIntersection_Search(from, up * 10.0f, nullptr, nullptr, 0), V3(0, 0, 0)); break;
        default: EXPECT_EQ(VekIntersection_RayCast(from, up, hit, 1e-6f, 0), 1); break;
        }
    }
};

TEST_F(RayMarks, PreparingAgainLeavesNoFaceHidden)
{
    // Every preparation numbers rays from 1 again: each kind's ray 1 meets
    // the faces the previous kind's ray 1 marked.
    Prepare();
    for (int n = 0; n < 8; ++n) {
        VekIntersection_PrepareEnvironment();
        VekIntersection_Reset(1);
        ExpectStackSeen(n % 4);
    }
}

TEST_F(RayMarks, AThreadsWrapClearsItsOwnMarksOnly)
{
    g_mainValueTable.threadCount = 2;  // before the faces get their ray marks
    Prepare();
    // Both threads mark the stack with their ray 1.
    VekMain_SetThreadNumber(1);
    ExpectStackSeen(0);
    VekMain_SetThreadNumber(0);
    ExpectStackSeen(0);
    // Thread 0 at the end of its numbering: its last ray passes beside the
    // stack, and its next rays are numbered 1, 2, ... again.
    VekTest_SetRayCounter(0, 0x7fffffffu - 1);
    HitInfo hit{};
    EXPECT_EQ(VekIntersection_RayCast(V3(8, 8, 0.5f), V3(0, 0, 1), hit, 1e-6f, 0), 0);
    EXPECT_EQ(elements_[0]->rayNumbers[0], 0u);
    for (int k = 0; k < 4; ++k) ExpectStackSeen(k);
    EXPECT_EQ(elements_[0]->rayNumbers[1], 1u);
}

}  // namespace
}  // namespace ixtest
