// materials.h - the maps and attributes of the default scene, by name.
#pragma once

namespace example {

// Attribute names the geometry refers to.
namespace material {
constexpr const char* kWall = "wall paint";
constexpr const char* kCeiling = "ceiling paint";
constexpr const char* kFloor = "oak parquet";
constexpr const char* kTableTop = "walnut";
constexpr const char* kMetal = "dark metal";
constexpr const char* kCabinet = "grey lacquer";
constexpr const char* kChair = "red shell";
constexpr const char* kPainting = "painting";
constexpr const char* kGlass = "window glass";
constexpr const char* kScreen = "perforated screen";
constexpr const char* kTree = "fig tree";
}  // namespace material

// Creates the maps (with their pictures bound) and then the attributes
// that name them.
void CreateMaterials();

}  // namespace example
