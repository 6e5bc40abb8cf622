// light_bench.cpp - the general light's intensity query on a full 37 x 73
// distribution (5 degree grid, range closed at 360) and on a rotationally
// symmetric one, and the reading of a typical IES file (73 x 37 values).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "Vek.h"

namespace {

// The repository's real IES files, found from this source file's place.
std::string RealIes(const char* name)
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../tests/data/ies/" + name;
}

// Directions spread over the sphere, most of them inside the tabulated range.
std::vector<std::array<float, 3>> Directions()
{
    std::vector<std::array<float, 3>> out;
    for (int k = 0; k < 4096; ++k) {
        const double v = 0.0439 * k, h = 0.713 * k, r = M_PI / 180;
        out.push_back({static_cast<float>(std::sin(v * r) * std::cos(h * r)),
                       static_cast<float>(std::sin(v * r) * std::sin(h * r)), static_cast<float>(std::cos(v * r))});
    }
    return out;
}

_VekGeneralLightData* Grid(int verticalCount, int horizontalCount, float horizontalStep)
{
    std::vector<float> v, h, candela;
    for (int i = 0; i < verticalCount; ++i) v.push_back(180.0f * i / (verticalCount - 1));
    for (int j = 0; j < horizontalCount; ++j) h.push_back(horizontalStep * j);
    for (float hj : h)
        for (float vi : v) candela.push_back(800 + 600 * std::cos(vi * 0.0174533f) + 90 * std::sin(hj * 0.05f));
    return VekLight_InstanciateGeneralLightData(1000, 1, verticalCount, v.data(), horizontalCount, h.data(),
                                                candela.data());
}

void QueryLoop(benchmark::State& state, _VekGeneralLightData* data)
{
    _VekGeneralLight light{};
    for (int k = 0; k < 16; k += 5) light.orientation[k] = 1.0f;
    light.data = data;
    const auto directions = Directions();
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VekLight_GetGeneralLightEnergy(&light, directions[k].data()));
        k = (k + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_EnergyGrid37x73(benchmark::State& state)
{
    VekMain_Initialize();
    _VekGeneralLightData* data = Grid(37, 72, 5.0f);   // 0 .. 355, closed to 73 angles
    if (!data || data->horizontalCount != 73) state.SkipWithError("distribution not built");
    else QueryLoop(state, data);
    VekMain_End();
}
BENCHMARK(BM_EnergyGrid37x73);

void BM_EnergyRotational37(benchmark::State& state)
{
    VekMain_Initialize();
    _VekGeneralLightData* data = Grid(37, 1, 0.0f);
    if (!data) state.SkipWithError("distribution not built");
    else QueryLoop(state, data);
    VekMain_End();
}
BENCHMARK(BM_EnergyRotational37);

void BM_ReadIesFile(benchmark::State& state)
{
    const std::string path = RealIes("iesna91_arnoldusd_bega_profile.ies");
    VekMain_Initialize();
    int64_t sinceRestart = 0;
    for (auto _ : state) {
        if (!VekLight_InstanciateGeneralLightDataWithFile(path.c_str())) {
            state.SkipWithError("file not read");
            break;
        }
        // Every read adds a record; start afresh now and then.
        if (++sinceRestart == 256) {
            state.PauseTiming();
            VekMain_End();
            VekMain_Initialize();
            sinceRestart = 0;
            state.ResumeTiming();
        }
    }
    VekMain_End();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadIesFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
