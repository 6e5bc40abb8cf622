// peer_bench.cpp - the library's hit and shadow queries beside Embree 3 on
// the same triangles and the same rays: RayCast and Raytrace beside
// rtcIntersect1, Search beside rtcOccluded1 (every face opaque, as Embree
// knows no transparency), coherent (camera) and incoherent (scattered) rays,
// on one and two threads; then preparation time and memory. Each line of the
// closing table is the library's rate over Embree's, each the best of
// kRepetitions runs, the runs of all benchmarks interleaved at random: this
// machine's speed drifts, and a drift or a neighbour's burst then weighs on
// both sides alike instead of on whichever ran at the time.
//
// Scenes: a torus knot of 60k triangles and the furnished room at 1M. Embree
// is used as a host would use it by default: one static scene, default build
// quality, one ray at a time.
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "knot_scene.h"
#include "room_scene.h"

namespace vekbench {
namespace {

constexpr int kImage = 256;  // camera rays: kImage x kImage
constexpr int kRepetitions = 5;
constexpr int kScattered = 1 << 16;
constexpr float kHitMin = 1e-4f;

struct Ray {
    V3 origin, direction;
    const VekFace* skip;  // shadow rays leave from this face
};

struct Scene {
    std::string name;
    std::vector<Ray> camera, scattered, cameraShadow, scatteredShadow;
    RTCDevice device = nullptr;
    RTCScene embree = nullptr;
    std::vector<const VekFace*> faceOfPrimitive;  // Embree's primID -> the library's face
};
Scene g_scene;

// 1. The rays: a camera image, scattered rays from inside the box, and the
//    shadow rays from the points they hit (towards a lamp, or towards
//    scattered points).
void MakeRays(const V3& eye, const V3& lookAt, const V3& lamp, const V3& boxMin, const V3& boxMax)
{
    for (const V3& d : CameraDirections(eye, lookAt, kImage)) g_scene.camera.push_back({eye, d, nullptr});
    std::mt19937 rng(5);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    auto inside = [&]() { return V3(uni(boxMin.x, boxMax.x), uni(boxMin.y, boxMax.y), uni(boxMin.z, boxMax.z)); };
    for (int n = 0; n < kScattered; ++n)
        g_scene.scattered.push_back({inside(), Normalized(V3(uni(-1, 1), uni(-1, 1), uni(-1, 1))), nullptr});
    auto shadows = [&](const std::vector<Ray>& from, std::vector<Ray>& out, bool toLamp) {
        for (const Ray& r : from) {
            HitInfo hit{};
            if (VekIntersection_RayCast(r.origin, r.direction, hit, kHitMin, 0))
                out.push_back({hit.point, (toLamp ? lamp : inside()) - hit.point, hit.face});
        }
    };
    shadows(g_scene.camera, g_scene.cameraShadow, true);
    shadows(g_scene.scattered, g_scene.scatteredShadow, false);
}

// 2. The same triangles in Embree (quadrilaterals as two triangles).
size_t g_embreeBytes = 0;
bool MemoryMonitor(void*, ssize_t bytes, bool)
{
    g_embreeBytes += static_cast<size_t>(bytes);
    return true;
}

RTCScene BuildEmbree(RTCDevice device)
{
    std::vector<float> vertices;
    std::vector<unsigned> indices;
    g_scene.faceOfPrimitive.clear();
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        if (s->flags & VEK_FACE_BACK_SIDE) continue;
        const unsigned base = static_cast<unsigned>(vertices.size() / 3);
        for (int i = 0; i < s->vertexCount; ++i)
            vertices.insert(vertices.end(), {s->vertex[i].x, s->vertex[i].y, s->vertex[i].z});
        for (int k = 0; k + 2 < s->vertexCount; ++k) {
            indices.insert(indices.end(), {base, base + k + 1, base + k + 2});
            g_scene.faceOfPrimitive.push_back(s);
        }
    }
    RTCScene scene = rtcNewScene(device);
    RTCGeometry mesh = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    float* v = static_cast<float*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                           3 * sizeof(float), vertices.size() / 3));
    std::copy(vertices.begin(), vertices.end(), v);
    unsigned* t = static_cast<unsigned*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                 3 * sizeof(unsigned), indices.size() / 3));
    std::copy(indices.begin(), indices.end(), t);
    rtcCommitGeometry(mesh);
    rtcAttachGeometry(scene, mesh);
    rtcReleaseGeometry(mesh);
    rtcCommitScene(scene);
    return scene;
}

