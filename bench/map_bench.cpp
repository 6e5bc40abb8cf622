// Texture maps: binding an RGBA image (copy and average colour, linear in
// its size), texel lookups at map coordinates and at points of a face, and
// the average blended colour of a region.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "Vek.h"

namespace {

using Vec = CG::vec3<float>;

std::vector<unsigned char> NoiseImage(size_t bytes)
{
    std::vector<unsigned char> image(bytes);
    std::mt19937 random(1);
    for (unsigned char& b : image) b = static_cast<unsigned char>(random());
    return image;
}

// A scene with one map "m" holding a side x side RGBA image.
_VekMap* SetUpMap(long side)
{
    VekMain_Initialize();
    VekMap_Instanciate("m", nullptr);
    const std::vector<unsigned char> image = NoiseImage(size_t(side) * side * 4);
    VekMap_BindImage("m", side, side, 4, image.data());
    return VekMemory_GetMapList();
}

// Binding a side x side RGBA image: the copy and the average colour. With
// fresh set, the map is unbound (untimed) before each bind, so every bind
// allocates a new buffer and pays for the operating system's first touch of
// its pages; otherwise each bind rewrites the map's unshared copy in place.
void BindImageRGBA(benchmark::State& state, bool fresh)
{
    const long side = state.range(0);
    const std::vector<unsigned char> image = NoiseImage(size_t(side) * side * 4);
    VekMain_Initialize();
    VekMap_Instanciate("m", nullptr);
    VekMap_BindImage("m", side, side, 4, image.data());
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            VekMap_UnbindImage("m");
            state.ResumeTiming();
        }
        VekMap_BindImage("m", side, side, 4, image.data());
        benchmark::DoNotOptimize(VekMemory_GetMapList()->averageColor[0]);
    }
    VekMain_End();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
    state.SetComplexityN(side * side);
}
void BM_BindImageRGBA(benchmark::State& state) { BindImageRGBA(state, false); }
void BM_BindImageRGBAFresh(benchmark::State& state) { BindImageRGBA(state, true); }
BENCHMARK(BM_BindImageRGBA)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_BindImageRGBAFresh)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

std::vector<Vec> RandomCoordinates(size_t count, float low, float high)
{
    std::mt19937 random(2);
    std::uniform_real_distribution<float> spread(low, high);
    std::vector<Vec> coords(count);
    for (Vec& c : coords) c = Vec(spread(random), spread(random), 0);
    return coords;
}

void BM_GetMapColorAtCoordinate(benchmark::State& state)
{
    _VekMap* map = SetUpMap(1024);
    std::vector<Vec> coords = RandomCoordinates(4096, -8.0f, 8.0f);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VekMap_GetMapColor(coords[i], map));
        i = (i + 1) & 4095;
    }
    VekMain_End();
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_GetMapColorAtCoordinate);

void BM_GetMapColorOnQuadrilateral(benchmark::State& state)
{
    _VekMap* map = SetUpMap(1024);
    Vec V[4] = {Vec(0, 0, 0), Vec(4, 0, 1), Vec(4, 3, 1), Vec(0, 3, 0)};
    Vec T[4] = {Vec(0, 0, 0), Vec(2, 0, 0), Vec(2, 1.5f, 0), Vec(0, 1.5f, 0)};
    Vec normal(-0.24253563f, 0, 0.9701425f);
    std::vector<Vec> points = RandomCoordinates(4096, 0.0f, 3.0f);
    for (Vec& p : points) p.z = p.x / 4;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VekMap_GetMapColor(points[i], 4, V, T, normal, map));
        i = (i + 1) & 4095;
    }
    VekMain_End();
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_GetMapColorOnQuadrilateral);

void BM_BlendMapColor(benchmark::State& state)
{
    const Vec base(0.3f, 0.6f, 0.9f);
    std::vector<Vec> colours = RandomCoordinates(4096, 0.0f, 1.0f);
    size_t i = 0;
    long mode = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VekMap_BlendMapColor(mode, 0.5f, 0.7f, base, colours[i], 1.0f));
        i = (i + 1) & 4095;
        mode = mode == 7 ? 1 : mode + 1;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_BlendMapColor);

// The average over a region of side x side texels of a 1024 x 1024 map.
void BM_GetAverageColor(benchmark::State& state)
{
    _VekMap* map = SetUpMap(1024);
    const float extent = float(state.range(0)) / 1024;
    Vec coords[3] = {Vec(0.1f, 0.1f, 0), Vec(0.1f + extent, 0.1f, 0), Vec(0.1f, 0.1f + extent, 0)};
    Vec base(0.5f, 0.5f, 0.5f);
    for (auto _ : state) benchmark::DoNotOptimize(VekMap_GetAverageColor(map, base, 0, 1, 0.5f, 3, coords));
    VekMain_End();
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0) * state.range(0));
}
BENCHMARK(BM_GetAverageColor)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
