// obj_geometry.h - a Wavefront OBJ scene with its MTL materials made into
// the library's maps, attributes, surfaces and area lights.
#pragma once

#include <string>
#include <vector>

#include <Vek.h>

#include "scene_file.h"

namespace example {

struct AreaLightMade {
    _VekLight* record;
    Vec3 centre;
    std::string material;
};

struct LoadedGeometry {
    int faces = 0;            // polygons in the OBJ
    int skippedFaces = 0;     // degenerate ones the library made nothing of
    int surfacesBeforeMerge = 0;
    int surfacesAfterMerge = 0;
    std::vector<AreaLightMade> areaLights;  // one per emitting face
    std::vector<std::string> materials;     // names, in MTL order
    Vec3 low{0, 0, 0}, high{0, 0, 0};       // world box of every vertex used
};

// Reads description.objPath and the MTL files it names, checks them (bad
// numbers, face indices out of range, unknown materials, unreadable
// pictures: InputError with file and line), and makes the library's
// records: each material an attribute (Kd and map_Kd its colour, Tf or d its
// transparency, map_d its transparency map), each face a surface of its
// material (two-sided or a billboard as description.materials says), and
// each face of a material with an emission colour Ke an area light instead.
// Triangle pairs are merged afterwards. Degenerate faces are skipped with a
// warning on stderr naming their line.
LoadedGeometry LoadObjGeometry(const SceneDescription& description);

}  // namespace example
