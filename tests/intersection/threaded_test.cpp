// 64 ray threads with distinct thread numbers query one prepared
// environment at once and get exactly the single-threaded answers, each
// coming to the end of its ray numbering on the way.
#include <algorithm>
#include <thread>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

struct Answers {
    long cast = 0, trace = 0, count = 0;
    HitInfo castHit{}, traceHit{};
    std::vector<std::pair<VekFace*, float>> all;
    V3 segment, direction;
};

bool operator==(const Answers& a, const Answers& b)
{
    auto same = [](long found, const HitInfo& x, const HitInfo& y) {
        return !found || (x.t == y.t && x.face == y.face && x.point == y.point);
    };
    return a.cast == b.cast && a.trace == b.trace && a.count == b.count && same(a.cast, a.castHit, b.castHit) &&
           same(a.trace, a.traceHit, b.traceHit) && a.all == b.all && a.segment == b.segment &&
           a.direction == b.direction;
}

class ThreadedQueries : public IntersectionTest {
protected:
    Answers Ask(const TestRay& r, long light)
    {
        Answers a;
        a.cast = VekIntersection_RayCast(r.origin, r.direction, a.castHit, 1e-4f, 0);
        a.trace = VekIntersection_Raytrace(r.origin, r.direction, nullptr, a.traceHit, 1e-4f, 1);
        HitInfo hits[32];
        a.count = VekIntersection_MultiRaytrace(r.origin, r.direction, nullptr, 32, hits, 1e-4f);
        for (long i = 0; i < a.count; ++i) a.all.emplace_back(hits[i].face, hits[i].t);
        std::sort(a.all.begin(), a.all.end());
        a.segment = VekIntersection_Search(r.origin, r.direction * 60.0f, nullptr, nullptr, light);
        a.direction = VekIntersection_SearchDirection(r.origin, r.direction, nullptr, light);
        return a;
    }
};

TEST_F(ThreadedQueries, SixtyFourThreadsGetTheSingleThreadedAnswers)
{
    constexpr int kThreads = 64, kRays = 1500;
    g_mainValueTable.threadCount = kThreads;  // before the faces get their ray marks
    BuildRoom(11, 24);
    Prepare();
    const std::vector<TestRay> rays = Rays(12, kRays);
    std::vector<Answers> expected;
    for (int n = 0; n < kRays; ++n) expected.push_back(Ask(rays[n], n % 4));

    // Every thread comes to the end of its ray numbering during the run, at
    // its own moment, and clears its marks while the others query.
    for (int t = 0; t < kThreads; ++t) VekTest_SetRayCounter(t, 0x7fffffffu - 100 - 37 * t);

    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            VekMain_SetThreadNumber(t);
            // Each thread starts elsewhere in the list, so threads meet the
            // same faces at different moments.
            for (int k = 0; k < kRays; ++k) {
                const int n = (k + t * 97) % kRays;
                if (!(Ask(rays[n], n % 4) == expected[n])) ++mismatches[t];
            }
        });
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

// With more than one ray thread the grid and the hierarchy are built on two
// threads at once; the structure, and so every answer, ties included, must
// be the one a single thread builds.
TEST_F(ThreadedQueries, PreparationOnTwoThreadsBuildsWhatOneThreadBuilds)
{
    g_mainValueTable.threadCount = 2;  // before the faces get their ray marks
    BuildRoom(5);
    Prepare();
    const std::vector<TestRay> rays = Rays(6, 3000);
    std::vector<Answers> apart;
    for (int n = 0; n < static_cast<int>(rays.size()); ++n) apart.push_back(Ask(rays[n], n % 4));
    g_mainValueTable.threadCount = 1;
    VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(4);
    int mismatches = 0;
    for (int n = 0; n < static_cast<int>(rays.size()); ++n) mismatches += !(Ask(rays[n], n % 4) == apart[n]);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace ixtest