RTCRayHit EmbreeRay(const Ray& r, float tnear, float tfar)
{
    RTCRayHit rh;
    rh.ray.org_x = r.origin.x;
    rh.ray.org_y = r.origin.y;
    rh.ray.org_z = r.origin.z;
    rh.ray.dir_x = r.direction.x;
    rh.ray.dir_y = r.direction.y;
    rh.ray.dir_z = r.direction.z;
    rh.ray.tnear = tnear;
    rh.ray.tfar = tfar;
    rh.ray.time = 0.0f;
    rh.ray.mask = ~0u;
    rh.ray.id = 0;
    rh.ray.flags = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
    return rh;
}

bool EmbreeHit(const Ray& r, RTCIntersectContext& context, unsigned& prim)
{
    RTCRayHit rh = EmbreeRay(r, kHitMin, std::numeric_limits<float>::infinity());
    rtcIntersect1(g_scene.embree, &context, &rh);
    prim = rh.hit.primID;
    return rh.hit.geomID != RTC_INVALID_GEOMETRY_ID;
}

bool EmbreeBlocked(const Ray& r, RTCIntersectContext& context)
{
    RTCRayHit rh = EmbreeRay(r, 1e-5f, 0.99999f);
    rtcOccluded1(g_scene.embree, &context, &rh.ray);
    return rh.ray.tfar < 0.0f;
}

