// Benchmarks of the library frame: taking records from the pools (block
// growth included), slot lookups at the end of a long block chain, ray-mark
// allocation, and the version query on our own library file.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstring>

#include "Vek.h"

namespace {

void SurfaceAllocation(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        VekMain_Initialize();
        for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(VekMemory_AllocateSurface());
        VekMain_End();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(SurfaceAllocation)->Arg(1 << 10)->Arg(1 << 17);

// GetIndex and GetAddress walk one link per block in front of the record's:
// the last of 131072 surfaces sits behind 127 blocks.
void SurfaceLookupLastBlock(benchmark::State& state)
{
    VekMain_Initialize();
    VekSurface* last = nullptr;
    for (int i = 0; i < (1 << 17); ++i) last = VekMemory_AllocateSurface();
    for (auto _ : state) {
        const long slot = VekSurface_GetIndex(last);
        benchmark::DoNotOptimize(VekSurface_GetAddress(slot));
    }
    VekMain_End();
}
BENCHMARK(SurfaceLookupLastBlock);

void AttributeInstanciation(benchmark::State& state)
{
    char name[] = "material";
    VekMain_Initialize();
    for (auto _ : state) VekAttribute_Instanciate(name);
    state.SetItemsProcessed(state.iterations());
    VekMain_End();
}
BENCHMARK(AttributeInstanciation);

void RayMarkAllocation(benchmark::State& state)
{
    VekMain_Initialize();
    for (auto _ : state) benchmark::DoNotOptimize(VekMainMemory_AllocateRaytraceNumber(8));
    state.SetItemsProcessed(state.iterations());
    VekMain_End();
}
BENCHMARK(RayMarkAllocation);

void VersionQueryOwnLibrary(benchmark::State& state)
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&VekMain_GetVersionInfo), &info)) {
        state.SkipWithError("library path unknown");
        return;
    }
    char path[4096];
    std::strncpy(path, info.dli_fname, sizeof path - 1);
    path[sizeof path - 1] = '\0';
    long version[4];
    for (auto _ : state) benchmark::DoNotOptimize(VekMain_GetVersionInfo(path, version));
}
BENCHMARK(VersionQueryOwnLibrary);

}  // namespace

BENCHMARK_MAIN();
