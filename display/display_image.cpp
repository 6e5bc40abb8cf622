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

struct Shape {
    int32_t width, height, components;
};

std::unordered_map<const VekAttribute*, Shape>& Shapes()
{
    static std::unordered_map<const VekAttribute*, Shape> shapes;
    return shapes;
}

}  // namespace

DisplayImage AttributeDisplayImage(VekAttribute* attribute)
{
    const _VekMap* map = attribute->map1;
    if (!attribute->displayImage && map->pixels) {
        attribute->displayImage = map->pixels;
        Shapes()[attribute] = Shape{map->width, map->height, map->components};
    }
    if (!attribute->displayImage) return DisplayImage{nullptr, 0, 0, 0};
    auto found = Shapes().find(attribute);
    // An image that the host placed itself is taken at the map's current shape.
    const Shape shape = found != Shapes().end() ? found->second : Shape{map->width, map->height, map->components};
    if (shape.components != 1 && shape.components != 3 && shape.components != 4) return DisplayImage{nullptr, 0, 0, 0};
    return DisplayImage{attribute->displayImage, shape.width, shape.height, shape.components};
}

}  // namespace vek
