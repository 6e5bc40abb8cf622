// light.cpp - the lights' state (the current light index), the common start
// of every creation, the point, spot, linear, directional and shade
// directional lights, and the release of everything lights own at End.
//
// Every creation checks its values with the library's range checks, corrects
// inconsistent pairs with VEK_WARNING_INVALID_VALUE and never stops for
// them; only a shape that cannot light anything (a linear light shorter
// than 1e-6) creates nothing.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "VekMemory.h"
#include "VekTool.h"
#include "core/report.h"
#include "core/subsystems.h"
#include "lights/distribution.h"
#include "lights/light_common.h"

namespace vek {
namespace {

// The lights' state: reset by Initialize, read and written by creations.
struct LightState {
    int32_t currentIndex = 0;                 // the index the last light took
    std::vector<_VekSkyLight*> skyBlocks;     // sky lights with arrays of ours
};

LightState g_lights;

// Degrees to radians with the single-precision value of pi, in double.
constexpr double kRadiansPerDegree = 3.1415927410125732 / 180.0;
constexpr double kLn2 = 0.69314718055994530942;
constexpr float kMinLength = 1e-6f;

// rangeMin and rangeMax of point and spot lights: both at least 0, and a
// pair given the wrong way round keeps the lower bound for both.
void StoreRange(float rangeMin, float rangeMax, float& storedMin, float& storedMax, const char* name)
{
    storedMin = rangeMin;
    CheckFloor(&storedMin, 1, 0.0f, name);
    storedMax = rangeMax;
    CheckFloor(&storedMax, 1, 0.0f, name);
    if (rangeMax - rangeMin < 0.0f) {
        storedMax = storedMin;
        Warn(VEK_WARNING_INVALID_VALUE, name);
    }
}

CG::vec3<float> UnitVector(const float* v)
{
    CG::vec3<float> u(v[0], v[1], v[2]);
    VekTool_Normalize(&u.x, &u.x);
    return u;
}

CG::vec3<float> Vector(const float* v) { return CG::vec3<float>(v[0], v[1], v[2]); }


}  // namespace

void ResetLightIndex()
{
    g_lights.currentIndex = 0;
    // Records of an earlier scene are forgotten with their lists.
    g_lights.skyBlocks.clear();
}

void FloorEnergy(const float* in, CG::vec3<float>& out)
{
    for (int k = 0; k < 3; ++k) out[k] = in[k] > kEnergyFloor ? in[k] : kEnergyFloor;
    // Every component is now above 0, so the range check that follows for
    // the other values could never fire; it is left out.
}

_VekLight* StartLight(int32_t type)
{
    _VekLight* light = VekMemory_AllocateLight(type);
    light->type = type;
    // The index wraps past the largest 32-bit value instead of overflowing.
    g_lights.currentIndex = static_cast<int32_t>(static_cast<uint32_t>(g_lights.currentIndex) + 1u);
    light->index = g_lights.currentIndex;
    return light;
}

bool HasVectors(const char* functionName, std::initializer_list<const float*> vectors)
{
    for (const float* v : vectors) {
        if (!v) {
            Warn(VEK_WARNING_INVALID_VALUE, functionName);
            return false;
        }
    }
    return true;
}

void RegisterSkyArrays(_VekSkyLight* sky) { g_lights.skyBlocks.push_back(sky); }

void ReleaseLightData()
{
    // 1. The sky lights' direction arrays.
    for (_VekSkyLight* sky : g_lights.skyBlocks) {
        std::free(sky->directions);
        std::free(sky->directionEnergies);
        sky->directions = sky->directionEnergies = nullptr;
    }
    g_lights.skyBlocks.clear();
    g_lights.skyBlocks.shrink_to_fit();
    // 2. Every light's parameter block: the pools release only the records.
    // (An area light's face has nothing to destroy: its destructor is empty.)
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next) {
        std::free(light->parameters);
        light->parameters = nullptr;
    }
    // 3. The distributions' arrays.
    ReleaseDistributions();
}

}  // namespace vek

using vek::HasVectors;
using vek::StartLight;

void VekLight_SetCurrentLightIndex(int32_t index) { vek::g_lights.currentIndex = index; }

_VekLight* VekLight_InstanciatePointLightInternal(float* energy, float* position, float rangeMin, float rangeMax)
{
    const char* kName = "VekLight_InstanciatePointLight";
    if (!HasVectors(kName, {energy, position})) return nullptr;
    _VekLight* light = StartLight(VEK_LIGHT_POINT);
    auto& p = *static_cast<_VekPointLight*>(light->parameters);
    vek::FloorEnergy(energy, p.energy);
    p.position = vek::Vector(position);
    vek::StoreRange(rangeMin, rangeMax, p.rangeMin, p.rangeMax, kName);
    return light;
}

int32_t VekLight_InstanciatePointLight(float* energy, float* position, float rangeMin, float rangeMax)
{
    return vek::IndexOf(VekLight_InstanciatePointLightInternal(energy, position, rangeMin, rangeMax));
}

