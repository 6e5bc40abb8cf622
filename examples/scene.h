// scene.h - the scene as the calculation sees it: camera, the lights with
// the bookkeeping their shadow passes need, the calculation grids and the
// interreflection settings. The geometry itself lives in the library's
// lists; nothing here duplicates it.
#pragma once

#include <string>
#include <vector>

#include <Vek.h>

#include "obj_geometry.h"
#include "scene_file.h"

namespace example {

struct Camera {
    Vec3 eye;
    Vec3 target;
    Vec3 up;
    float horizontalFovDegrees;
};

// One light of the scene.
struct SceneLight {
    std::string label;      // for progress lines, plots and the summary
    _VekLight* record;      // the library's record (its type selects the block)
    float multiplier;       // on its energy: a luminaire's candela multipliers, the sky's scale to its illuminance
    int cacheRow;           // first occluder-cache row its shadow rays use
    int cacheRows;          // rows it uses: one, or one per sky direction
    // Where the shadow copies of billboards turn before this light's shadow
    // pass: toward a point, or along a direction (the sky).
    bool turnTowardPoint;
    Vec3 turnTarget;
};

struct Scene {
    Camera camera;
    std::vector<SceneLight> lights;  // in the order of their shadow passes
    Vec3 skyLuminance{0, 0, 0};      // cd/m2 seen where a camera ray leaves the scene
    int occluderCacheRows = 0;       // rows of all lights together
    LoadedGeometry geometry;
    float floorHeight = 0.0f;        // the scene's lowest point: grids' heights count from it
    std::vector<GridDesc> grids;
    IndirectDesc indirect;
};

// Builds the described scene through the library: the OBJ's materials,
// surfaces and area lights, then the luminaires and the sky. Fills in a
// camera and a work-plane grid when the description has none. Throws
// InputError for files that cannot be used.
Scene BuildScene(const SceneDescription& description);

// Defaults for a scene file that gives no grid: a work plane this high
// over the scene's plan box, less a border band of at most this width
// (less on a small scene, so that half of each side remains).
constexpr float kDefaultWorkPlaneHeight = 0.75f;  // metres: a desk
constexpr float kDefaultBorder = 0.5f;            // metres: the band along walls

}  // namespace example
