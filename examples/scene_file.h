// scene_file.h - the user's description of a lighting calculation: a JSON
// file naming an OBJ scene (with its MTL materials) and giving what an OBJ
// cannot (luminaires, the sky, camera, calculation grids, interreflection
// settings), or an OBJ file alone, which then takes defaults for the rest.
// Everything here is in world units (metres, z up), converted from the
// files' own frame.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "scene_frame.h"

namespace example {

struct LuminaireDesc {
    std::string name;
    std::string iesPath;
    Vec3 position;
    Vec3 aim;          // unit: where the 0 degree vertical angle points
    float turn;        // degrees: the C0 plane turned about aim
    float multiplier;  // on the file's candela
    Vec3 colour;       // luminance 1
    std::string where; // "file:line" of its entry, for messages
};

struct SkyDesc {
    bool present = false;
    float illuminance = 0.0f;  // lx on an unobstructed horizontal plane
    Vec3 colour{1, 1, 1};      // luminance 1
    Vec3 windowOutward{1, 0, 0};
};

struct CameraDesc {
    bool present = false;
    Vec3 eye, target;
    float fovDegrees = 60.0f;  // horizontal
};

enum class GridKind { Horizontal, Vertical };

struct GridDesc {
    std::string name;
    GridKind kind = GridKind::Horizontal;
    // Horizontal: height above the floor (the scene's lowest point), the
    // room outline in plan (empty: the scene's plan box) and the band left
    // out along it.
    float height = 0.0f;
    float border = 0.0f;
    std::vector<Vec2> outline;
    // Vertical: from, to in plan; bottom and top heights above the floor.
    Vec2 from{0, 0}, to{0, 0};
    float bottom = 0.0f, top = 0.0f;
};

struct MaterialOptions {
    bool twoSided = false;
    bool billboard = false;
    std::string where;
};

struct IndirectDesc {
    int samples = 256;  // light paths per grid point; 0: direct light only
    int bounces = 4;    // bounces traced in full before Russian roulette
};

struct SceneDescription {
    std::string path;      // the file given
    std::string objPath;
    SceneFrame frame;
    float emissionUnit = 100.0f;  // cd/m2 per unit of an MTL Ke
    std::map<std::string, MaterialOptions> materials;
    std::vector<LuminaireDesc> luminaires;
    SkyDesc sky;
    CameraDesc camera;
    std::vector<GridDesc> grids;
    IndirectDesc indirect;
};

// Reads a .json description, or takes an .obj file alone (y up, metres,
// no luminaires). Throws InputError naming file, line and cause.
SceneDescription ReadSceneFile(const std::string& path);

// Limits on what a scene file may ask for.
constexpr int kMaxIndirectSamples = 1 << 16;
constexpr int kMaxBounces = 64;

}  // namespace example
