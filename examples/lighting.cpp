// lighting.cpp - direct illuminance from each kind of light.
//
// Photometric luminaires give E = I(direction) cos(incidence) / d^2, times
// the transmission along the segment to the light. An area light is
// integrated over stratified jittered points of its panel:
// E = sum of L cos(incidence) cos(emission) / d^2 * (area / samples), with
// L = exitance / pi for a Lambertian panel. The sky sums its directions
// above the receiver's tangent plane, each weighted by the cosine and by its
// transmission along the half-line.
#include "lighting.h"

#include <algorithm>
#include <cmath>

namespace example {
namespace {

constexpr float kPi = 3.14159265f;

// Light arriving from a point at toLight (receiver to light) with
// intensity-weighted colour: the cosine law and the inverse square, then
// the transmission search. row selects the occluder-cache row.
Vec3 FromPoint(const Receiver& receiver, const Vec3& toLight, const Vec3& intensity, const VekFace* lightFace,
               int row, uint64_t& rays)
{
    float distanceSquared = CG::dot(toLight, toLight);
    float cosine = CG::dot(receiver.normal, toLight) / std::sqrt(distanceSquared);
    if (cosine <= 0.0f || Luminance(intensity) <= 0.0f) return Vec3(0, 0, 0);
    ++rays;
    Vec3 transmission = VekIntersection_Search(receiver.point, toLight, receiver.face, lightFace, row);
    return Multiply(intensity, transmission) * (cosine / distanceSquared);
}

Vec3 GatherGeneral(const SceneLight& light, const Receiver& receiver, uint64_t& rays)
{
    _VekGeneralLight* block = static_cast<_VekGeneralLight*>(light.record->parameters);
    Vec3 toLight = block->position - receiver.point;
    Vec3 outward = Normalized(-toLight);  // the direction the light leaves in
    float direction[3] = {outward.x, outward.y, outward.z};
    // The distribution's candela times the multipliers; the energy is the colour.
    float candela = VekLight_GetGeneralLightEnergy(block, direction) * light.multiplier;
    return FromPoint(receiver, toLight, block->energy * candela, nullptr, light.cacheRow, rays);
}

// A point of the panel: bilinear over a quadrilateral, or the triangle's
// folded square for three corners.
Vec3 PanelPoint(const VekAreaLight& panel, float s, float t)
{
    const Vec3* v = panel.vertex;
    if (panel.vertexCount == 4) return (v[0] * (1 - s) + v[1] * s) * (1 - t) + (v[3] * (1 - s) + v[2] * s) * t;
    if (s + t > 1.0f) s = 1.0f - s, t = 1.0f - t;
    return v[0] + (v[1] - v[0]) * s + (v[2] - v[0]) * t;
}

Vec3 GatherArea(const SceneLight& light, const Receiver& receiver, int perSide, Random& random, uint64_t& rays)
{
    const VekAreaLight& panel = *static_cast<const VekAreaLight*>(light.record->parameters);
    const int samples = perSide * perSide;
    Vec3 radiance = panel.energyDensity * (light.multiplier / kPi);
    Vec3 sum(0, 0, 0);
    for (int i = 0; i < samples; ++i) {
        float s = (i % perSide + random.Uniform()) / perSide;
        float t = (i / perSide + random.Uniform()) / perSide;
        Vec3 toLight = PanelPoint(panel, s, t) - receiver.point;
        float emission = -CG::dot(panel.normal, toLight) / Length(toLight);
        if (emission <= 0.0f) continue;  // behind the panel
        sum += FromPoint(receiver, toLight, radiance * emission, &panel, light.cacheRow, rays);
    }
    return sum * (panel.area / samples);
}

Vec3 GatherSky(const SceneLight& light, const Receiver& receiver, const DirectSampling& sampling, Random& random,
               int thread, uint64_t& rays)
{
    const _VekSkyLight* sky = static_cast<const _VekSkyLight*>(light.record->parameters);
    Vec3 sum(0, 0, 0);
    const int stride = std::max(sampling.skyStride, 1);
    int first = sampling.skyFirst >= 0 ? sampling.skyFirst % stride
                                       : static_cast<int>(random.Next() % static_cast<uint32_t>(stride));
    for (int i = first; i < sky->directionCount; i += stride) {
        const Vec3& direction = sky->directions[i];
        float cosine = CG::dot(receiver.normal, direction);
        if (cosine <= 0.0f) continue;
        // One cache row per direction: the occluder that blocked this
        // direction for the previous receiver is tried first.
        ++rays;
        Vec3 transmission = VekIntersection_SearchDirectionForSkyLight(receiver.point, direction, receiver.face,
                                                                       light.cacheRow + i, thread);
        sum += Multiply(sky->directionEnergies[i], transmission) * cosine;
    }
    return sum * (light.multiplier * stride);
}

}  // namespace

Vec3 GatherLight(const SceneLight& light, const Receiver& receiver, const DirectSampling& sampling, Random& random,
                 int thread, uint64_t& rays)
{
    switch (light.record->type) {
    case VEK_LIGHT_GENERAL: return GatherGeneral(light, receiver, rays);
    case VEK_LIGHT_AREA: return GatherArea(light, receiver, sampling.panelSamplesPerSide, random, rays);
    case VEK_LIGHT_SKY: return GatherSky(light, receiver, sampling, random, thread, rays);
    default: return Vec3(0, 0, 0);  // the scene makes no other kind
    }
}

}  // namespace example