_VekLight* VekLight_InstanciateSpotLightInternal(float* energy, float* position, float* direction,
                                                 float cutoffAngle, float halfIntensityAngle, float rangeMin,
                                                 float rangeMax)
{
    const char* kName = "VekLight_InstanciateSpotLight";
    if (!HasVectors(kName, {energy, position, direction})) return nullptr;
    _VekLight* light = StartLight(VEK_LIGHT_SPOT);
    auto& s = *static_cast<_VekSpotLight*>(light->parameters);
    vek::FloorEnergy(energy, s.energy);

    // 1. Position and unit axis.
    s.position = vek::Vector(position);
    s.direction = vek::UnitVector(direction);

    // 2.-3. Angles at least 0, the cone at least as wide as the half-intensity angle.
    s.cutoffAngle = cutoffAngle;
    vek::CheckFloor(&s.cutoffAngle, 1, 0.0f, kName);
    s.halfIntensityAngle = halfIntensityAngle;
    vek::CheckFloor(&s.halfIntensityAngle, 1, 0.0f, kName);
    if (cutoffAngle < halfIntensityAngle) {
        s.cutoffAngle = s.halfIntensityAngle;
        vek::Warn(VEK_WARNING_INVALID_VALUE, kName);
    }

    // 4. Cosines of the angles as stored, so that they always agree with them.
    const double cosHalf = std::cos(s.halfIntensityAngle * vek::kRadiansPerDegree);
    s.cosCutoff = static_cast<float>(std::cos(s.cutoffAngle * vek::kRadiansPerDegree));
    s.cosHalfIntensity = static_cast<float>(cosHalf);

    // 5. cos(half)^e = 1/2. A half-intensity angle of 0 (a beam with no
    // width) takes the largest float, and one of 90 degrees or more the
    // limit 0 (an even spread): both are reported as invalid values.
    if (!(cosHalf < 1.0)) {
        s.falloffExponent = FLT_MAX;
        vek::Warn(VEK_WARNING_INVALID_VALUE, kName);
    } else if (!(cosHalf > 0.0)) {
        s.falloffExponent = 0.0f;
        vek::Warn(VEK_WARNING_INVALID_VALUE, kName);
    } else {
        s.falloffExponent = static_cast<float>(-(vek::kLn2 / std::log(cosHalf)));
    }

    // 6. Range.
    vek::StoreRange(rangeMin, rangeMax, s.rangeMin, s.rangeMax, kName);
    return light;
}

int32_t VekLight_InstanciateSpotLight(float* energy, float* position, float* direction, float cutoffAngle,
                                      float halfIntensityAngle, float rangeMin, float rangeMax)
{
    return vek::IndexOf(VekLight_InstanciateSpotLightInternal(energy, position, direction, cutoffAngle,
                                                              halfIntensityAngle, rangeMin, rangeMax));
}

int32_t VekLight_InstanciateLinearLight(float* energy, float* start, float* end, int32_t visible)
{
    const char* kName = "VekLight_InstanciateLinearLight";
    if (!HasVectors(kName, {energy, start, end})) return -1;
    // 1.-2. A segment shorter than 1e-6, or one with a corner that is not a
    // finite point, is no light.
    const float dx = end[0] - start[0], dy = end[1] - start[1], dz = end[2] - start[2];
    const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(length >= vek::kMinLength) || !std::isfinite(length)) {
        vek::Warn(VEK_WARNING_BAD_SHAPE, kName);
        return -1;
    }
    // 3. The light.
    _VekLight* light = StartLight(VEK_LIGHT_LINEAR);
    auto& l = *static_cast<_VekLinearLight*>(light->parameters);
    vek::FloorEnergy(energy, l.energy);
    l.start = vek::Vector(start);
    l.end = vek::Vector(end);
    l.length = length;
    l.visible = visible;
    return light->index;
}

_VekLight* VekLight_InstanciateDirectionalLightInternal(float* energy, float* direction)
{
    if (!HasVectors("VekLight_InstanciateDirectionalLight", {energy, direction})) return nullptr;
    _VekLight* light = StartLight(VEK_LIGHT_DIRECTIONAL);
    auto& d = *static_cast<_VekDirectionalLight*>(light->parameters);
    vek::FloorEnergy(energy, d.energy);
    d.direction = vek::UnitVector(direction);
    return light;
}

int32_t VekLight_InstanciateDirectionalLight(float* energy, float* direction)
{
    return vek::IndexOf(VekLight_InstanciateDirectionalLightInternal(energy, direction));
}

_VekLight* VekLight_InstanciateShadeDirectionalLightInternal(float* energy, float* direction, float* shadeVector,
                                                             int32_t shadeChecked, float shadeSize,
                                                             float shadeRatio)
{
    const char* kName = "VekLight_InstanciateShadeDirectionalLight";
    if (!HasVectors(kName, {energy, direction, shadeVector})) return nullptr;
    // 1. Energy, unit direction, the shade vector as given.
    _VekLight* light = StartLight(VEK_LIGHT_SHADE_DIRECTIONAL);
    auto& s = *static_cast<_VekShadeDirectionalLight*>(light->parameters);
    vek::FloorEnergy(energy, s.energy);
    s.direction = vek::UnitVector(direction);
    s.shadeVector = vek::Vector(shadeVector);
    s.shadeChecked = shadeChecked;
    // 2.-3. Range checks only when the host asks for them.
    s.shadeSize = shadeSize;
    if (shadeChecked) vek::CheckFloor(&s.shadeSize, 1, 0.0f, kName);
    s.shadeRatio = shadeRatio;
    if (shadeChecked) vek::CheckFloorCeil(&s.shadeRatio, 1, 0.0f, 1.0f, kName);
    // 4. Never below 1e-6 (silently).
    s.shadeSize = std::max(s.shadeSize, vek::kMinLength);
    s.shadeRatio = std::max(s.shadeRatio, vek::kMinLength);
    return light;
}

int32_t VekLight_InstanciateShadeDirectionalLight(float* energy, float* direction, float* shadeVector,
                                                  int32_t shadeChecked, float shadeSize, float shadeRatio)
{
    return vek::IndexOf(VekLight_InstanciateShadeDirectionalLightInternal(energy, direction, shadeVector,
                                                                          shadeChecked, shadeSize, shadeRatio));
}
