// VekBezierSurface.h - tensor-product Bezier patches, tessellated into
// triangle surfaces with smooth corner normals.
//
// The patch is evaluated on a regular (u, v) grid whose density follows the
// size of its control net (one cell per 0.2 scene units of the longest
// control-net edge times the number of edges); every grid cell becomes two
// surfaces made with the current surface state, as by VekSurface_Instanciate.
#pragma once

#include "VekSurface.h"

struct VekBezierSurface {
    VekBezierSurface* next;            // Bezier list link
    int32_t uCount;                    // control points per row, 2..32
    int32_t vCount;                    // rows, 2..32
    CG::vec3<float>* controlPoints;    // the library's copy, row after row: point (i, r) at r * uCount + i
    CG::vec3<float> cornerVectors[4];  // kept for the host; unwritten when none were given
    int32_t uSteps;                    // grid cells along u, >= 1
    int32_t vSteps;                    // grid cells along v, >= 1
    float uStepSize;                   // 1 / uSteps
    float vStepSize;                   // 1 / vSteps
    VekSurface** triangles;            // 2 * uSteps * vSteps surfaces, cell by cell
    VekAttribute* attribute;           // current attribute at creation, or null
};
static_assert(offsetof(VekBezierSurface, controlPoints) == 16, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, cornerVectors) == 24, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, uSteps) == 72, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, vStepSize) == 84, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, triangles) == 88, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, attribute) == 96, "VekBezierSurface layout");

// controlPoints: 3 * uCount * vCount floats; cornerVectors: 12 floats or null.
// Returns the new record's slot number.
VEK_API long VekBezierSurface_Instanciate(long uCount, long vCount, const float* controlPoints,
                                          const float* cornerVectors);

// Slot number of a Bezier record (-1 if it is none) and back.
VEK_API long VekBezierSurface_GetIndex(VekBezierSurface* surface);
VEK_API VekBezierSurface* VekBezierSurface_GetAddress(long index);
