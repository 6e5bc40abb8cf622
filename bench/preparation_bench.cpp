// preparation_bench.cpp - environment preparation on crowded geometry that
// nested grids cannot separate well: a disc of triangles sharing its centre,
// a lampshade cone, coincident copies of one square, a cluster of faces
// overlapping around one point, and billboards in a small box, each inside a
// furnished room of a few thousand faces, at two sizes ten times apart.
//
// Reported per case: the time of one preparation, and the peak resident
// memory a preparation adds (measured once, before the timed runs, with the
// heap's free memory first given back so that every page the preparation
// touches shows).
#include <benchmark/benchmark.h>

#include "crowded_scenes.h"
#include "memory_use.h"

namespace vekbench {
namespace {

void Prepare(benchmark::State& state, void (*family)(int))
{
    BuildCrowdedScene(family, static_cast<int>(state.range(0)));
    // One preparation for the peak memory it adds.
    const double peak = PeakMiB([] { VekIntersection_PrepareEnvironment(); });
    for (auto _ : state) VekIntersection_PrepareEnvironment();
    state.counters["faces"] = g_mainStatusTable.surfaceCount;
    state.counters["peak_MiB"] = peak;
    VekIntersection_End();
}

#define FAMILY(name, small) \
    BENCHMARK_CAPTURE(Prepare, name, name)->Arg(small)->Arg(10 * (small))->Unit(benchmark::kMillisecond)

FAMILY(Disc, 300);
FAMILY(Cone, 250);
FAMILY(Coincident, 70);
FAMILY(Cluster, 300);
FAMILY(Billboards, 50);

}  // namespace
}  // namespace vekbench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    VekMain_Initialize();
    benchmark::RunSpecifiedBenchmarks();
    VekMain_End();
    benchmark::Shutdown();
    return 0;
}
