// Many threads read texels, blend and average at once from the same maps:
// every answer must equal the one a single thread computed first.
// ThreadSanitizer runs this test (its name holds "Threaded").
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "map_fixture.h"

using maptest::MapTest;
using maptest::Vec;

TEST_F(MapTest, ThreadedLookupsAgreeWithASingleThread)
{
    _VekMap* m = MakeMap("m", 64, 32, 4, maptest::PositionImage(64, 32, 4));
    Vec V[4] = {Vec(0, 0, 0), Vec(4, 0, 0), Vec(4, 2, 0), Vec(0, 2, 0)};
    Vec T[4] = {Vec(-1, 0, 0), Vec(3, 0.5f, 0), Vec(2.5f, 2, 0), Vec(0, 1.5f, 0)};
    Vec normal(0, 0, 1), base(0.4f, 0.5f, 0.6f);
    Vec region[2] = {Vec(-0.3f, 0.1f, 0), Vec(1.7f, 0.9f, 0)};

    // Each query: a map coordinate and a point on the face; each answer: the
    // two texels and a blend of the first.
    struct Answer {
        const unsigned char *byCoord, *byPoint;
        Vec blended;
        bool operator!=(const Answer& o) const { return byCoord != o.byCoord || byPoint != o.byPoint || blended != o.blended; }
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-50.0f, 50.0f), onFace(0.0f, 1.0f);
    std::vector<std::pair<Vec, Vec>> queries(4000);
    for (auto& q : queries) q = {Vec(spread(random), spread(random), 0), Vec(4 * onFace(random), 2 * onFace(random), 0)};
    auto answer = [&](std::pair<Vec, Vec> q) {
        const unsigned char* t = VekMap_GetMapColor(q.first, m);
        const Vec colour(t[0] / 255.0f, t[1] / 255.0f, t[2] / 255.0f);
        return Answer{t, VekMap_GetMapColor(q.second, 4, V, T, normal, m),
                      VekMap_BlendMapColor(2, t[3] / 255.0f, 0.5f, base, colour, 1.0f)};
    };
    std::vector<Answer> expected;
    for (const auto& q : queries) expected.push_back(answer(q));
    const CG::vec3<int> expectedAverage = VekMap_GetAverageColor(m, base, 1, 1, 0.5f, 2, region);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < 8; ++k)
        threads.emplace_back([&, k] {
            for (int pass = 0; pass < 5; ++pass) {
                for (size_t i = k; i < queries.size() + k; ++i)
                    if (answer(queries[i % queries.size()]) != expected[i % queries.size()]) ++mismatches;
                Vec threadBase = base;
                if (VekMap_GetAverageColor(m, threadBase, 1, 1, 0.5f, 2, region) != expectedAverage) ++mismatches;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(mismatches.load(), 0);
}
