// scene_lights.cpp - the lights and their units.
//
// The library stores energies as the host gives them; this example gives
// them photometric meaning, with the colour's luminance set to 1 so that
// the number is the photometric quantity: the downlight's candela come from
// its IES file (times the file's candela multiplier), the spot light's
// energy is its intensity on the axis (cd), the area light's energy is its
// flux (lm) leaving a Lambertian panel, and each sky direction's energy is
// the illuminance (lx) it gives a surface facing it.
#include "scene_lights.h"

#include <algorithm>

#include "room_layout.h"

namespace example {
namespace {

using namespace layout;

// The light record that has index (the lights without an Internal
// creation call return only their index).
_VekLight* FindLight(int32_t type, int32_t index)
{
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next)
        if (light->type == type && light->index == index) return light;
    return nullptr;
}

SceneLight PointLike(const std::string& label, _VekLight* record, const Vec3& position)
{
    return SceneLight{label, record, record->index, 1, true, position};
}

SceneLight CreateDownlight(const std::string& iesPath)
{
    // Warm white. The photometric frame's vertical angle 0 (its +z) points
    // down: the orientation turns world directions by 180 degrees about x.
    Vec3 colour = UnitLuminance(Vec3(1.0f, 0.86f, 0.68f));
    float energy[3] = {colour.x, colour.y, colour.z};
    Vec3 at = DownlightPosition();
    float position[3] = {at.x, at.y, at.z};
    float orientation[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    _VekLight* record = VekLight_InstanciateGeneralLightWithFileInternal(energy, position, iesPath.c_str(), orientation);
    if (!record)
        throw SceneError("the library could not read '" + iesPath +
                         "' as an IES LM-63-1991 file: it must start with the line IESNA91 and hold "
                         "well-formed photometric data");
    return PointLike("IES downlight", record, at);
}

SceneLight CreateSpotLight()
{
    Vec3 colour = UnitLuminance(Vec3(1.0f, 0.95f, 0.88f)) * 5000.0f;  // 5000 cd on the axis
    float energy[3] = {colour.x, colour.y, colour.z};
    Vec3 at = SpotPosition(), axis = SpotTarget() - at;
    float position[3] = {at.x, at.y, at.z};
    float direction[3] = {axis.x, axis.y, axis.z};
    _VekLight* record = VekLight_InstanciateSpotLightInternal(energy, position, direction, 30.0f, 20.0f, 0.0f, 20.0f);
    return PointLike("spot light", record, at);
}

SceneLight CreateAreaLight()
{
    Vec3 colour = UnitLuminance(Vec3(0.92f, 0.97f, 1.0f)) * 3000.0f;  // 3000 lm, cool white
    float energy[3] = {colour.x, colour.y, colour.z};
    Vec3 corners[4];
    AreaLightCorners(corners);
    float points[4][3];
    Vec3 centre(0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        for (int axis = 0; axis < 3; ++axis) points[i][axis] = corners[i][axis];
        centre += corners[i] * 0.25f;
    }
    int32_t index = VekLight_InstanciateAreaLight(energy, 4, &points[0][0], 1);
    _VekLight* record = FindLight(VEK_LIGHT_AREA, index);
    if (!record) throw SceneError("the area light made no record in the light list");
    return PointLike("area light", record, centre);
}

SceneLight CreateSkyLight(int firstRow)
{
    // A dull overcast sky, slightly blue. The library doubles the energy and
    // shares it among its 271 directions (10 rings of up to 40); about
    // 3000 lx reach an unobstructed horizontal plane.
    Vec3 colour = UnitLuminance(Vec3(0.85f, 0.95f, 1.15f)) * 3300.0f;
    float energy[3] = {colour.x, colour.y, colour.z};
    VekLight_InstanciateSkyLight(energy, 10, 40);
    _VekLight* record = nullptr;
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next)
        if (light->type == VEK_LIGHT_SKY) record = light;  // the last one made
    if (!record) throw SceneError("the sky light made no record in the light list");
    const _VekSkyLight* sky = static_cast<const _VekSkyLight*>(record->parameters);
    // The sky reaches the room through the window only: its shadow pass
    // turns billboards toward the window.
    return SceneLight{"sky light", record, firstRow, sky->directionCount, false, Vec3(1.0f, 0.0f, 0.0f)};
}

}  // namespace

std::vector<SceneLight> CreateLights(const std::string& iesPath)
{
    std::vector<SceneLight> lights;
    lights.push_back(CreateDownlight(iesPath));
    lights.push_back(CreateSpotLight());
    lights.push_back(CreateAreaLight());
    // Point-like lights use their index as their cache row; the sky's rows follow.
    int nextRow = 0;
    for (const SceneLight& light : lights) nextRow = std::max(nextRow, light.cacheRow + 1);
    lights.push_back(CreateSkyLight(nextRow));
    return lights;
}

}  // namespace example
