// VekTool.h - the four geometry routines of the sibling module libVekTool.
//
// Contract relied on by VekMain:
// - VekTool_Normalize(out, in): out = in / |in|. out and in may be the same
//   array (the library always passes one array). A zero vector stays zero.
// - VekTool_GetPolygonNormal(count, vertices, normal): unit normal of the
//   polygon (count 3 or 4 corners, Newell's method), oriented by the corner
//   order: the corners run counter-clockwise seen from the side the normal
//   points to, so reversing them reverses the normal. A degenerate polygon
//   gives (0, 0, 0). Other counts use every corner given (count >= 3).
// - VekTool_GetTriangleArea(a, b, c): the triangle's area, never negative.
// - VekTool_TransformDirections(count, directions, matrix, out): out[i] =
//   the upper-left 3x3 part of matrix applied to directions[i] (no
//   translation). matrix has 16 floats in OpenGL element order: the element
//   of row r and column c is at matrix[4c + r], so
//       out.x = m[0] x + m[4] y + m[8] z,
//       out.y = m[1] x + m[5] y + m[9] z,
//       out.z = m[2] x + m[6] y + m[10] z.
//   For a general light this matrix maps world directions into the light's
//   photometric frame (z: vertical angle 0; x: horizontal angle 0; y: 90).
//   Returns count. out is not normalised.
#pragma once

#include "VekTypes.h"

VEK_API void VekTool_Normalize(float* const out, float* const in);
VEK_API void VekTool_GetPolygonNormal(long count, float (*vertices)[3], float* const normal);
VEK_API float VekTool_GetTriangleArea(float* a, float* b, float* c);
VEK_API long VekTool_TransformDirections(long count, float (*directions)[3], float* matrix, float (*out)[3]);
