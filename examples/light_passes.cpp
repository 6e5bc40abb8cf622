// light_passes.cpp - each pass writes only its own gathers' entries of a
// side array, so the threads never share a result; the side array is
// added into the totals once all lights are done.
#include "light_passes.h"

#include "ray_pass.h"

namespace example {
namespace {

void TurnBillboardsFor(const SceneLight& light)
{
    if (light.turnTowardPoint)
        VekIntersection_RotateToFrontPointShadowBillboards(light.turnTarget);
    else
        VekIntersection_RotateToFrontDirectionShadowBillboards(light.turnTarget);
}

}  // namespace

uint64_t RunLightPasses(const Scene& scene, const std::vector<Gather>& gathers, const DirectSampling* samplings,
                        int threads, std::vector<Vec3>& totals, const Progress::Span& progress)
{
    std::vector<Vec3> received(gathers.size(), Vec3(0, 0, 0));
    uint64_t rays = 0;
    const size_t lights = scene.lights.size();
    for (size_t l = 0; l < lights; ++l) {
        const SceneLight& light = scene.lights[l];
        TurnBillboardsFor(light);
        Progress::Span span{progress.progress, progress.begin + progress.size * l / lights, progress.size / lights};
        rays += RunRayPass(threads, gathers.size(), [&](int thread, size_t begin, size_t end) {
            uint64_t cast = 0;
            for (size_t i = begin; i < end; ++i) {
                const Gather& g = gathers[i];
                Random random(g.seed, l + 1);
                DirectSampling sampling = samplings[g.sampling];
                sampling.skyFirst = g.skyFirst;
                received[i] += Multiply(g.weight, GatherLight(light, g.receiver, sampling, random, thread, cast));
            }
            return cast;
        }, span);
    }
    for (size_t i = 0; i < gathers.size(); ++i) totals[gathers[i].target] += received[i];
    return rays;
}

}  // namespace example
