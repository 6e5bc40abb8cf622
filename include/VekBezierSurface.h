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
    CG::vec3<float> cornerVectors[4];  // kept for the host; zero when none were given
    int32_t uSteps;                    // grid cells along u, >= 1
    int32_t vSteps;                    // grid cells along v, >= 1
    float uStepSize;                   // 1 / uSteps
    float vStepSize;                   // 1 / vSteps
    VekSurface** triangles;            // 2 * uSteps * vSteps surfaces, cell by cell; null where rejected
    VekAttribute* attribute;           // current attribute at creation, or null
};
static_assert(offsetof(VekBezierSurface, controlPoints) == 16, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, cornerVectors) == 24, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, uSteps) == 72, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, vStepSize) == 84, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, triangles) == 88, "VekBezierSurface layout");
static_assert(offsetof(VekBezierSurface, attribute) == 96, "VekBezierSurface layout");

// controlPoints: 3 * uCount * vCount floats, row after row (uCount points
// per row); cornerVectors: 12 floats kept for the host, or null (then zero).
// Returns the new record's slot number. Each cell's two triangles are made
// as by VekSurface_Instanciate, with its warnings and errors (a missing
// attribute raises VEK_ERROR_INVALID_NAME after the record is counted); a
// rejected triangle leaves a null table entry. Counts outside 2..32 or null
// controlPoints: VEK_WARNING_INVALID_VALUE; a non-finite control point:
// VEK_WARNING_BAD_SHAPE; both return -1 and take no record. More than 1024
// cells along a direction are held at 1024 (VEK_WARNING_OUT_OF_RANGE).
VEK_API long VekBezierSurface_Instanciate(long uCount, long vCount, const float* controlPoints,
                                          const float* cornerVectors);

// Slot number of a Bezier record (-1 if it is none) and back.
VEK_API long VekBezierSurface_GetIndex(VekBezierSurface* surface);
VEK_API VekBezierSurface* VekBezierSurface_GetAddress(long index);
