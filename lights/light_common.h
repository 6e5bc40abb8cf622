// light_common.h - what every kind of light shares: the current light
// index, the energy floor, the common start of a creation and the checks of
// the pointers a host passes.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "VekLight.h"

namespace vek {

// No energy component is stored below this.
constexpr float kEnergyFloor = 1e-6f;

// out = in per component, raised to kEnergyFloor (a NaN component too).
void FloorEnergy(const float* in, CG::vec3<float>& out);

// The common start: a record with a parameter block of the kind, its type,
// and the next value of the current light index.
_VekLight* StartLight(int32_t type);

// The exported forms answer the record's index, -1 when none was made.
inline int32_t IndexOf(const _VekLight* light) { return light ? light->index : -1; }

// The host's three-float arguments: false (and VEK_WARNING_INVALID_VALUE
// under functionName) when one of them is null; nothing is made then.
bool HasVectors(const char* functionName, std::initializer_list<const float*> vectors);

// Sky lights whose direction arrays this library allocated; End frees
// exactly those (a block a host took with VekMemory_AllocateLight and never
// filled holds no arrays of ours).
void RegisterSkyArrays(_VekSkyLight* sky);

}  // namespace vek
