// intersection_bench.cpp - speed of the intersection engine on a furnished
// room with a finely tessellated torus, at 10k, 100k and 1M triangles:
// preparation time per face, and rays per second for RayCast, Raytrace,
// MultiRaytrace and Search with coherent (camera) and incoherent (random)
// rays, on one and two threads.
//
// The library holds one scene per process, so main builds each scene in
// turn, registers that size's benchmarks and runs them. With two threads,
// each thread casts its own half of the rays (top and bottom of the image,
// or two halves of the random set), with its own thread number. Rates are
// measured in real time; the CPU column (per ray and thread) shows whether a
// second thread makes each ray dearer, which wall-clock rates on a shared
// machine cannot.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "room_scene.h"

namespace vekbench {
namespace {

constexpr int kImage = 256;          // camera rays: kImage x kImage
constexpr int kRandomRays = 1 << 16;

struct Ray {
    V3 origin, direction;
    const VekFace* skip;  // shadow rays leave from this face
};

struct RaySets {
    std::vector<Ray> camera, random, cameraShadow, randomShadow;
};
RaySets g_rays;


// Camera in a corner of the room, looking at the torus, 60 degrees wide.
void MakeRays()
{
    g_rays = RaySets();
    const V3 eye(2.0f, 2.0f, 2.2f);
    for (const V3& d : CameraDirections(eye, kTorusCentre, kImage)) g_rays.camera.push_back({eye, d, nullptr});
    std::mt19937 rng(5);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    for (int n = 0; n < kRandomRays; ++n) {
        const V3 o(uni(0.1f, kRoomX - 0.1f), uni(0.1f, kRoomY - 0.1f), uni(0.1f, kRoomZ - 0.1f));
        g_rays.random.push_back({o, Normalized(V3(uni(-1, 1), uni(-1, 1), uni(-1, 1))), nullptr});
    }
    // Shadow rays: from the surface points the camera sees towards a lamp
    // under the ceiling (coherent), and between random points (incoherent).
    const V3 lamp(7.0f, 11.0f, 5.5f);
    for (const Ray& r : g_rays.camera) {
        HitInfo hit{};
        if (VekIntersection_RayCast(r.origin, r.direction, hit, 1e-4f, 0))
            g_rays.cameraShadow.push_back({hit.point, lamp - hit.point, hit.face});
    }
    for (const Ray& r : g_rays.random)
        g_rays.randomShadow.push_back({r.origin, V3(uni(0.1f, kRoomX), uni(0.1f, kRoomY), uni(0.1f, kRoomZ)) - r.origin,
                                       nullptr});
}

// One ray per iteration, each thread in its own half of the set.
template <class Cast>
void CastRays(benchmark::State& state, const std::vector<Ray>& rays, Cast cast)
{
    VekMain_SetThreadNumber(state.thread_index());
    const size_t share = rays.size() / static_cast<size_t>(state.threads());
    const size_t begin = share * static_cast<size_t>(state.thread_index());
    size_t i = 0;
    long found = 0;
    for (auto _ : state) {
        found += cast(rays[begin + i]);
        if (++i == share) i = 0;
    }
    benchmark::DoNotOptimize(found);
    state.counters["rays/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const std::vector<Ray>& Set(bool coherent, bool shadow)
{
    return shadow ? (coherent ? g_rays.cameraShadow : g_rays.randomShadow) : (coherent ? g_rays.camera : g_rays.random);
}

void RayCast(benchmark::State& state, bool coherent)
{
    CastRays(state, Set(coherent, false), [](const Ray& r) {
        HitInfo hit;
        return VekIntersection_RayCast(r.origin, r.direction, hit, 1e-4f, 0);
    });
}

void Raytrace(benchmark::State& state, bool coherent)
{
    CastRays(state, Set(coherent, false), [](const Ray& r) {
        HitInfo hit;
        return VekIntersection_Raytrace(r.origin, r.direction, nullptr, hit, 1e-4f, 0);
    });
}

void MultiRaytrace(benchmark::State& state, bool coherent)
{
    CastRays(state, Set(coherent, false), [](const Ray& r) {
        HitInfo hits[16];
        return VekIntersection_MultiRaytrace(r.origin, r.direction, nullptr, 16, hits, 1e-4f);
    });
}

void Search(benchmark::State& state, bool coherent)
{
    CastRays(state, Set(coherent, true), [](const Ray& r) {
        return static_cast<long>(VekIntersection_Search(r.origin, r.direction, r.skip, nullptr, 0).x > 0.0f);
    });
}

void Prepare(benchmark::State& state, long faces)
{
    for (auto _ : state) VekIntersection_PrepareEnvironment();
    VekIntersection_Reset(1);
    state.counters["ns/face"] = benchmark::Counter(
        static_cast<double>(faces) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BuildScene(long triangles)
{
    PrepareFreshScene([triangles] { BuildRoom(triangles); });
    MakeRays();
}

void Register(long triangles, long faces)
{
    const std::string size = std::to_string(triangles / 1000) + "k";
    benchmark::RegisterBenchmark(("Prepare/" + size).c_str(), Prepare, faces)->Unit(benchmark::kMillisecond);
    using Query = void (*)(benchmark::State&, bool);
    const std::pair<const char*, Query> queries[] = {
        {"RayCast", RayCast}, {"Raytrace", Raytrace}, {"MultiRaytrace", MultiRaytrace}, {"Search", Search}};
    for (const auto& q : queries)
        for (bool coherent : {true, false})
            benchmark::RegisterBenchmark(
                (std::string(q.first) + "/" + size + (coherent ? "/coherent" : "/incoherent")).c_str(), q.second,
                coherent)
                ->Threads(1)
                ->Threads(2)
                ->UseRealTime()
                ->MinTime(0.3);
}

}  // namespace
}  // namespace vekbench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    VekMain_Initialize();
    for (long triangles : {10000L, 100000L, 1000000L}) {
        const auto start = std::chrono::steady_clock::now();
        vekbench::BuildScene(triangles);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("scene of %ld triangles: %d surfaces, built and prepared in %.2f s\n", triangles,
                    g_mainStatusTable.surfaceCount, seconds);
        vekbench::Register(triangles, g_mainStatusTable.surfaceCount);
        benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_None);  // fresh for every run
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::ClearRegisteredBenchmarks();
    }
    VekMain_End();
    benchmark::Shutdown();
    return 0;
}
