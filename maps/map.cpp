// map.cpp - map records, the current filter state, image binding.
#include "core/subsystems.h"

namespace vek {

void ResetMapFilterState() {}
void ReleaseDisplayImages() {}
void ReleaseMapImages() {}

}  // namespace vek
