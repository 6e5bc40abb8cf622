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
// VEK_WARNING_INVALID_VALUE (a value beyond 32 bits is stored as the
// nearest 32-bit value).
VEK_API void VekMap_SetMinFilter(long filter);
VEK_API void VekMap_SetMagFilter(long filter);  // 0 nearest, 1 linear

// Appends a map named name (cut to 63 characters; null is ""); path (cut to
// 259 characters; null is "") is kept for the host. The map takes the
// current filters. Names are not checked for uniqueness: lookups by name
// find the first map of a name.
VEK_API void VekMap_Instanciate(const char* name, const char* path);
// Gives the named map a copy of an image of width x height pixels of
// components bytes (1 grey; 3 red, green, blue; 4 with alpha), rows first
// to last without padding, and its averageColor. Width, height and
// components are stored one after the other as long as each earlier one is
// valid. Raises VEK_ERROR_INVALID_NAME for an unknown map and
// VEK_ERROR_INVALID_VALUE for a negative width or height, a component count
// other than 1, 3 or 4, an image of more than 2^31 - 1 bytes, or null
// pixels with a non-zero size; VEK_ERROR_MEMORY when the copy cannot be
// allocated. After an error the map holds no image (pixels null). A width or
// height of 0 is accepted: the map then holds no pixels and averageColor is
// (0, 0, 0). The map's earlier copy is released, or kept until VekMain_End
// while an attribute's display image still shows it.
VEK_API void VekMap_BindImage(const char* name, long width, long height, long components,
                              const unsigned char* pixels);
// The named map no longer holds an image (pixels null); its size fields and
// averageColor stay. Raises VEK_ERROR_INVALID_NAME for an unknown map.
VEK_API void VekMap_UnbindImage(const char* name);
// Number of maps, with or without an image.
VEK_API long VekMap_GetCount();

// Slot number of a map (-1 if it is no map record) and back.
VEK_API long VekMap_GetIndex(_VekMap* map);
VEK_API _VekMap* VekMap_GetAddress(long index);

// Colour lookup and blending: these only read the map (and the attribute)
// and may run on any number of threads at once, without locks. They report
// nothing.

// The first byte of the texel at map coordinate coord: u and v wrap with
// period 1 (coord.z is ignored), v = 0 is the first row. Every coordinate,
// however large, negative or not finite, reads inside the image; a
// coordinate that is not finite reads as 0. Null when map is null or holds
// no image.
VEK_API unsigned char* VekMap_GetMapColor(CG::vec3<float>& coord, _VekMap* map);
// The texel at point of a face with vertexCount corners (4: a quadrilateral,
// split along its diagonal from corner 1 to corner 3; any other count: the
// first three corners), their map coordinates and the face normal, through
// barycentric weights in the projection that drops the normal's largest
// axis (ties to the later axis: z, then y). A face without projected area
// still reads a texel inside the image. Null when map is null or holds no image, or vertices
// or mapCoords is null.
VEK_API unsigned char* VekMap_GetMapColor(CG::vec3<float>& point, long vertexCount, CG::vec3<float>* vertices,
                                          CG::vec3<float>* mapCoords, CG::vec3<float>& normal, _VekMap* map);
// Blends mapColour into base per component, with m = mapColour x ratio:
// 1 (1 - ratio) base + m; 2 (1 - alpha ratio) base + m; 3 base + m;
// 4 base - m; 5 mapColour base ratio / limit; 6 the larger of base and m;
// 7 the smaller; any other mode: mapColour. Then each component below 0
// becomes 0 and each above limit becomes limit. Colours are on the caller's
// scale, whose top is limit.
VEK_API CG::vec3<float> VekMap_BlendMapColor(long mode, float alpha, float ratio, CG::vec3<float> base,
                                             CG::vec3<float> mapColour, float limit);
// Writes the attribute's map-1 image into out, every byte (alpha included)
// as 255 - byte when invert is non-zero, unchanged otherwise. blendMode is
// not used. out must hold width x height x components bytes. Nothing is
// written when the attribute has no map 1 or map 1 holds no image.
VEK_API void VekMap_BlendMap(long blendMode, long invert, VekAttribute* attribute, unsigned char* out);
// Average colour (0..255 per channel, truncated) of the map's texels over
// the columns trunc(width x min u) .. trunc(width x max u) and rows
// likewise in v, both ends included and wrapping, each texel (inverted when
// invert is non-zero) blended into base x 255 by mode and ratio as
// VekMap_BlendMapColor does with limit 255 (alpha from a fourth byte).
// A region larger than the image costs no more than the whole image. The
// result is (0, 0, 0) when count is below 1, map is null or holds no image,
// mapCoords is null, or the region is not finite.
VEK_API CG::vec3<int> VekMap_GetAverageColor(_VekMap* map, CG::vec3<float>& base, long invert, long mode,
                                             float ratio, long count, CG::vec3<float>* mapCoords);
