// VekDisplay.h - the view (window, viewport, projection, camera) and OpenGL
// 1.x drawing of the scene into the host's current context.
//
// The view state lives in g_mainValueTable (defaults set by
// VekMain_Initialize). Changes of window, viewport, projection window or clip
// distances reload the OpenGL projection at once; view matrix changes take
// effect at the next VekDisplay_DrawStart. All calls that reach OpenGL need
// the host's context current on the calling thread; the navigation calls and
// VekDisplay_GetMatrix do not touch OpenGL.
#pragma once

#include "VekTypes.h"

// Initial OpenGL state of a context (depth test with GL_LEQUAL, black clear
// colour, smooth shading, counter-clockwise fronts, no lighting, filled
// polygons, no blending), then the projection. Call it once per context; it
// keeps the stored view.
VEK_API void VekDisplay_Initialize();
// displayFlags = flags (VEK_DISPLAY_* bits; others are kept and ignored).
// Takes effect at the next VekDisplay_DrawSurface.
VEK_API void VekDisplay_SetMode(uint32_t flags);

// The setters below store their values and reload the projection and
// viewport at once. Values that OpenGL would reject are refused with
// VEK_WARNING_INVALID_VALUE under the setter's name, and the stored view and
// the loaded projection stay as they were.

// Clip distances: refused unless 0 < clipNear < clipFar, both finite.
VEK_API void VekDisplay_SetClip(float clipNear, float clipFar);
// Projection window at the near distance: refused when empty (left == right
// or top == bottom) or not finite. A mirrored window (left > right) is valid.
VEK_API void VekDisplay_SetScreenWindow(float left, float top, float right, float bottom);
// Viewport in window pixels, y counted downward from the window's top:
// edges x, y, x + width, y + height. Refused for a negative size or edges
// beyond the 32-bit range.
VEK_API void VekDisplay_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
// Window size in pixels; refused when negative.
VEK_API void VekDisplay_SetScreenSize(int32_t width, int32_t height);
// Four values: left, top, right, bottom (the order SetScreenWindow takes),
// inside g_mainValueTable; valid until the process ends.
VEK_API float* VekDisplay_GetScreenWindow();
// Two values: near, far, inside g_mainValueTable.
VEK_API float* VekDisplay_GetClip();
// Copies the view matrix (world to eye, OpenGL element order). No OpenGL.
VEK_API void VekDisplay_GetMatrix(float out[16]);
// Loads m into the current OpenGL matrix at once (the modelview matrix after
// any projection change) and keeps it with its inverse. A singular m is kept
// with a non-finite inverse, without a report.
VEK_API void VekDisplay_SetMatrix(const float m[16]);

// Navigation: each move changes the view matrix and its inverse together;
// nothing reaches OpenGL until the next VekDisplay_DrawStart. Angles in
// degrees, counter-clockwise about the axis.
// World side (about the world origin, along world axes) ...
VEK_API void VekDisplay_Translate(float x, float y, float z);
VEK_API void VekDisplay_RotateX(float degrees);
VEK_API void VekDisplay_RotateY(float degrees);
VEK_API void VekDisplay_RotateZ(float degrees);
// ... and eye side (x right, y up, z toward the viewer).
VEK_API void VekDisplay_Pan_Dolly(float x, float y, float z);
VEK_API void VekDisplay_Pitch(float degrees);
VEK_API void VekDisplay_Yaw(float degrees);
VEK_API void VekDisplay_Roll(float degrees);

// One frame: DrawStart clears colour and depth and loads the view matrix as
// the modelview matrix; DrawSurface draws the scene as displayFlags say;
// the host swaps buffers after DrawEnd.
VEK_API void VekDisplay_DrawStart();
// Culling as VEK_DISPLAY_CULL says; then, while g_mainValueTable.
// displaySurfaceFlag is 1, every surface in list order: filled (back faces
// in red and untextured with VEK_DISPLAY_BACKFACE), black outlines over
// filled surfaces or white ones alone (VEK_DISPLAY_WIRE), textured from
// the attribute's map 1 (VEK_DISPLAY_TEXTURE), transparent surfaces in a
// blended pass of their own (VEK_DISPLAY_TRANSPARENT, not with outlines
// alone); then the visible area and linear lights (VEK_DISPLAY_LIGHTS).
// Texturing and blending are off and polygons filled afterwards. The map
// image is uploaded again whenever consecutive textured surfaces change
// attribute: scenes created in attribute order upload least.
VEK_API void VekDisplay_DrawSurface();
// Nothing to do: the host owns the context and swaps its buffers.
VEK_API void VekDisplay_DrawEnd();
VEK_API void VekDisplay_End();
