// surface_bench.cpp - the cost of building a scene's surfaces.
//
// Instanciation of 10k, 100k and 1M triangles: the time per surface should
// stay flat (linear time), and the heap calls counted during the timed loop
// should be the surface pool's blocks alone (one per 1024 surfaces).
// SimpleMergeAll on meshes of triangle pairs, up to a million triangles:
// pairs that follow each other in the list (the usual host order), a
// shuffled list, a curved mesh in which nothing merges (once the quadratic
// worst case, hours at a million), and a mesh far beyond the unit scale.
// The time per triangle should stay about flat. A Bezier patch's tessellation for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <vector>

#include "Vek.h"

// Every heap call of the process goes through these while counting is on,
// including the library's (operator new ends in malloc). A sanitizer brings
// its own malloc; there the calls are not counted (heap_calls reads -1).
namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_heapCalls{0};
}  // namespace
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCountsHeapCalls = false;
#else
constexpr bool kCountsHeapCalls = true;
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* malloc(size_t n)
{
    if (g_counting.load(std::memory_order_relaxed)) g_heapCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size)
{
    if (g_counting.load(std::memory_order_relaxed)) g_heapCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
#endif

namespace {

void StartScene()
{
    VekMain_Initialize();
    VekAttribute_Instanciate(const_cast<char*>("mat"));
    VekSurface_SetAttributeName(const_cast<char*>("mat"));
}

// Triangles k = 0 .. n - 1, laid out on a 1000-wide grid of unit cells.
std::vector<float> TriangleSoup(long n)
{
    std::vector<float> p;
    p.reserve(9 * n);
    for (long k = 0; k < n; ++k) {
        const float x = static_cast<float>(k % 1000), y = static_cast<float>(k / 1000);
        p.insert(p.end(), {x, y, 0, x + 1, y, 0, x, y + 1, 0});
    }
    return p;
}

void BM_InstanciateTriangles(benchmark::State& state)
{
    const long n = state.range(0);
    std::vector<float> p = TriangleSoup(n);
    long heapCalls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StartScene();
        g_heapCalls = 0;
        g_counting = true;
        state.ResumeTiming();
        for (long k = 0; k < n; ++k) VekSurface_Instanciate(3, &p[9 * k], nullptr, nullptr);
        state.PauseTiming();
        g_counting = false;
        heapCalls = g_heapCalls;
        if (VekSurface_GetCount() != n) state.SkipWithError("surfaces missing");
        VekMain_End();
        state.ResumeTiming();
    }
    state.SetComplexityN(n);
    state.counters["time_per_surface"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
    state.counters["heap_calls"] = kCountsHeapCalls ? static_cast<double>(heapCalls) : -1.0;
    state.counters["pool_blocks"] = static_cast<double>((n + 1023) / 1024);
}
BENCHMARK(BM_InstanciateTriangles)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

enum MeshOrder { kPairsInOrder, kShuffled, kCurved, kFar };

// A side x side grid of unit squares on a plane, each cut into two
// triangles. Curved, every grid point is raised by a scrambled height below
// 0.05: no two triangles lie in one plane, so (almost) nothing merges. Far,
// the squares are 1e29 wide, where every corner is keyed by its bits.
std::vector<float> PairMesh(int side, MeshOrder order)
{
    std::vector<float> p;
    const bool curved = order == kCurved;
    const float size = order == kFar ? 1e29f : 1.0f;
    auto z = [&](int x, int y) {
        const unsigned h = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
        return curved ? 0.05f * static_cast<float>(h % 1000u) / 1000.0f : 0.0f;
    };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float x0 = size * x, y0 = size * y, x1 = size * (x + 1), y1 = size * (y + 1);
            p.insert(p.end(), {x0, y0, z(x, y), x1, y0, z(x + 1, y), x1, y1, z(x + 1, y + 1)});
            p.insert(p.end(), {x0, y0, z(x, y), x1, y1, z(x + 1, y + 1), x0, y1, z(x, y + 1)});
        }
    }
    return p;
}

void BM_SimpleMergeAll(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const MeshOrder order = static_cast<MeshOrder>(state.range(1));
    std::vector<float> p = PairMesh(side, order);
    const long triangles = 2L * side * side;
    if (order == kShuffled) {
        std::vector<long> index(triangles);
        for (long k = 0; k < triangles; ++k) index[k] = k;
        std::shuffle(index.begin(), index.end(), std::mt19937(5));
        std::vector<float> shuffled;
        for (long k : index) shuffled.insert(shuffled.end(), &p[9 * k], &p[9 * k + 9]);
        p.swap(shuffled);
    }
    long after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StartScene();
        for (long k = 0; k < triangles; ++k) VekSurface_Instanciate(3, &p[9 * k], nullptr, nullptr);
        state.ResumeTiming();
        VekSurface_SimpleMergeAll();
        state.PauseTiming();
        after = VekSurface_GetCount();
        VekMain_End();
        state.ResumeTiming();
    }
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["faces_after"] = static_cast<double>(after);
    state.counters["time_per_triangle"] = benchmark::Counter(
        static_cast<double>(triangles), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SimpleMergeAll)
    ->Args({100, kPairsInOrder})   // 20k triangles
    ->Args({708, kPairsInOrder})   // 1M
    ->Args({100, kShuffled})
    ->Args({708, kShuffled})
    ->Args({100, kCurved})         // no merge: every triangle's candidates all fail
    ->Args({708, kCurved})
    ->Args({708, kFar})
    ->Unit(benchmark::kMillisecond);

void BM_BezierPatch(benchmark::State& state)
{
    // A 4 x 4 wavy net; its extent sets about (range / 0.2)^2 cells.
    const float extent = static_cast<float>(state.range(0));
    std::vector<float> net;
    for (int r = 0; r < 4; ++r)
        for (int i = 0; i < 4; ++i)
            net.insert(net.end(), {extent * i / 9.0f, extent * r / 9.0f, std::sin(1.3f * i + 0.7f * r)});
    long triangles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StartScene();
        state.ResumeTiming();
        VekBezierSurface_Instanciate(4, 4, net.data(), nullptr);
        state.PauseTiming();
        triangles = VekSurface_GetCount();
        VekMain_End();
        state.ResumeTiming();
    }
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["time_per_triangle"] = benchmark::Counter(
        static_cast<double>(triangles), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BezierPatch)->Arg(10)->Arg(60)->Arg(180)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
