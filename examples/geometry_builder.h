// geometry_builder.h - shapes made of library surfaces: quadrilaterals,
// boxes, a floor of triangle pairs and Bezier patches. Each shape takes the
// library's current surface state (attribute name, flags), which
// UseAttribute and UseFlags set.
#pragma once

#include "vector_math.h"

namespace example {

void UseAttribute(const char* name);
// Surface flags of the shapes made next (VEK_FACE_BILLBOARD, ...).
void UseFlags(unsigned long flags);

struct QuadOptions {
    float uScale = 0.0f;       // metres per map repeat along a; 0: no map coordinates
    float vScale = 0.0f;       // the same along b; 0: as along a
    bool flipV = false;        // v runs from origin + b back to origin
    bool doubleSided = false;  // a back side facing the other way
};

// The parallelogram with corners origin, origin + a, origin + a + b,
// origin + b. Its front faces along a x b. Map coordinates run u along a and
// v along b from 0 at origin (or at origin + b with flipV).
void AddQuad(const Vec3& origin, const Vec3& a, const Vec3& b, QuadOptions options = {});

// The axis-aligned box between low and high, one-sided faces looking out.
void AddBox(const Vec3& low, const Vec3& high, float mapScale = 0.0f);

// The floor rectangle at z = 0, tile by tile, each tile two triangles
// facing up (merged into quadrilaterals later by the library).
void AddTriangleFloor(float xMin, float yMin, float xMax, float yMax, float tileSize, float mapScale);

// A bicubic Bezier patch: 4 rows of 4 control points. Returns the number of
// triangles the library made of it.
int AddBezierPatch(const Vec3 (&controlPoints)[4][4]);

}  // namespace example
