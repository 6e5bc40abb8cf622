// light.cpp - light creation of every kind and the light index.
#include "core/subsystems.h"

namespace vek {

void ResetLightIndex() {}
void ReleaseLightData() {}

}  // namespace vek
