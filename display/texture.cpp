// texture.cpp - the texture upload of a textured surface's attribute.
//
// No texture object is created: each upload replaces the image of whatever
// texture is current, and mipmaps are rebuilt on every upload for maps whose
// minification filter needs them. The drawing passes therefore upload only
// when the attribute changes between consecutive surfaces.
#include "display/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cassert>

#include "VekAttribute.h"
#include "VekMap.h"
#include "maps/map_images.h"

namespace vek {
namespace {

// OpenGL minification filter of each filter code. Codes 3 and 4 are in the
// library's order, not in the order of the OpenGL values.
constexpr GLenum kMinificationFilter[6] = {
    GL_NEAREST,                 // 0
    GL_LINEAR,                  // 1
    GL_NEAREST_MIPMAP_NEAREST,  // 2
    GL_NEAREST_MIPMAP_LINEAR,   // 3
    GL_LINEAR_MIPMAP_NEAREST,   // 4
    GL_LINEAR_MIPMAP_LINEAR,    // 5
};
// Codes from this one on build mipmaps.
constexpr int32_t kFirstMipmapFilter = 2;

// Grey images are one byte per pixel: luminance, with the component count 1
// as internal format.
GLenum PixelFormat(int32_t components)
{
    switch (components) {
    case 1: return GL_LUMINANCE;
    case 4: return GL_RGBA;
    default: return GL_RGB;
    }
}

}  // namespace

void BindAttributeTexture(VekAttribute* attribute)
{
    assert(attribute->mapFlags & VEK_MAP_1);
    const _VekMap* map = attribute->map1;
    if (!map) return;  // only a host that wrote the record itself gets here
    // 3 first: the image and its shape decide the format.
    const DisplayImage image = PrepareDisplayImage(attribute);
    const ImageShape& shape = image.shape;
    // 1. Pixel format.
    const GLenum format = PixelFormat(shape.components);
    // 2. Rows are packed without padding.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // 4. The image. A map without an image gives an empty texture: GLU would
    // read from the null pointer, and an image of the map's size would show
    // undefined texels.
    if (!image.pixels) {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, 0, 0, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    } else if (map->minFilter < kFirstMipmapFilter) {
        glTexImage2D(GL_TEXTURE_2D, 0, shape.components, shape.width, shape.height, 0, format, GL_UNSIGNED_BYTE,
                     image.pixels);
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, shape.components, shape.width, shape.height, format, GL_UNSIGNED_BYTE,
                          image.pixels);
    }
    // 5. Wrapping.
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));
    // 6. Magnification: linear for code 1, nearest for any other.
    const GLenum magnification = map->magFilter == 1 ? GL_LINEAR : GL_NEAREST;
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(magnification));
    // 7. Minification: an unknown code filters like magnification.
    const bool known = map->minFilter >= 0 && map->minFilter < 6;
    const GLenum minification = known ? kMinificationFilter[map->minFilter] : magnification;
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(minification));
    // 8.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace vek
