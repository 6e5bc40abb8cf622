// VekMap.h - texture maps: named images that attributes name, their texel
// lookup, colour blending and average colours.
//
// The host creates a map by name, binds an image (the library keeps its own
// copy) and names the map in an attribute. Map coordinates repeat with
// period 1 in u and v; v = 0 selects the image's first row.
#pragma once

#include "VekTypes.h"

struct _VekMap {
    _VekMap* next;                // map list link
    char name[64];                // at most 63 characters
    int32_t minFilter;            // minification filter code, 0..5
    int32_t magFilter;            // magnification filter code, 0..1
    char path[260];               // kept for the host; empty when none was given
    int32_t width;                // pixels; 0 until an image is bound
    int32_t height;
    int32_t components;           // bytes per pixel: 1, 3 or 4; 0 until bound
    unsigned char* pixels;        // the library's copy: height rows of width x components bytes, or null
    float averageColor[3];        // mean r, g, b in [0, 1]; 0 until bound
};
static_assert(offsetof(_VekMap, name) == 8, "_VekMap layout");
static_assert(offsetof(_VekMap, minFilter) == 72, "_VekMap layout");
static_assert(offsetof(_VekMap, magFilter) == 76, "_VekMap layout");
static_assert(offsetof(_VekMap, path) == 80, "_VekMap layout");
static_assert(offsetof(_VekMap, width) == 340, "_VekMap layout");
static_assert(offsetof(_VekMap, height) == 344, "_VekMap layout");
static_assert(offsetof(_VekMap, components) == 348, "_VekMap layout");
static_assert(offsetof(_VekMap, pixels) == 352, "_VekMap layout");
static_assert(offsetof(_VekMap, averageColor) == 360, "_VekMap layout");

// Filter codes of the maps created next: 0 nearest, 1 linear, 2
// nearest-mipmap-nearest, 3 nearest-mipmap-linear, 4 linear-mipmap-nearest,
// 5 linear-mipmap-linear. Out of range: stored anyway with
// VEK_WARNING_INVALID_VALUE.
VEK_API void VekMap_SetMinFilter(long filter);
VEK_API void VekMap_SetMagFilter(long filter);  // 0 nearest, 1 linear

// Appends a map named name (cut to 63 characters); path (may be null) is
// kept for the host.
VEK_API void VekMap_Instanciate(const char* name, const char* path);
// Gives the named map a copy of an image of width x height pixels of
// components bytes (1, 3 or 4). Raises VEK_ERROR_INVALID_NAME for an unknown
// map and VEK_ERROR_INVALID_VALUE for a negative size, another component
// count, a size whose byte count does not fit in 32 bits, or null pixels
// with a non-zero size; the map then holds no image.
VEK_API void VekMap_BindImage(const char* name, long width, long height, long components,
                              const unsigned char* pixels);
// The named map no longer holds an image; its size fields stay.
VEK_API void VekMap_UnbindImage(const char* name);
VEK_API long VekMap_GetCount();

// Slot number of a map (-1 if it is no map record) and back.
VEK_API long VekMap_GetIndex(_VekMap* map);
VEK_API _VekMap* VekMap_GetAddress(long index);

// The texel at map coordinate coord (u, v; any value wraps into the image).
// The map must hold an image.
VEK_API unsigned char* VekMap_GetMapColor(CG::vec3<float>& coord, _VekMap* map);
// The texel at point of a face with vertexCount corners, their map
// coordinates and the face normal.
VEK_API unsigned char* VekMap_GetMapColor(CG::vec3<float>& point, long vertexCount, CG::vec3<float>* vertices,
                                          CG::vec3<float>* mapCoords, CG::vec3<float>& normal, _VekMap* map);
// Blends mapColour into base by mode 1..7 (any other mode: mapColour), then
// clamps each component to [0, limit].
VEK_API CG::vec3<float> VekMap_BlendMapColor(long mode, float alpha, float ratio, CG::vec3<float> base,
                                             CG::vec3<float> mapColour, float limit);
// Writes the attribute's map-1 image into out, inverted when invert is
// non-zero. out must hold width x height x components bytes.
VEK_API void VekMap_BlendMap(long blendMode, long invert, VekAttribute* attribute, unsigned char* out);
// Average blended colour (0..255) of the map over the region that count map
// coordinates cover.
VEK_API CG::vec3<int> VekMap_GetAverageColor(_VekMap* map, CG::vec3<float>& base, long invert, long mode,
                                             float ratio, long count, CG::vec3<float>* mapCoords);
