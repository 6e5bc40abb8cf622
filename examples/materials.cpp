// materials.cpp - maps and attributes. The library's attribute state is a
// current state that survives each instanciation, so every attribute here
// is described whole and every field set before it is made.
#include "materials.h"

#include <Vek.h>

#include "textures.h"

namespace example {
namespace {

constexpr const char* kParquetMap = "parquet";
constexpr const char* kWalnutMap = "walnut";
constexpr const char* kPaintingMap = "painting";
constexpr const char* kScreenMap = "screen colour";
constexpr const char* kPerforationMap = "perforation";
constexpr const char* kTreeMap = "tree colour";
constexpr const char* kTreeMaskMap = "tree mask";

// Blend mode 1 with ratio 1 makes the map's value the transmission itself:
// white texels let light through, black ones stop it.
constexpr long kReplaceBlend = 1;

void CreateMap(const char* name, const TextureImage& image)
{
    VekMap_Instanciate(name, nullptr);
    VekMap_BindImage(name, image.width, image.height, image.components, image.pixels.data());
}

struct Colour {
    float r, g, b;
};

struct MaterialDesc {
    const char* name;
    Colour diffuse;
    Colour transparency;
    float specular;
    float refractionIndex;
    const char* colourMap;        // map 1, or null
    const char* transmissionMap;  // map 2, or null
};

void CreateAttribute(const MaterialDesc& material)
{
    float diffuse[3] = {material.diffuse.r, material.diffuse.g, material.diffuse.b};
    float transparency[3] = {material.transparency.r, material.transparency.g, material.transparency.b};
    float specular[3] = {material.specular, material.specular, material.specular};
    VekAttribute_SetDiffuse(diffuse);
    VekAttribute_SetTransparency(transparency);
    VekAttribute_SetSpecular(specular);
    VekAttribute_SetRefractionIndex(material.refractionIndex);
    VekAttribute_SetMap(0, nullptr);
    if (material.colourMap) VekAttribute_SetMap(VEK_MAP_1, const_cast<char*>(material.colourMap));
    if (material.transmissionMap) {
        VekAttribute_SetMap(VEK_MAP_2, const_cast<char*>(material.transmissionMap));
        VekAttribute_SetMapEditParams(VEK_MAP_2, 0, kReplaceBlend, 1.0f);
    }
    VekAttribute_Instanciate(const_cast<char*>(material.name));
}

}  // namespace

void CreateMaterials()
{
    // Mipmapped, linearly filtered textures for the display.
    VekMap_SetMinFilter(5);
    VekMap_SetMagFilter(1);
    CreateMap(kParquetMap, ParquetTexture());
    CreateMap(kWalnutMap, WalnutTexture());
    CreateMap(kPaintingMap, PaintingTexture());
    CreateMap(kScreenMap, ScreenTexture());
    CreateMap(kPerforationMap, PerforationMask());
    CreateMap(kTreeMap, TreeTexture());
    CreateMap(kTreeMaskMap, TreeMask());

    const Colour kWhite = {1.0f, 1.0f, 1.0f}, kOpaque = {0.0f, 0.0f, 0.0f};
    const MaterialDesc materials[] = {
        {material::kWall, {0.80f, 0.78f, 0.72f}, kOpaque, 0.0f, 1.0f, nullptr, nullptr},
        {material::kCeiling, {0.88f, 0.88f, 0.86f}, kOpaque, 0.0f, 1.0f, nullptr, nullptr},
        {material::kFloor, kWhite, kOpaque, 0.1f, 1.0f, kParquetMap, nullptr},
        {material::kTableTop, kWhite, kOpaque, 0.2f, 1.0f, kWalnutMap, nullptr},
        {material::kMetal, {0.12f, 0.12f, 0.13f}, kOpaque, 0.5f, 1.0f, nullptr, nullptr},
        {material::kCabinet, {0.50f, 0.55f, 0.60f}, kOpaque, 0.3f, 1.0f, nullptr, nullptr},
        {material::kChair, {0.80f, 0.18f, 0.12f}, kOpaque, 0.4f, 1.0f, nullptr, nullptr},
        {material::kPainting, kWhite, kOpaque, 0.0f, 1.0f, kPaintingMap, nullptr},
        // Clear glass: most light passes, a little green in the thickness.
        {material::kGlass, {0.60f, 0.70f, 0.68f}, {0.82f, 0.88f, 0.85f}, 0.9f, 1.52f, nullptr, nullptr},
        {material::kScreen, kWhite, kOpaque, 0.2f, 1.0f, kScreenMap, kPerforationMap},
        {material::kTree, kWhite, kOpaque, 0.0f, 1.0f, kTreeMap, kTreeMaskMap},
    };
    for (const MaterialDesc& material : materials) CreateAttribute(material);
}

}  // namespace example
