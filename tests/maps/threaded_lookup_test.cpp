// Many threads read texels, blend and average at once from the same maps:
// every answer must equal the one a single thread computed first.
// ThreadSanitizer runs this test (its name holds "Threaded").
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "map_fixture.h"

using maptest::Image;
using maptest::MapTest;
using maptest::Vec;

namespace {

struct Query {
    Vec coord;
    Vec point;
};

struct Answer {
    const unsigned char* byCoord;
    const unsigned char* byPoint;
    Vec blended;
};

}  // namespace

TEST_F(MapTest, ThreadedLookupsAgreeWithASingleThread)
{
    _VekMap* m = MakeMap("m", 64, 32, 4, maptest::PositionImage(64, 32, 4));
    Vec V[4] = {Vec(0, 0, 0), Vec(4, 0, 0), Vec(4, 2, 0), Vec(0, 2, 0)};
    Vec T[4] = {Vec(-1, 0, 0), Vec(3, 0.5f, 0), Vec(2.5f, 2, 0), Vec(0, 1.5f, 0)};
    Vec normal(0, 0, 1);
    Vec region[2] = {Vec(-0.3f, 0.1f, 0), Vec(1.7f, 0.9f, 0)};
    Vec base(0.4f, 0.5f, 0.6f);

    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-50.0f, 50.0f), onFace(0.0f, 1.0f);
    std::vector<Query> queries(4000);
    for (Query& q : queries) {
        q.coord = Vec(spread(random), spread(random), 0);
        q.point = Vec(4 * onFace(random), 2 * onFace(random), 0);
    }
    auto answer = [&](Query q) {
        const unsigned char* t = VekMap_GetMapColor(q.coord, m);
        const Vec colour(t[0] / 255.0f, t[1] / 255.0f, t[2] / 255.0f);
        return Answer{t, VekMap_GetMapColor(q.point, 4, V, T, normal, m),
                      VekMap_BlendMapColor(2, t[3] / 255.0f, 0.5f, base, colour, 1.0f)};
    };
    std::vector<Answer> expected;
    for (const Query& q : queries) expected.push_back(answer(q));
    const CG::vec3<int> expectedAverage = VekMap_GetAverageColor(m, base, 1, 1, 0.5f, 2, region);

    constexpr int kThreads = 8;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            for (int pass = 0; pass < 5; ++pass) {
                for (size_t i = k; i < queries.size() + k; ++i) {
                    const size_t j = i % queries.size();
                    const Answer a = answer(queries[j]);
                    if (a.byCoord != expected[j].byCoord || a.byPoint != expected[j].byPoint ||
                        a.blended != expected[j].blended)
                        ++mismatches;
                }
                Vec threadBase = base;
                if (VekMap_GetAverageColor(m, threadBase, 1, 1, 0.5f, 2, region) != expectedAverage) ++mismatches;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(mismatches.load(), 0);
}
