// instanciate.h - surface instanciation for the scene's own callers (Bezier
// patches), handing back the record itself instead of its slot number.
#pragma once

class VekSurface;

namespace vek {

// VekSurface_Instanciate / VekSurface_InstanciateDouble without the slot
// lookup: the (front) surface made, or null when none was made from this
// call (bad shape, or a non-planar quadrilateral split into two triangles).
// Reports under "VekSurface_Instanciate", as the exported calls do.
VekSurface* InstanciateSurface(long count, const float* positions, const float* normals, const float* mapCoords,
                               bool doubleSided);

}  // namespace vek
