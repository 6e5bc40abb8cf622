// VekAttribute.h - attributes: named materials with colours, scalars and up
// to two texture maps.
//
// The VekAttribute_Set* calls fill the current attribute state (out-of-range
// values are corrected with VEK_WARNING_OUT_OF_RANGE per component);
// VekAttribute_Instanciate creates a record from it. Surfaces find their
// attribute by name; with duplicate names the first one wins.
#pragma once

#include "VekTypes.h"

// mapFlags bits.
constexpr uint32_t VEK_MAP_1 = 0x1;                 // map 1 (the colour map the display draws)
constexpr uint32_t VEK_MAP_2 = 0x8;                 // map 2 (modulates transparency for shadow rays)
constexpr uint32_t VEK_MAP_BILLBOARD = 0x10;        // billboard kinds
constexpr uint32_t VEK_MAP_BILLBOARD_2 = 0x20;

struct VekAttribute {
    VekAttribute* next;               // attribute list link
    char name[64];
    CG::vec3<float> diffuse;          // [1e-10, 1]
    CG::vec3<float> specular;         // [0, 1]
    CG::vec3<float> emission;         // >= 0
    float reflectivity;               // [0, 1]
    float shineness;                  // >= 0
    CG::vec3<float> transparency;     // [0, 1]
    float refractionIndex;            // >= 0
    uint32_t mapFlags;                // VEK_MAP_* bits
    _VekMap* map1;                    // null unless mapFlags has VEK_MAP_1
    int32_t map1Invert;               // non-zero: the display uses an inverted copy of map 1
    int32_t map1BlendMode;
    float map1BlendRatio;             // [0, 1]
    _VekMap* map2;                    // null unless mapFlags has VEK_MAP_2
    int32_t map2Invert;               // non-zero: map 2's texels are inverted before use
    int32_t map2BlendMode;            // how map 2 is blended with the transparency
    float map2BlendRatio;             // [0, 1]
    unsigned char* displayImage;      // image the display uploads; set at the first upload
};
static_assert(offsetof(VekAttribute, name) == 8, "VekAttribute layout");
static_assert(offsetof(VekAttribute, diffuse) == 72, "VekAttribute layout");
static_assert(offsetof(VekAttribute, specular) == 84, "VekAttribute layout");
static_assert(offsetof(VekAttribute, emission) == 96, "VekAttribute layout");
static_assert(offsetof(VekAttribute, reflectivity) == 108, "VekAttribute layout");
static_assert(offsetof(VekAttribute, shineness) == 112, "VekAttribute layout");
static_assert(offsetof(VekAttribute, transparency) == 116, "VekAttribute layout");
static_assert(offsetof(VekAttribute, refractionIndex) == 128, "VekAttribute layout");
static_assert(offsetof(VekAttribute, mapFlags) == 132, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map1) == 136, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map1Invert) == 144, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map1BlendRatio) == 152, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map2) == 160, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map2Invert) == 168, "VekAttribute layout");
static_assert(offsetof(VekAttribute, map2BlendRatio) == 176, "VekAttribute layout");
static_assert(offsetof(VekAttribute, displayImage) == 184, "VekAttribute layout");
static_assert(sizeof(VekAttribute) == 192, "VekAttribute layout");

// rgb points to three floats.
VEK_API void VekAttribute_SetDiffuse(float* rgb);       // clamped to [0, 1], then at least 1e-10
VEK_API void VekAttribute_SetSpecular(float* rgb);      // clamped to [0, 1]
VEK_API void VekAttribute_SetEmission(float* rgb);      // at least 0
VEK_API void VekAttribute_SetTransparency(float* rgb);  // clamped to [0, 1]
VEK_API void VekAttribute_SetReflectivity(float value); // clamped to [0, 1]
VEK_API void VekAttribute_SetShineness(float value);    // at least 0
VEK_API void VekAttribute_SetRefractionIndex(float value); // at least 0

// flags 0 removes both maps; bit 0x1 names map 1, bit 0x8 map 2 (9: both).
VEK_API void VekAttribute_SetMap(long flags, char* mapName);
// Edit parameters of map 1 (bit 0x1) and/or map 2 (bit 0x8); blendRatio is
// clamped to [0, 1].
VEK_API void VekAttribute_SetMapEditParams(long flags, long invert, long blendMode, float blendRatio);

// Creates an attribute from the current state. Raises VEK_ERROR_INVALID_NAME
// when a named map does not exist; no record is then left behind. Names are
// cut to 63 characters and looked up the same way, so a longer name still
// finds its record; a null name is taken as "". Map names are those given
// to VekAttribute_SetMap.
VEK_API void VekAttribute_Instanciate(char* name);

// Slot number of an attribute (-1 if it is no attribute record) and back.
VEK_API long VekAttribute_GetIndex(VekAttribute* attribute);
VEK_API VekAttribute* VekAttribute_GetAddress(long index);
