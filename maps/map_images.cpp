// map_images.cpp - the registry of image buffers: map copies (current and
// retired) and attributes' inverted display copies, from allocation to
// their one release at End.
//
// Each registry maps a buffer to the size it was made at. A buffer enters at
// its allocation and leaves at its release, so no buffer can be released
// twice and none can be forgotten; the display asks here for the size of
// the image it uploads instead of trusting the map's current fields.
#include "maps/map_images.h"

#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "VekAttribute.h"
#include "VekMap.h"
#include "VekMemory.h"
#include "core/subsystems.h"
#include "maps/image_size.h"

namespace vek {
namespace {

using Registry = std::unordered_map<const unsigned char*, ImageShape>;

// Every buffer the library allocated for images and has not yet released.
// Kept across a second Initialize (which releases nothing), so the next End
// still releases what an earlier scene left.
struct ImageRegistry {
    Registry mapCopies;      // copies that maps hold or held (retired)
    Registry displayCopies;  // inverted copies made for attributes
};

ImageRegistry g_images;

struct FreeBuffer {
    void operator()(unsigned char* p) const { std::free(p); }
};

void Record(Registry& registry, unsigned char* buffer, const ImageShape& shape)
{
    std::unique_ptr<unsigned char, FreeBuffer> owner(buffer);
    registry.emplace(buffer, shape);
    owner.release();
}

bool SharedByAnAttribute(const unsigned char* buffer)
{
    for (const VekAttribute* a = VekMemory_GetAttributeList(); a; a = a->next)
        if (a->displayImage == buffer) return true;
    return false;
}

// A map copy that its map no longer holds. No attribute can start sharing
// it any more (the display shares only a map's current copy), so one that
// none shares now is released at once and the rest wait for End.
void Retire(const unsigned char* buffer)
{
    if (!buffer) return;
    auto entry = g_images.mapCopies.find(buffer);
    if (entry == g_images.mapCopies.end() || SharedByAnAttribute(buffer)) return;
    g_images.mapCopies.erase(entry);
    std::free(const_cast<unsigned char*>(buffer));
}

void ReleaseAll(Registry& registry)
{
    for (auto& entry : registry) std::free(const_cast<unsigned char*>(entry.first));
    registry.clear();
}

// The map's size fields as an image shape, or all 0 when they describe no
// image the library would accept.
ImageShape ShapeOf(const _VekMap& map)
{
    size_t bytes = 0;
    const bool valid = (map.components == 1 || map.components == 3 || map.components == 4) &&
                       ImageBytes(map.width, map.height, map.components, bytes);
    return valid ? ImageShape{map.width, map.height, map.components} : ImageShape{0, 0, 0};
}

}  // namespace

unsigned char* MapImageBuffer(_VekMap* map, size_t bytes)
{
    auto current = g_images.mapCopies.find(map->pixels);
    if (current != g_images.mapCopies.end() && !SharedByAnAttribute(map->pixels)) {
        const ImageShape& s = current->second;
        size_t currentBytes = 0;
        if (ImageBytes(s.width, s.height, s.components, currentBytes) && currentBytes == bytes) return map->pixels;
    }
    return static_cast<unsigned char*>(std::malloc(bytes));
}

void AdoptMapImage(_VekMap* map, unsigned char* copy, const ImageShape& shape)
{
    if (copy && copy == map->pixels) {
        g_images.mapCopies[copy] = shape;  // reused in place: only its shape is new
        return;
    }
    if (copy) Record(g_images.mapCopies, copy, shape);
    const unsigned char* earlier = map->pixels;
    map->pixels = copy;
    Retire(earlier);
}

void DetachMapImage(_VekMap* map)
{
    const unsigned char* earlier = map->pixels;
    map->pixels = nullptr;
    Retire(earlier);
}

DisplayImage PrepareDisplayImage(VekAttribute* attribute)
{
    const DisplayImage nothing = {nullptr, {0, 0, 0}};
    if (!attribute || !attribute->map1) return nothing;
    _VekMap& map = *attribute->map1;

    // 1. An image taken at an earlier upload stays, with its own size.
    if (const unsigned char* taken = attribute->displayImage) {
        for (const Registry* registry : {&g_images.displayCopies, &g_images.mapCopies}) {
            auto entry = registry->find(taken);
            if (entry != registry->end()) return {taken, entry->second};
        }
        // A pointer the host wrote: its size is known only while the map holds it.
        return taken == map.pixels ? DisplayImage{taken, ShapeOf(map)} : nothing;
    }
    // 2. No image on the map: a texture without data, of the map's size.
    const ImageShape shape = ShapeOf(map);
    if (!map.pixels) return {nullptr, shape};
    // 3. Inverted: a copy of the attribute's own; otherwise the map's copy, shared.
    if (attribute->map1Invert) {
        size_t bytes = 0;
        if (!ImageBytes(shape.width, shape.height, shape.components, bytes) || bytes == 0) return nothing;
        auto* copy = static_cast<unsigned char*>(std::malloc(bytes));
        if (!copy) return nothing;
        VekMap_BlendMap(attribute->map1BlendMode, attribute->map1Invert, attribute, copy);
        Record(g_images.displayCopies, copy, shape);
        attribute->displayImage = copy;
    } else {
        attribute->displayImage = map.pixels;
    }
    return {attribute->displayImage, shape};
}

// End, step 1: the attributes' inverted copies, then those of attributes an
// earlier Initialize forgot. A shared map copy is left to step 2.
void ReleaseDisplayImages()
{
    for (VekAttribute* a = VekMemory_GetAttributeList(); a; a = a->next) {
        auto entry = g_images.displayCopies.find(a->displayImage);
        if (entry != g_images.displayCopies.end()) {
            g_images.displayCopies.erase(entry);
            std::free(a->displayImage);
        }
        a->displayImage = nullptr;
    }
    ReleaseAll(g_images.displayCopies);
}

// End, step 2: every map gives up its image; then every map copy, current
// or retired, is released once.
void ReleaseMapImages()
{
    for (_VekMap* m = VekMemory_GetMapList(); m; m = m->next) {
        m->width = m->height = m->components = 0;
        m->pixels = nullptr;
    }
    ReleaseAll(g_images.mapCopies);
}

}  // namespace vek
