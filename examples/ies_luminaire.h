// ies_luminaire.h - a luminaire made from an IES photometric file.
#pragma once

#include <string>

#include <Vek.h>

#include "vector_math.h"

namespace example {

// The photometric frame of a luminaire at position whose 0 degree vertical
// angle points along aim (unit), with its C0 plane turned by turnDegrees
// about aim from the world's x axis (y when aim is along x), as the
// library's orientation matrix (world to photometric frame, OpenGL order).
void PhotometricOrientation(const Vec3& aim, float turnDegrees, float matrix[16]);

// Makes a general light from the IES file at path (any edition: 1986,
// 1991, 1995, 2002, 2019): energy is its colour, position and orientation
// as above. Null, with the library's account of the cause in why (edition,
// line and what was expected there), when it cannot read the file. The one
// place that names the library's IES reading call.
_VekLight* MakeIesLight(const Vec3& energy, const Vec3& position, const std::string& path, const float orientation[16],
                        std::string& why);

}  // namespace example
