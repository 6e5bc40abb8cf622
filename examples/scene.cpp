// scene.cpp - the scene in the order the library wants it: the OBJ's maps,
// attributes, surfaces and area lights first, then the luminaires and the
// sky, then the occluder-cache rows of every light.
#include "scene.h"

#include <algorithm>
#include <cmath>

#include "ies_luminaire.h"
#include "input_error.h"

namespace example {
namespace {

constexpr float kPi = 3.14159265f;
// The sky's resolution: rings from the horizon to the zenith and
// directions on the horizon ring (the library's defaults): 271 directions.
constexpr int kSkyElevationSteps = 10;
constexpr int kSkyAzimuthSteps = 40;

SceneLight MakeLuminaire(const LuminaireDesc& desc)
{
    float orientation[16];
    PhotometricOrientation(desc.aim, desc.turn, orientation);
    std::string why;
    _VekLight* record = MakeIesLight(desc.colour, desc.position, desc.iesPath, orientation, why);
    if (!record) throw InputError(desc.where, 0, "luminaire \"" + desc.name + "\": '" + desc.iesPath + "': " + why);
    const _VekGeneralLight* block = static_cast<const _VekGeneralLight*>(record->parameters);
    return SceneLight{desc.name, record, desc.multiplier * block->data->candelaMultiplier, record->index, 1, true,
                      desc.position};
}

// The library's sky shares twice the given energy among its directions,
// each direction's energy being the illuminance it gives a surface facing
// it; the light's multiplier scales them so that they add up to the asked
// illuminance on an unobstructed horizontal plane.
SceneLight MakeSky(const SkyDesc& desc, int firstRow, Vec3& luminance)
{
    float unit[3] = {desc.colour.x, desc.colour.y, desc.colour.z};
    VekLight_InstanciateSkyLight(unit, kSkyElevationSteps, kSkyAzimuthSteps);
    _VekLight* record = nullptr;
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next)
        if (light->type == VEK_LIGHT_SKY) record = light;  // the last one made
    _VekSkyLight* sky = static_cast<_VekSkyLight*>(record->parameters);
    float horizontal = 0.0f;
    for (int i = 0; i < sky->directionCount; ++i)
        horizontal += Luminance(sky->directionEnergies[i]) * std::max(sky->directions[i].z, 0.0f);
    float scale = horizontal > 0.0f ? desc.illuminance / horizontal : 0.0f;
    // A uniform sky of luminance L gives pi L on a horizontal plane.
    luminance = desc.colour * (desc.illuminance / kPi);
    return SceneLight{"sky", record, scale, firstRow, sky->directionCount, false, desc.windowOutward};
}

// Seen from the file's front (+z of a y-up file, -y of the world), the
// scene's box framed by the field of view.
Camera DefaultCamera(const LoadedGeometry& g)
{
    const float fov = 60.0f;
    Vec3 centre = (g.low + g.high) * 0.5f;
    Vec3 size = g.high - g.low;
    float halfWidth = 0.5f * std::max(size.x, size.z);
    float distance = halfWidth / std::tan(fov * 0.5f * kPi / 180.0f);
    Vec3 eye(centre.x, g.low.y - distance, centre.z);
    return Camera{eye, centre, Vec3(0, 0, 1), fov};
}

GridDesc DefaultGrid(const LoadedGeometry& g)
{
    GridDesc grid;
    grid.name = "work plane";
    grid.kind = GridKind::Horizontal;
    grid.height = std::min(kDefaultWorkPlaneHeight, 0.5f * (g.high.z - g.low.z));
    grid.border = std::min(kDefaultBorder, 0.25f * std::min(g.high.x - g.low.x, g.high.y - g.low.y));
    return grid;
}

}  // namespace

Scene BuildScene(const SceneDescription& description)
{
    Scene scene;
    scene.geometry = LoadObjGeometry(description);
    scene.floorHeight = scene.geometry.low.z;

    // Area lights and luminaires use their light index as their cache row;
    // the sky's rows follow.
    for (const AreaLightMade& panel : scene.geometry.areaLights)
        scene.lights.push_back(SceneLight{panel.material, panel.record, 1.0f, panel.record->index, 1, true, panel.centre});
    for (const LuminaireDesc& luminaire : description.luminaires) scene.lights.push_back(MakeLuminaire(luminaire));
    int nextRow = 0;
    for (const SceneLight& light : scene.lights) nextRow = std::max(nextRow, light.cacheRow + 1);
    if (description.sky.present && description.sky.illuminance > 0.0f)
        scene.lights.push_back(MakeSky(description.sky, nextRow, scene.skyLuminance));
    for (const SceneLight& light : scene.lights)
        scene.occluderCacheRows = std::max(scene.occluderCacheRows, light.cacheRow + light.cacheRows);

    scene.camera = description.camera.present ? Camera{description.camera.eye, description.camera.target, Vec3(0, 0, 1),
                                                       description.camera.fovDegrees}
                                              : DefaultCamera(scene.geometry);
    scene.grids = description.grids.empty() ? std::vector<GridDesc>{DefaultGrid(scene.geometry)} : description.grids;
    scene.indirect = description.indirect;
    return scene;
}

}  // namespace example
