// map_fixture.h - the fixture of the map tests: makes named maps with images
// through the exported calls and tells which texel a lookup returned.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace maptest {

using Image = std::vector<unsigned char>;
using Vec = CG::vec3<float>;

class MapTest : public vektest::LibraryTest {
protected:
    // Creates a map named name and binds image to it.
    static _VekMap* MakeMap(const char* name, long width, long height, long components, const Image& image)
    {
        VekMap_Instanciate(name, nullptr);
        VekMap_BindImage(name, width, height, components, image.data());
        return Find(name);
    }
    static _VekMap* Find(const char* name)
    {
        _VekMap* m = VekMemory_GetMapList();
        while (m && std::string(m->name) != name) m = m->next;
        return m;
    }
    // An attribute named name whose map 1 is mapName, inverted or not.
    static VekAttribute* MakeAttribute(const char* name, const char* mapName, long invert = 0)
    {
        VekAttribute_SetMap(VEK_MAP_1, const_cast<char*>(mapName));
        VekAttribute_SetMapEditParams(VEK_MAP_1, invert, 0, 0.0f);
        VekAttribute_Instanciate(const_cast<char*>(name));
        VekAttribute* a = VekMemory_GetAttributeList();
        while (a->next) a = a->next;
        return a;
    }
};

// Column and row of a texel pointer, checking that it lies inside the image
// on a texel boundary.
inline std::pair<long, long> TexelXY(const _VekMap* map, const unsigned char* texel)
{
    const ptrdiff_t offset = texel - map->pixels;
    const ptrdiff_t bytes = ptrdiff_t(map->width) * map->height * map->components;
    EXPECT_TRUE(offset >= 0 && offset < bytes) << "texel outside the image, offset " << offset;
    EXPECT_EQ(offset % map->components, 0);
    const long index = long(offset / map->components);
    return {index % map->width, index / map->width};
}

// An image whose texel (x, y) holds the bytes x, y, x + y (and 255 - x for
// alpha), so a texel names its own position.
inline Image PositionImage(int width, int height, int components)
{
    Image image;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int texel[4] = {x, y, x + y, 255 - x};
            for (int c = 0; c < components; ++c) image.push_back(static_cast<unsigned char>(texel[c]));
        }
    return image;
}

}  // namespace maptest
