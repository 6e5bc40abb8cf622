// grid_calculation.cpp - for each batch of points (small enough that its
// gathers fit in memory):
//   1. every point becomes a gather of its own direct light, and sends its
//      light paths, whose bounce points become gathers of indirect light;
//   2. the light passes give every gather its light;
//   3. the figures of each grid.
#include "grid_calculation.h"

#include <algorithm>

#include "light_passes.h"
#include "light_paths.h"
#include "ray_pass.h"

namespace example {
namespace {

constexpr size_t kMaxGathersPerBatch = size_t(1) << 21;  // about 100 MB of gathers and results
constexpr double kPathShare = 0.2;                       // of a batch's time, for progress
constexpr uint64_t kSeed = 0x9e3779b97f4a7c15ull;
// Direct light at grid points is what the figures are made of: fine.
// Bounce points of paths are many and averaged: cheap and noisier.
const DirectSampling kSamplings[2] = {{16, 1}, {1, 8}};

struct Point {
    size_t grid, index;
};

}  // namespace

std::vector<GridResult> CalculateGrids(const Scene& scene, const std::string& scenePath, int threads, GridStats& stats)
{
    std::vector<GridResult> results;
    std::vector<Point> points;
    std::vector<Receiver> receivers;
    for (const GridDesc& desc : scene.grids) {
        GridResult result;
        result.grid = LayOutGrid(desc, scene.floorHeight, scene.geometry.low, scene.geometry.high, scenePath);
        const CalculationGrid& g = result.grid;
        for (int row = 0; row < g.rows; ++row)
            for (int column = 0; column < g.columns; ++column) {
                if (!g.inside[g.Index(column, row)]) continue;
                points.push_back(Point{results.size(), g.Index(column, row)});
                receivers.push_back(Receiver{g.World(g.At(column, row)) + g.normal * kPointLift, g.normal, nullptr});
            }
        size_t n = static_cast<size_t>(g.columns) * g.rows;
        result.direct.assign(n, 0.0f);
        result.indirect.assign(n, 0.0f);
        results.push_back(std::move(result));
    }

    Progress progress("grids (" + std::to_string(points.size()) + " points)");
    const int paths = scene.indirect.samples;
    const size_t perBatch = std::max<size_t>(1, kMaxGathersPerBatch / (1 + 4 * static_cast<size_t>(paths)));
    const size_t batches = (points.size() + perBatch - 1) / perBatch;
    std::vector<Vec3> totals(2 * points.size(), Vec3(0, 0, 0));  // direct, indirect per point
    stats.rays = 0;
    for (size_t b = 0; b < batches; ++b) {
        const size_t first = b * perBatch, last = std::min(points.size(), first + perBatch);
        const double begin = static_cast<double>(b) / batches, size = 1.0 / batches;

        // 1. Gathers, each thread into its own list.
        std::vector<std::vector<Gather>> lists(threads);
        stats.rays += RunRayPass(threads, last - first, [&](int thread, size_t from, size_t to) {
            uint64_t rays = 0;
            for (size_t i = first + from; i < first + to; ++i) {
                uint32_t target = static_cast<uint32_t>(2 * i);
                Random random(kSeed ^ i);
                lists[thread].push_back(Gather{receivers[i], Vec3(1, 1, 1), target, 0, 0, random.Next()});
                const Vec3 share = Vec3(1, 1, 1) * (1.0f / std::max(paths, 1));
                for (int p = 0; p < paths; ++p)
                    TraceLightPath(receivers[i], share, target + 1, 1, scene.indirect.bounces, random, lists[thread], rays);
            }
            return rays;
        }, Progress::Span{&progress, begin, size * kPathShare});
        std::vector<Gather> gathers;
        for (auto& list : lists) gathers.insert(gathers.end(), list.begin(), list.end());

        // 2. Light.
        stats.rays += RunLightPasses(scene, gathers, kSamplings, threads, totals,
                                     Progress::Span{&progress, begin + size * kPathShare, size * (1 - kPathShare)});
    }
    stats.seconds = progress.Finish(stats.rays);

    // 3. Values and figures.
    for (size_t i = 0; i < points.size(); ++i) {
        GridResult& r = results[points[i].grid];
        r.direct[points[i].index] = Luminance(totals[2 * i]);
        r.indirect[points[i].index] = Luminance(totals[2 * i + 1]);
    }
    for (GridResult& r : results) {
        r.total.resize(r.direct.size());
        for (size_t i = 0; i < r.total.size(); ++i) r.total[i] = r.direct[i] + r.indirect[i];
        r.directFigures = FiguresOf(r.grid, r.direct);
        r.indirectFigures = FiguresOf(r.grid, r.indirect);
        r.totalFigures = FiguresOf(r.grid, r.total);
    }
    return results;
}

}  // namespace example
