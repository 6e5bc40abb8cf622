// environment.cpp - registration and preparation of the intersection environment.
#include "core/subsystems.h"

namespace vek {

void EndOpenEnvironment() {}

}  // namespace vek
