// display_image.cpp - which image an attribute displays, and its shape.
//
// The attribute record has room only for the image pointer, so the shape of
// each image the display handed out is kept beside it, keyed by attribute.
// An entry is written whenever an attribute is given its image, so an entry
// left from an earlier scene is overwritten before it can be read again.
#include "display/display_image.h"

#include <unordered_map>

#include "VekAttribute.h"
#include "VekMap.h"

namespace vek {
namespace {

std::unordered_map<const VekAttribute*, ImageShape>& Shapes()
{
    static std::unordered_map<const VekAttribute*, ImageShape> shapes;
    return shapes;
}

}  // namespace

DisplayImage PrepareDisplayImage(VekAttribute* attribute)
{
    const DisplayImage nothing = {nullptr, {0, 0, 0}};
    const _VekMap* map = attribute ? attribute->map1 : nullptr;
    if (!map) return nothing;
    if (!attribute->displayImage && map->pixels) {
        attribute->displayImage = map->pixels;
        Shapes()[attribute] = ImageShape{map->width, map->height, map->components};
    }
    if (!attribute->displayImage) return nothing;
    auto found = Shapes().find(attribute);
    if (found == Shapes().end()) return nothing;
    return DisplayImage{attribute->displayImage, found->second};
}

}  // namespace vek
