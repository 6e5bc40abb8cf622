// map_images.h - who owns each image buffer, from image binding to End, and
// what the display uploads for an attribute.
//
// Ownership:
// - A map owns the copy that VekMap_BindImage makes of the host's image.
// - An attribute's displayImage is, from its first upload to End, either
//   its map 1's copy, shared, or an inverted copy that the library makes for
//   that attribute alone (PrepareDisplayImage below).
// - A copy that a later bind replaces, or that an unbind detaches, is
//   released at once when no attribute's displayImage shares it; otherwise
//   it is retired: kept, with the size it was bound at, until End.
// - Every buffer is recorded in a registry from its allocation to its
//   release, and only recorded buffers are ever released, each once. A
//   pointer that a host writes into a record itself is never the library's.
// - VekMain_End releases first the attributes' inverted copies
//   (ReleaseDisplayImages), then every map copy, current or retired
//   (ReleaseMapImages); both are declared in core/subsystems.h.
//
// Threads: binding runs during scene building and PrepareDisplayImage on the
// drawing thread, never at the same time (one thread at a time builds or
// draws), so nothing here locks. Texel lookups never touch the registry.
#pragma once

#include <cstddef>
#include <cstdint>

struct VekAttribute;
struct _VekMap;

namespace vek {

struct ImageShape {
    int32_t width;
    int32_t height;
    int32_t components;  // 1, 3 or 4; all three are 0 for no image
};

// What to upload for an attribute: an image and its own size.
struct DisplayImage {
    const unsigned char* pixels;  // null: upload a texture without data
    ImageShape shape;             // the size pixels were made at; all 0 when nothing can be uploaded
};

// For the display's texture upload of an attribute whose mapFlags has
// VEK_MAP_1. At the first call that finds an image on map 1, gives the
// attribute its displayImage: with map1Invert non-zero an inverted copy
// (made by VekMap_BlendMap, owned by the library, released at End),
// otherwise map 1's own copy, shared. Later calls return the same image
// with the size it was taken at, even after map 1 was bound to an image of
// another size or unbound, so the upload never reads past the image.
// When map 1 holds no image the result has null pixels and map 1's size
// fields when they describe a valid image (otherwise all 0); a failed
// allocation of the inverted copy also gives null pixels and size 0, and
// the next call tries again. A null attribute or map 1 gives null and 0.
DisplayImage PrepareDisplayImage(VekAttribute* attribute);

// For image binding: a buffer of bytes (at least 1) bytes for the map's
// next image. The map's current copy when it has that size and no attribute
// shares it, so that binding a new image of the same size allocates
// nothing; otherwise a new buffer from malloc, null when that fails.
unsigned char* MapImageBuffer(_VekMap* map, size_t bytes);
// For image binding: copy (from MapImageBuffer, or null for an image
// without pixels) becomes the map's pixels, of the given shape; the map's
// earlier copy, unless it is copy itself, is retired. Should recording copy
// throw, copy is released before the exception leaves.
void AdoptMapImage(_VekMap* map, unsigned char* copy, const ImageShape& shape);
// The map's pixels become null; the earlier copy is retired.
void DetachMapImage(_VekMap* map);

}  // namespace vek
