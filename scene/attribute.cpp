// attribute.cpp - the current attribute state, its setters, and attribute
// instanciation with the map lookups by name.
#include "scene/attribute.h"

#include <cstring>

#include "VekAttribute.h"
#include "VekMap.h"
#include "VekMemory.h"
#include "core/report.h"
#include "core/subsystems.h"

namespace vek {
namespace {

// Smallest diffuse component: a fully black diffuse colour would divide by
// zero in hosts that normalise by it.
constexpr float kMinDiffuse = 1e-10f;

// The current attribute state: setters fill it, Instanciate copies it.
struct AttributeState {
    CG::vec3<float> diffuse;
    CG::vec3<float> specular;
    CG::vec3<float> emission;
    float reflectivity;
    float shineness;
    CG::vec3<float> transparency;
    float refractionIndex;
    uint32_t mapFlags;
    char map1Name[64];
    char map2Name[64];
    int32_t map1Invert, map1BlendMode;
    float map1BlendRatio;
    int32_t map2Invert, map2BlendMode;
    float map2BlendRatio;
};

AttributeState g_attribute;

// Setters take the host's three floats; a null pointer changes nothing.
bool SetColour(CG::vec3<float>& field, const float* rgb, const char* name)
{
    if (!rgb) {
        Warn(VEK_WARNING_INVALID_VALUE, name);
        return false;
    }
    field = CG::vec3<float>(rgb[0], rgb[1], rgb[2]);
    return true;
}

}  // namespace

void ResetAttributeState()
{
    AttributeState& a = g_attribute;
    a.diffuse = CG::vec3<float>(1, 1, 1);
    a.specular = CG::vec3<float>(0, 0, 0);
    a.emission = CG::vec3<float>(0, 0, 0);
    a.reflectivity = 0;
    a.shineness = 1;
    a.transparency = CG::vec3<float>(0, 0, 0);
    a.refractionIndex = 1;
    a.mapFlags = 0;
    a.map1Name[0] = a.map2Name[0] = '\0';
    a.map1Invert = a.map1BlendMode = a.map2Invert = a.map2BlendMode = 0;
    a.map1BlendRatio = a.map2BlendRatio = 0;
}

// Names are stored cut to their field (63 characters), so a lookup compares
// no more than that: a long name finds the record that was made with it.
// A null name is looked up as "", as it is stored.
template <class Record>
Record* FindByName(Record* head, const char* name)
{
    if (!name) name = "";
    for (Record* r = head; r; r = r->next)
        if (std::strncmp(r->name, name, sizeof r->name - 1) == 0) return r;
    return nullptr;
}

VekAttribute* FindAttribute(const char* name) { return FindByName(VekMemory_GetAttributeList(), name); }
_VekMap* FindMap(const char* name) { return FindByName(VekMemory_GetMapList(), name); }

}  // namespace vek

using vek::g_attribute;

void VekAttribute_SetDiffuse(float* rgb)
{
    const char* name = "VekAttribute_SetDiffuse";
    if (!vek::SetColour(g_attribute.diffuse, rgb, name)) return;
    vek::CheckFloorCeil(&g_attribute.diffuse.x, 3, 0.0f, 1.0f, name);
    for (int i = 0; i < 3; ++i)
        if (g_attribute.diffuse[i] < vek::kMinDiffuse) g_attribute.diffuse[i] = vek::kMinDiffuse;
}

void VekAttribute_SetSpecular(float* rgb)
{
    const char* name = "VekAttribute_SetSpecular";
    if (vek::SetColour(g_attribute.specular, rgb, name)) vek::CheckFloorCeil(&g_attribute.specular.x, 3, 0, 1, name);
}

void VekAttribute_SetEmission(float* rgb)
{
    const char* name = "VekAttribute_SetEmission";
    if (vek::SetColour(g_attribute.emission, rgb, name)) vek::CheckFloor(&g_attribute.emission.x, 3, 0, name);
}

void VekAttribute_SetTransparency(float* rgb)
{
    const char* name = "VekAttribute_SetTransparency";
    if (vek::SetColour(g_attribute.transparency, rgb, name))
        vek::CheckFloorCeil(&g_attribute.transparency.x, 3, 0, 1, name);
}

