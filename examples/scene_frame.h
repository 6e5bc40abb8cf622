// scene_frame.h - from the coordinates of the user's files to the world of
// the calculation: metres, z up (the photometric convention: an IES file's
// 0 degree vertical angle points along -z for a downlight aimed down).
// OBJ files are usually y up; with "up": "y" a file point (x, y, z) becomes
// (x, -z, y), a rotation, so faces keep their winding and the world stays
// right-handed.
#pragma once

#include "vector_math.h"

namespace example {

struct SceneFrame {
    bool yUp = true;            // the OBJ convention
    float metresPerUnit = 1.0f;

    Vec3 Direction(float x, float y, float z) const { return yUp ? Vec3(x, -z, y) : Vec3(x, y, z); }
    Vec3 Point(float x, float y, float z) const { return Direction(x, y, z) * metresPerUnit; }
    // A plan position: the file's two horizontal coordinates ((x, y) for a
    // z-up file, (x, z) for a y-up one) as world (x, y).
    Vec2 Plan(float a, float b) const { return yUp ? Vec2{a * metresPerUnit, -b * metresPerUnit} : Vec2{a * metresPerUnit, b * metresPerUnit}; }
    float Length(float value) const { return value * metresPerUnit; }
};

}  // namespace example
