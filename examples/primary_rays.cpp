// primary_rays.cpp - camera rays through transparent layers.
//
// Each crossing is one VekIntersection_Raytrace from the last hit, skipping
// the face just left. At a surface the part of the light that it does not
// transmit is its own layer; the transmitted part goes on behind it.
#include "primary_rays.h"

#include <algorithm>

#include "surface_look.h"

namespace example {
namespace {

constexpr int kMaxCrossings = 6;
constexpr float kFirstHitDistance = 1e-4f;  // metres: ignore faces touching the previous hit
constexpr float kNegligible = 1e-3f;        // luminance share not worth following
constexpr float kEntryStep = 1e-5f;         // of the box's depth along the ray: just inside it
// A receiver sits this far back along the camera ray from its hit point:
// that side is free space, so its shadow rays start clear of every face
// nearby, also in a corner where another face lies closer to the hit than
// the searches' own starting distance.
constexpr float kPullBack = 1e-3f;  // metres

// The library's hit query starts from a point inside the scene box: a
// camera outside it (looking at a scene from afar) starts its rays where
// they enter the box. False when the ray misses the box.
bool EnterSceneBox(Vec3& origin, const Vec3& direction)
{
    float box[6];
    VekMain_GetSceneBoundary(box);
    float enter = 0.0f, leave = 1e30f;
    for (int axis = 0; axis < 3; ++axis) {
        float low = box[2 * axis], high = box[2 * axis + 1];
        if (direction[axis] == 0.0f) {
            if (origin[axis] <= low || origin[axis] >= high) return false;
            continue;
        }
        float t0 = (low - origin[axis]) / direction[axis], t1 = (high - origin[axis]) / direction[axis];
        enter = std::max(enter, std::min(t0, t1));
        leave = std::min(leave, std::max(t0, t1));
    }
    if (enter >= leave) return false;
    origin += direction * (enter + kEntryStep * (leave - enter));
    return true;
}

}  // namespace

PixelTrace TracePixel(const CameraView& view, const Scene& scene, float x, float y, uint64_t& rays)
{
    PixelTrace trace{};
    Vec3 origin = view.Eye(), direction = Normalized(view.RayDirection(x, y));
    Vec3 throughput(1, 1, 1);
    const VekFace* skip = nullptr;
    if (!EnterSceneBox(origin, direction)) {
        trace.emitted = scene.skyLuminance;
        return trace;
    }

    for (int crossing = 0; crossing < kMaxCrossings; ++crossing) {
        HitInfo hit{};
        ++rays;
        if (!VekIntersection_Raytrace(origin, direction, skip, hit, kFirstHitDistance, 0)) {
            trace.emitted += Multiply(throughput, scene.skyLuminance);
            return trace;
        }
        if (hit.face->Type() != 0) {  // an area light's panel: Lambertian, L = exitance / pi
            const VekAreaLight* panel = static_cast<const VekAreaLight*>(hit.face);
            trace.emitted += Multiply(throughput, panel->energyDensity * (1.0f / 3.14159265f));
            return trace;
        }

        SurfaceLook look = LookAt(*static_cast<VekSurface*>(hit.face), hit.point);
        Vec3 reflected = Multiply(throughput, Vec3(1, 1, 1) - look.transmission);
        if (Luminance(reflected) > kNegligible && trace.layerCount < kMaxLayers) {
            // Light is gathered on the side the camera looks at.
            Vec3 normal = CG::dot(look.normal, direction) > 0.0f ? -look.normal : look.normal;
            Vec3 point = hit.point - direction * kPullBack;
            trace.layers[trace.layerCount++] = Layer{reflected, look.albedo, Receiver{point, normal, hit.face}};
        }
        throughput = Multiply(throughput, look.transmission);
        if (Luminance(throughput) < kNegligible) break;
        origin = hit.point;
        skip = hit.face;
    }
    return trace;
}

}  // namespace example