// 3. Queries: one ray per iteration, each thread in its own half of the set.
template <class Cast>
void CastRays(benchmark::State& state, const std::vector<Ray>& rays, Cast cast)
{
    VekMain_SetThreadNumber(state.thread_index());
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    const size_t share = rays.size() / static_cast<size_t>(state.threads());
    const size_t begin = share * static_cast<size_t>(state.thread_index());
    size_t i = 0;
    long found = 0;
    for (auto _ : state) {
        found += cast(rays[begin + i], context);
        if (++i == share) i = 0;
    }
    benchmark::DoNotOptimize(found);
    state.counters["rays/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

using Query = long (*)(const Ray&, RTCIntersectContext&);
const std::pair<const char*, Query> kQueries[] = {
    {"RayCast",
     [](const Ray& r, RTCIntersectContext&) -> long {
         HitInfo hit;
         return VekIntersection_RayCast(r.origin, r.direction, hit, kHitMin, 0);
     }},
    {"Raytrace",
     [](const Ray& r, RTCIntersectContext&) -> long {
         HitInfo hit;
         return VekIntersection_Raytrace(r.origin, r.direction, nullptr, hit, kHitMin, 0);
     }},
    {"embree/Intersect1",
     [](const Ray& r, RTCIntersectContext& c) -> long {
         unsigned prim;
         return EmbreeHit(r, c, prim);
     }},
    {"Search",
     [](const Ray& r, RTCIntersectContext&) -> long {
         return VekIntersection_Search(r.origin, r.direction, r.skip, nullptr, 0).x > 0.0f;
     }},
    {"embree/Occluded1", [](const Ray& r, RTCIntersectContext& c) -> long { return EmbreeBlocked(r, c); }},
};

bool IsShadowQuery(const std::string& q) { return q == "Search" || q == "embree/Occluded1"; }

// Rates by benchmark name, for the table of ratios.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rates;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto it = run.counters.find("rays/s");
            if (it == run.counters.end() || run.run_type == Run::RT_Aggregate) continue;
            // Keyed without the minimum time and the repetitions, which only
            // the run itself needs; the best run counts.
            std::string name = run.benchmark_name();
            for (const char* part : {"/min_time:", "/repeats:"}) {
                const size_t at = name.find(part);
                if (at != std::string::npos) name.erase(at, name.find('/', at + 1) - at);
            }
            double& rate = rates[name];
            rate = std::max(rate, it->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string RunName(const std::string& query, const char* rays, int threads)
{
    return g_scene.name + "/" + query + "/" + rays + "/real_time/threads:" + std::to_string(threads);
}

// 4. Agreement: the library's nearest hit and shadow answers beside
//    Embree's, ray by ray (different float methods differ at edges).
void PrintAgreement()
{
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    size_t rays = 0, same = 0;
    for (const auto* set : {&g_scene.camera, &g_scene.scattered}) {
        for (const Ray& r : *set) {
            HitInfo hit{};
            unsigned prim = 0;
            const bool ours = VekIntersection_RayCast(r.origin, r.direction, hit, kHitMin, 0) != 0;
            const bool theirs = EmbreeHit(r, context, prim);
            ++rays;
            same += ours == theirs && (!ours || g_scene.faceOfPrimitive[prim] == hit.face);
        }
    }
    size_t shadows = 0, sameShadows = 0;
    for (const auto* set : {&g_scene.cameraShadow, &g_scene.scatteredShadow})
        for (const Ray& r : *set) {
            ++shadows;
            sameShadows += (VekIntersection_Search(r.origin, r.direction, r.skip, nullptr, 0).x == 0.0f) ==
                           EmbreeBlocked(r, context);
        }
    std::printf("%s: nearest hit agrees on %.4f%% of %zu rays, shadows on %.4f%% of %zu\n", g_scene.name.c_str(),
                100.0 * same / rays, rays, 100.0 * sameShadows / shadows, shadows);
}

size_t HeapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

template <class F>
double BestSeconds(int runs, F f)
{
    double best = 1e30;
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// 5. Preparation: the library's (grid and hierarchy) beside Embree's build
//    on all cores and on one, best of three; memory of what each keeps.
void PrintPreparation()
{
    const double ours = BestSeconds(3, [] { VekIntersection_PrepareEnvironment(); });
    VekIntersection_Reset(1);
    // Memory: the environment prepared afresh, everything it keeps.
    VekIntersection_Initialize();
    long faces = 0;
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next, ++faces) VekIntersection_RegisterSurface(s);
    const size_t before = HeapBytes();
    VekIntersection_PrepareEnvironment();
    const size_t ourBytes = HeapBytes() - before;
    VekIntersection_Reset(1);
    const double theirs = BestSeconds(3, [] {
        if (g_scene.embree) rtcReleaseScene(g_scene.embree);
        g_embreeBytes = 0;
        g_scene.embree = BuildEmbree(g_scene.device);
    });
    const size_t theirBytes = g_embreeBytes;
    RTCDevice single = rtcNewDevice("threads=1");
    RTCScene one = nullptr;
    const double theirsOne = BestSeconds(3, [&] {
        if (one) rtcReleaseScene(one);
        one = BuildEmbree(single);
    });
    rtcReleaseScene(one);
    rtcReleaseDevice(single);
    std::printf("%s: %ld faces; preparation %.3f s, Embree %.3f s (one thread %.3f s): %.2fx (%.2fx)\n",
                g_scene.name.c_str(), faces, ours, theirs, theirsOne, ours / theirs, ours / theirsOne);
    std::printf("%s: memory of the prepared environment %.1f MB (face records %.1f MB), Embree %.1f MB\n",
                g_scene.name.c_str(), ourBytes / 1e6, faces * 64 / 1e6, theirBytes / 1e6);
}

void PrintRatios(const Collector& collector)
{
    std::printf("\n%-9s %-9s %-11s %-7s %14s %14s %7s\n", "scene", "query", "rays", "threads", "library rays/s",
                "Embree rays/s", "ratio");
    for (const auto& q : kQueries) {
        const std::string query = q.first;
        if (query.rfind("embree/", 0) == 0) continue;
        const std::string peer = IsShadowQuery(query) ? "embree/Occluded1" : "embree/Intersect1";
        for (const char* rays : {"coherent", "incoherent"})
            for (int threads : {1, 2}) {
                const auto a = collector.rates.find(RunName(query, rays, threads));
                const auto b = collector.rates.find(RunName(peer, rays, threads));
                if (a == collector.rates.end() || b == collector.rates.end()) continue;
                std::printf("%-9s %-9s %-11s %-7d %14.0f %14.0f %7.2f\n", g_scene.name.c_str(), query.c_str(), rays,
                            threads, a->second, b->second, a->second / b->second);
            }
    }
    // Thread scaling of the library itself.
    for (const auto& q : kQueries)
        for (const char* rays : {"coherent", "incoherent"}) {
            const auto one = collector.rates.find(RunName(q.first, rays, 1));
            const auto two = collector.rates.find(RunName(q.first, rays, 2));
            if (one != collector.rates.end() && two != collector.rates.end())
                std::printf("%s %s %s: two threads %.2fx one\n", g_scene.name.c_str(), q.first, rays,
                            two->second / one->second);
        }
}

void Register()
{
    for (const auto& q : kQueries) {
        const Query cast = q.second;
        const bool shadow = IsShadowQuery(q.first);
        for (bool coherent : {true, false}) {
            const std::vector<Ray>& rays = shadow ? (coherent ? g_scene.cameraShadow : g_scene.scatteredShadow)
                                                  : (coherent ? g_scene.camera : g_scene.scattered);
            benchmark::RegisterBenchmark(
                (g_scene.name + "/" + q.first + (coherent ? "/coherent" : "/incoherent")).c_str(),
                [&rays, cast](benchmark::State& state) { CastRays(state, rays, cast); })
                ->Threads(1)
                ->Threads(2)
                ->UseRealTime()
                ->MinTime(0.3)
                ->Repetitions(kRepetitions);
        }
    }
}

template <class Build>
void RunScene(const char* name, Build build, const V3& eye, const V3& lookAt, const V3& lamp, const V3& boxMin,
              const V3& boxMax)
{
    PrepareFreshScene(build);
    g_scene = Scene();
    g_scene.name = name;
    g_scene.device = rtcNewDevice(nullptr);
    rtcSetDeviceMemoryMonitorFunction(g_scene.device, MemoryMonitor, nullptr);
    g_scene.embree = BuildEmbree(g_scene.device);
    MakeRays(eye, lookAt, lamp, boxMin, boxMax);
    PrintAgreement();
    PrintPreparation();
    Register();
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::ClearRegisteredBenchmarks();
    PrintRatios(collector);
    rtcReleaseScene(g_scene.embree);
    rtcReleaseDevice(g_scene.device);
}

}  // namespace
}  // namespace vekbench

int main(int argc, char** argv)
{
    using namespace vekbench;
    // Repetitions interleaved unless the command line says otherwise (a
    // later flag wins).
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    VekMain_Initialize();
    RunScene("knot60k", [] { BuildKnot(); }, kKnotCamera, kKnotLookAt, kKnotLamp, kKnotBoxMin, kKnotBoxMax);
    RunScene("room1M", [] { BuildRoom(1000000, true); }, V3(2.0f, 2.0f, 2.2f), kTorusCentre, V3(7.0f, 11.0f, 5.5f),
             V3(0.1f, 0.1f, 0.1f), V3(kRoomX - 0.1f, kRoomY - 0.1f, kRoomZ - 0.1f));
    VekMain_End();
    benchmark::Shutdown();
    return 0;
}
