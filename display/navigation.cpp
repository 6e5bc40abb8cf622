// navigation.cpp - camera moves that keep the view matrix and its inverse
// together, without inverting.
//
// Each move builds a matrix X and its inverse Xi directly (a translation by
// the negated offset, a rotation by the negated angle) and applies them on
// one side of the view: on the world side (V' = V X, Vi' = Xi Vi in OpenGL
// terms) the move happens about the world origin and along world axes; on
// the eye side (V' = X V, Vi' = Vi Xi) it happens relative to the viewer.
// No OpenGL here: the new view is loaded at the next VekDisplay_DrawStart.
#include "VekDisplay.h"
#include "core/matrix.h"

namespace vek {
namespace {

enum class Side { World, Eye };

void Apply(const float x[16], const float xi[16], Side side)
{
    float* v = g_mainValueTable.viewMatrix;
    float* vi = g_mainValueTable.inverseViewMatrix;
    // MultiplyMatrix(a, b) applies a first, then b.
    if (side == Side::World) {
        MultiplyMatrix(x, v, v);
        MultiplyMatrix(vi, xi, vi);
    } else {
        MultiplyMatrix(v, x, v);
        MultiplyMatrix(xi, vi, vi);
    }
}

void Translate(float x, float y, float z, Side side)
{
    float t[16], ti[16];
    TranslationMatrix(x, y, z, t);
    TranslationMatrix(-x, -y, -z, ti);
    Apply(t, ti, side);
}

void Rotate(float degrees, float axisX, float axisY, float axisZ, Side side)
{
    const float angle = DegreesToRadians(degrees);
    float r[16], ri[16];
    RotationMatrix(angle, axisX, axisY, axisZ, r);
    // The inverse comes from the negated angle: sin(-a) is exactly -sin(a),
    // so it is X's transpose to the last bit.
    RotationMatrix(-angle, axisX, axisY, axisZ, ri);
    Apply(r, ri, side);
}

}  // namespace
}  // namespace vek

using vek::Side;

void VekDisplay_Translate(float x, float y, float z) { vek::Translate(x, y, z, Side::World); }
void VekDisplay_RotateX(float degrees) { vek::Rotate(degrees, 1, 0, 0, Side::World); }
void VekDisplay_RotateY(float degrees) { vek::Rotate(degrees, 0, 1, 0, Side::World); }
void VekDisplay_RotateZ(float degrees) { vek::Rotate(degrees, 0, 0, 1, Side::World); }

void VekDisplay_Pan_Dolly(float x, float y, float z) { vek::Translate(x, y, z, Side::Eye); }
void VekDisplay_Pitch(float degrees) { vek::Rotate(degrees, 1, 0, 0, Side::Eye); }
void VekDisplay_Yaw(float degrees) { vek::Rotate(degrees, 0, 1, 0, Side::Eye); }
void VekDisplay_Roll(float degrees) { vek::Rotate(degrees, 0, 0, 1, Side::Eye); }