void VekAttribute_SetReflectivity(float value)
{
    g_attribute.reflectivity = value;
    vek::CheckFloorCeil(&g_attribute.reflectivity, 1, 0, 1, "VekAttribute_SetReflectivity");
}

void VekAttribute_SetShineness(float value)
{
    g_attribute.shineness = value;
    vek::CheckFloor(&g_attribute.shineness, 1, 0, "VekAttribute_SetShineness");
}

void VekAttribute_SetRefractionIndex(float value)
{
    g_attribute.refractionIndex = value;
    vek::CheckFloor(&g_attribute.refractionIndex, 1, 0, "VekAttribute_SetRefractionIndex");
}

void VekAttribute_SetMap(long flags, char* mapName)
{
    // Maps are added one call at a time and removed only all together.
    if (flags == 0) {
        g_attribute.mapFlags = 0;
        g_attribute.map1Name[0] = g_attribute.map2Name[0] = '\0';
        return;
    }
    if (flags & VEK_MAP_1) {
        g_attribute.mapFlags |= VEK_MAP_1;
        vek::CopyName(g_attribute.map1Name, sizeof g_attribute.map1Name, mapName);
    }
    if (flags & VEK_MAP_2) {
        g_attribute.mapFlags |= VEK_MAP_2;
        vek::CopyName(g_attribute.map2Name, sizeof g_attribute.map2Name, mapName);
    }
}

void VekAttribute_SetMapEditParams(long flags, long invert, long blendMode, float blendRatio)
{
    const char* name = "VekAttribute_SetMapEditParams";
    if (flags & VEK_MAP_1) {
        g_attribute.map1Invert = static_cast<int32_t>(invert);
        g_attribute.map1BlendMode = static_cast<int32_t>(blendMode);
        g_attribute.map1BlendRatio = blendRatio;
        vek::CheckFloorCeil(&g_attribute.map1BlendRatio, 1, 0, 1, name);
    }
    if (flags & VEK_MAP_2) {
        g_attribute.map2Invert = static_cast<int32_t>(invert);
        g_attribute.map2BlendMode = static_cast<int32_t>(blendMode);
        g_attribute.map2BlendRatio = blendRatio;
        vek::CheckFloorCeil(&g_attribute.map2BlendRatio, 1, 0, 1, name);
    }
}

void VekAttribute_Instanciate(char* name)
{
    const vek::AttributeState& s = g_attribute;
    // Both map lookups come before the record is taken, so that a failed
    // lookup leaves no half-built attribute in the list or the count.
    _VekMap* map1 = nullptr;
    _VekMap* map2 = nullptr;
    if (s.mapFlags & VEK_MAP_1) {
        map1 = vek::FindMap(s.map1Name);
        if (!map1) vek::Fail(VEK_ERROR_INVALID_NAME, "VekAttribute_Instanciate");
    }
    if (s.mapFlags & VEK_MAP_2) {
        map2 = vek::FindMap(s.map2Name);
        if (!map2) vek::Fail(VEK_ERROR_INVALID_NAME, "VekAttribute_Instanciate");
    }

    VekAttribute* a = VekMemory_AllocateAttribute();
    vek::CopyName(a->name, sizeof a->name, name);
    a->emission = s.emission;
    a->diffuse = s.diffuse;
    a->specular = s.specular;
    a->reflectivity = s.reflectivity;
    a->shineness = s.shineness;
    a->transparency = s.transparency;
    a->refractionIndex = s.refractionIndex;
    a->mapFlags = s.mapFlags;
    a->map1 = map1;
    a->map1Invert = s.map1Invert;
    a->map1BlendMode = s.map1BlendMode;
    a->map1BlendRatio = s.map1BlendRatio;
    a->map2 = map2;
    a->map2Invert = s.map2Invert;
    a->map2BlendMode = s.map2BlendMode;
    a->map2BlendRatio = s.map2BlendRatio;
    a->displayImage = nullptr;
}
