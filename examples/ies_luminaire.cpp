// ies_luminaire.cpp - orientation and the library's IES reading call.
#include "ies_luminaire.h"

#include <cmath>

namespace example {

void PhotometricOrientation(const Vec3& aim, float turnDegrees, float m[16])
{
    // The C0 direction: world x (or y) made square to the aim, then turned
    // about the aim; C90 completes the right-handed frame (C0, C90, aim).
    Vec3 reference = std::fabs(aim.x) > 0.9f ? Vec3(0, 1, 0) : Vec3(1, 0, 0);
    Vec3 c0 = Normalized(reference - aim * CG::dot(reference, aim));
    Vec3 c90 = CG::cross(aim, c0);
    float turn = turnDegrees * 3.14159265f / 180.0f;
    Vec3 x = c0 * std::cos(turn) + c90 * std::sin(turn);
    Vec3 y = CG::cross(aim, x);
    // Rows x, y, aim: the element of row r and column c is at 4c + r.
    const Vec3 rows[3] = {x, y, aim};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[4 * c + r] = rows[r][c];
    m[3] = m[7] = m[11] = m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

_VekLight* MakeIesLight(const Vec3& energy, const Vec3& position, const std::string& path, const float orientation[16],
                        std::string& why)
{
    float e[3] = {energy.x, energy.y, energy.z}, p[3] = {position.x, position.y, position.z}, o[16];
    for (int i = 0; i < 16; ++i) o[i] = orientation[i];
    int32_t index = VekLight_InstanciateGeneralLightWithIesFile(e, p, path.c_str(), o);
    if (index < 0) {
        why = VekLight_GetIesReadMessage();
        if (why.empty()) why = "the library could not read it as an IES file";
        return nullptr;
    }
    for (_VekLight* light = VekMemory_GetLightList(); light; light = light->next)
        if (light->type == VEK_LIGHT_GENERAL && light->index == index) return light;
    why = "the library made no light record for it";
    return nullptr;
}

}  // namespace example
