// scene.h - the example's default scene as the renderer sees it: the
// camera, the lights with the bookkeeping their shadow passes need, and the
// floor area whose illuminance is mapped. The geometry itself lives in the
// library's lists; nothing here duplicates it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <Vek.h>

#include "vector_math.h"

namespace example {

struct Camera {
    Vec3 eye;
    Vec3 target;
    Vec3 up;
    float horizontalFovDegrees;
};

// One light of the scene.
struct SceneLight {
    std::string label;      // for progress lines and the summary
    _VekLight* record;      // the library's record (its type selects the block)
    int cacheRow;           // first occluder-cache row its shadow rays use
    int cacheRows;          // rows it uses: one, or one per sky direction
    // Where the shadow copies of billboards turn before this light's shadow
    // pass: toward a point, or along a direction (the sky).
    bool turnTowardPoint;
    Vec3 turnTarget;
};

// The rectangle of the floor (z = 0) whose illuminance is mapped.
struct FloorArea {
    float xMin, yMin, xMax, yMax;
};

struct Scene {
    Camera camera;
    std::vector<SceneLight> lights;  // in the order of their shadow passes
    FloorArea floor;
    Vec3 outsideLuminance;           // cd/m2 seen through the window where no face is hit
    int occluderCacheRows;           // rows of all lights together
    int surfacesBeforeMerge;
    int surfacesAfterMerge;
    int bezierTriangles;
    std::string iesPath;
};

// Thrown for a scene that cannot be built for a reason of the host's (the
// library throws _VekException for its own).
class SceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds the furnished room through the library: maps and attributes,
// surfaces (merged where triangle pairs allow), the Bezier chair and the
// four lights, the downlight read from iesPath.
Scene BuildDefaultScene(const std::string& iesPath);

}  // namespace example
