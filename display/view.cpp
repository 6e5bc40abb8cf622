// view.cpp - the view of g_mainValueTable as OpenGL sees it: the initial
// state of a context, the projection and viewport, and the setters and
// getters of the view.
//
// Every setter that changes the frustum or the viewport reloads the
// projection at once. The setters refuse values that OpenGL would reject
// (a frustum with a non-positive near distance, a far distance not beyond
// it or an empty window; a negative size), so that a rejected call leaves the
// last good projection in place instead of an identity projection.
#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "VekDisplay.h"
#include "core/matrix.h"
#include "core/report.h"

namespace vek {
namespace {

bool Finite(float v) { return std::isfinite(v); }

// Viewport arithmetic in 64 bits: a host may write the edges to the value
// table directly, and differences of two 32-bit edges can overflow.
GLint SaturateToGLint(int64_t v)
{
    constexpr int64_t lo = std::numeric_limits<GLint>::min();
    constexpr int64_t hi = std::numeric_limits<GLint>::max();
    return static_cast<GLint>(v < lo ? lo : (v > hi ? hi : v));
}

// Loads the projection and the viewport from the view state and leaves the
// modelview matrix current.
void SetProjection()
{
    const _VekMainValueTable& v = g_mainValueTable;
    // 1. A fresh projection matrix.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // 2. The window's second value is the frustum's top, its fourth the bottom.
    glFrustum(static_cast<double>(v.screenWindow[0]), static_cast<double>(v.screenWindow[2]),
              static_cast<double>(v.screenWindow[3]), static_cast<double>(v.screenWindow[1]),
              static_cast<double>(v.clipNear), static_cast<double>(v.clipFar));
    // 3. The viewport is kept with y growing downward; OpenGL's grows upward.
    glViewport(v.viewportLeft, SaturateToGLint(int64_t{v.screenHeight} - v.viewportBottom),
               SaturateToGLint(int64_t{v.viewportRight} - v.viewportLeft),
               SaturateToGLint(int64_t{v.viewportBottom} - v.viewportTop));
    // 4.
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace
}  // namespace vek

void VekDisplay_Initialize()
{
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glRenderMode(GL_RENDER);
    glShadeModel(GL_SMOOTH);
    glFrontFace(GL_CCW);
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_BLEND);
    vek::SetProjection();
}

void VekDisplay_SetMode(uint32_t flags) { g_mainValueTable.displayFlags = flags; }

void VekDisplay_SetClip(float clipNear, float clipFar)
{
    // Negated comparisons so that NaN is refused too.
    if (!vek::Finite(clipNear) || !vek::Finite(clipFar) || !(clipNear > 0.0f) || !(clipFar > clipNear)) {
        vek::Warn(VEK_WARNING_INVALID_VALUE, "VekDisplay_SetClip");
        return;
    }
    g_mainValueTable.clipNear = clipNear;
    g_mainValueTable.clipFar = clipFar;
    vek::SetProjection();
}

void VekDisplay_SetScreenWindow(float left, float top, float right, float bottom)
{
    // A mirrored window (left > right or bottom > top) is a valid frustum;
    // only an empty one is not.
    if (!vek::Finite(left) || !vek::Finite(top) || !vek::Finite(right) || !vek::Finite(bottom) || left == right ||
        top == bottom) {
        vek::Warn(VEK_WARNING_INVALID_VALUE, "VekDisplay_SetScreenWindow");
        return;
    }
    float* w = g_mainValueTable.screenWindow;
    w[0] = left;
    w[1] = top;
    w[2] = right;
    w[3] = bottom;
    vek::SetProjection();
}

void VekDisplay_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height)
{
    const int64_t right = int64_t{x} + width, bottom = int64_t{y} + height;
    if (width < 0 || height < 0 || right > std::numeric_limits<int32_t>::max() ||
        bottom > std::numeric_limits<int32_t>::max()) {
        vek::Warn(VEK_WARNING_INVALID_VALUE, "VekDisplay_SetViewport");
        return;
    }
    _VekMainValueTable& v = g_mainValueTable;
    v.viewportLeft = x;
    v.viewportTop = y;
    v.viewportRight = static_cast<int32_t>(right);
    v.viewportBottom = static_cast<int32_t>(bottom);
    vek::SetProjection();
}

void VekDisplay_SetScreenSize(int32_t width, int32_t height)
{
    if (width < 0 || height < 0) {
        vek::Warn(VEK_WARNING_INVALID_VALUE, "VekDisplay_SetScreenSize");
        return;
    }
    g_mainValueTable.screenWidth = width;
    g_mainValueTable.screenHeight = height;
    vek::SetProjection();
}

float* VekDisplay_GetScreenWindow() { return g_mainValueTable.screenWindow; }

// clipFar follows clipNear in the value table, so the pair reads as two floats.
static_assert(offsetof(_VekMainValueTable, clipFar) == offsetof(_VekMainValueTable, clipNear) + sizeof(float),
              "near and far clip distances are adjacent");
float* VekDisplay_GetClip() { return &g_mainValueTable.clipNear; }

void VekDisplay_GetMatrix(float out[16]) { std::memcpy(out, g_mainValueTable.viewMatrix, 16 * sizeof(float)); }

void VekDisplay_SetMatrix(const float m[16])
{
    // Loaded into whichever matrix is current: the modelview after any
    // projection change. A singular m is kept with a non-finite inverse.
    glLoadMatrixf(m);
    float copy[16];  // m may point into the value table itself
    std::memcpy(copy, m, sizeof copy);
    std::memcpy(g_mainValueTable.viewMatrix, copy, sizeof copy);
    vek::InvertMatrix(copy, g_mainValueTable.inverseViewMatrix);
}
