// scene.cpp - the default scene in the order the library wants it: maps
// and attributes first, then the surfaces that name them, the merge of
// triangle pairs, and the lights.
#include "scene.h"

#include <algorithm>

#include "materials.h"
#include "room.h"
#include "room_layout.h"
#include "scene_lights.h"

namespace example {

Scene BuildDefaultScene(const std::string& iesPath)
{
    Scene scene;
    scene.iesPath = iesPath;

    CreateMaterials();
    RoomCounts room = BuildRoom();
    scene.bezierTriangles = room.bezierTriangles;

    // Coplanar triangle pairs (the floor tiles) become quadrilaterals: fewer
    // faces for every ray to test.
    scene.surfacesBeforeMerge = VekSurface_GetCount();
    VekSurface_SimpleMergeAll();
    scene.surfacesAfterMerge = VekSurface_GetCount();

    scene.lights = CreateLights(iesPath);
    scene.occluderCacheRows = 0;
    for (const SceneLight& light : scene.lights)
        scene.occluderCacheRows = std::max(scene.occluderCacheRows, light.cacheRow + light.cacheRows);

    scene.camera = Camera{layout::CameraEye(), layout::CameraTarget(), Vec3(0, 0, 1), 78.0f};
    scene.floor = FloorArea{0.0f, 0.0f, layout::kRoomX, layout::kRoomY};
    scene.outsideLuminance = UnitLuminance(Vec3(0.80f, 0.92f, 1.15f)) * 2500.0f;
    return scene;
}

}  // namespace example
