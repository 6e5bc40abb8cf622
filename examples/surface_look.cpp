// surface_look.cpp - colour map, transparency map and smooth normals at a
// hit point, through the library's map lookup, colour blend and barycentric
// interpolation.
#include "surface_look.h"

namespace example {
namespace {

constexpr float kByteToUnit = 1.0f / 255.0f;

bool HasMapImage(const VekSurface& surface, const _VekMap* map)
{
    return map && map->pixels && map->width > 0 && map->height > 0 && (surface.flags & VEK_FACE_HAS_MAP_COORDS);
}

// The texel of map at point as an RGB triple in [0, 1] and its alpha.
Vec3 Texel(VekSurface& surface, Vec3& point, _VekMap* map, float& alpha)
{
    unsigned char* texel =
        VekMap_GetMapColor(point, surface.vertexCount, surface.vertex, surface.mapCoord, surface.normal, map);
    alpha = map->components >= 4 ? texel[3] * kByteToUnit : 1.0f;
    if (map->components < 3) return Vec3(texel[0], texel[0], texel[0]) * kByteToUnit;
    return Vec3(texel[0], texel[1], texel[2]) * kByteToUnit;
}

}  // namespace

SurfaceLook LookAt(VekSurface& surface, Vec3 point)
{
    const VekAttribute* attribute = surface.attribute;
    SurfaceLook look{attribute->diffuse, surface.normal, attribute->transparency};

    if (surface.flags & VEK_FACE_SMOOTH) {
        Vec3 weights;
        bool half = surface.CalcWeight(point, weights);
        look.normal = Normalized(surface.InterpolateParam(half, surface.vertexNormal, weights));
    }

    float alpha = 1.0f;
    if ((attribute->mapFlags & VEK_MAP_1) && HasMapImage(surface, attribute->map1))
        look.albedo = Multiply(look.albedo, Texel(surface, point, attribute->map1, alpha));

    // The transmission a shadow search would find here: map 2's value,
    // inverted if asked, blended into the transparency.
    if ((attribute->mapFlags & VEK_MAP_2) && HasMapImage(surface, attribute->map2)) {
        Vec3 value = Texel(surface, point, attribute->map2, alpha);
        if (attribute->map2Invert) value = Vec3(1, 1, 1) - value;
        look.transmission = VekMap_BlendMapColor(attribute->map2BlendMode, alpha, attribute->map2BlendRatio,
                                                 attribute->transparency, value, 1.0f);
    }
    return look;
}

}  // namespace example
