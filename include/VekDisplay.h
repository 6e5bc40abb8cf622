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

// Initial OpenGL state of a context, then the projection.
VEK_API void VekDisplay_Initialize();
// displayFlags = flags (VEK_DISPLAY_* bits).
VEK_API void VekDisplay_SetMode(uint32_t flags);
VEK_API void VekDisplay_SetClip(float clipNear, float clipFar);
VEK_API void VekDisplay_SetScreenWindow(float left, float top, float right, float bottom);
// Viewport in window pixels, y counted downward from the window's top.
VEK_API void VekDisplay_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
VEK_API void VekDisplay_SetScreenSize(int32_t width, int32_t height);
// Four values: left, top, right, bottom.
VEK_API float* VekDisplay_GetScreenWindow();
// Two values: near, far.
VEK_API float* VekDisplay_GetClip();
VEK_API void VekDisplay_GetMatrix(float out[16]);
// Loads m at once and keeps it with its inverse.
VEK_API void VekDisplay_SetMatrix(const float m[16]);

// Navigation: world side (about the world origin, along world axes) ...
VEK_API void VekDisplay_Translate(float x, float y, float z);
VEK_API void VekDisplay_RotateX(float degrees);
VEK_API void VekDisplay_RotateY(float degrees);
VEK_API void VekDisplay_RotateZ(float degrees);
// ... and eye side (x right, y up, z toward the viewer).
VEK_API void VekDisplay_Pan_Dolly(float x, float y, float z);
VEK_API void VekDisplay_Pitch(float degrees);
VEK_API void VekDisplay_Yaw(float degrees);
VEK_API void VekDisplay_Roll(float degrees);

// One frame: DrawStart clears and loads the view; DrawSurface draws the
// scene as displayFlags say; the host swaps buffers after DrawEnd.
VEK_API void VekDisplay_DrawStart();
VEK_API void VekDisplay_DrawSurface();
VEK_API void VekDisplay_DrawEnd();
VEK_API void VekDisplay_End();
