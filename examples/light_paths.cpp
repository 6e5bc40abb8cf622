// light_paths.cpp - a path's steps, in order:
//   1. pick a direction with density cos / pi about the current normal;
//   2. find the nearest face with VekIntersection_Raytrace; a path that
//      leaves the scene or meets an area light ends (their light is direct
//      light, counted by the light passes);
//   3. at a face that lets light through, go on through it with the
//      probability of its transmission, else reflect there;
//   4. reflect: the throughput takes the face's reflectance (the estimator
//      pi L cos / (cos / pi) leaves the reflectance alone), and the point
//      becomes a gather of that throughput;
//   5. after the full bounces, Russian roulette decides whether to go on.
#include "light_paths.h"

#include <algorithm>

#include "surface_look.h"

namespace example {
namespace {

constexpr float kFirstHitDistance = 1e-4f;  // metres: ignore faces touching the previous point
constexpr int kMaxSteps = 64;               // crossings and bounces: a guard against endless glass
constexpr float kMaxSurvival = 0.95f;       // Russian roulette never keeps every path
// A bounce point sits this far back along the arriving ray: that side is
// free space, so its shadow rays start clear of every face nearby.
constexpr float kPullBack = 1e-3f;  // metres

}  // namespace

void TraceLightPath(const Receiver& receiver, const Vec3& weight, uint32_t target, uint8_t sampling,
                    int fullBounces, Random& random, std::vector<Gather>& out, uint64_t& rays)
{
    Vec3 throughput = weight;
    Vec3 origin = receiver.point, normal = receiver.normal;
    const VekFace* skip = receiver.face;
    float u1 = random.Uniform(), u2 = random.Uniform();
    Vec3 direction = CosineDirection(normal, u1, u2);
    int bounces = 0;

    for (int step = 0; step < kMaxSteps; ++step) {
        // 2. The nearest face.
        HitInfo hit{};
        ++rays;
        if (!VekIntersection_Raytrace(origin, direction, skip, hit, kFirstHitDistance, 0)) return;
        if (hit.face->Type() != 0) return;
        SurfaceLook look = LookAt(*static_cast<VekSurface*>(hit.face), hit.point);

        // 3. Through, or off.
        float through = std::clamp(Luminance(look.transmission), 0.0f, 1.0f);
        if (through > 0.0f && random.Uniform() < through) {
            throughput = Multiply(throughput, look.transmission) * (1.0f / through);
            origin = hit.point;
            skip = hit.face;
            continue;
        }
        if (through >= 1.0f) return;
        Vec3 reflected = Multiply(look.albedo, Vec3(1, 1, 1) - look.transmission) * (1.0f / (1.0f - through));

        // 4. A bounce: light arriving here reaches the receiver through the path.
        throughput = Multiply(throughput, reflected);
        Vec3 facing = CG::dot(look.normal, direction) > 0.0f ? -look.normal : look.normal;
        Vec3 point = hit.point - direction * kPullBack;
        out.push_back(Gather{Receiver{point, facing, hit.face}, throughput, target, sampling, -1, random.Next()});

        // 5. Go on?
        if (++bounces >= fullBounces) {
            float survival = std::min(Luminance(reflected), kMaxSurvival);
            if (random.Uniform() >= survival) return;
            throughput *= 1.0f / survival;
        }
        origin = point;
        normal = facing;
        skip = hit.face;
        u1 = random.Uniform();
        u2 = random.Uniform();
        direction = CosineDirection(normal, u1, u2);
    }
}

}  // namespace example
