// surface_draw.cpp - the drawing members of VekSurface: one immediate-mode
// primitive per surface and pass.
//
// A surface of three corners is a triangle, any other a quadrilateral; the
// corners go in stored order, counter-clockwise being the front. Only the
// first two map coordinates reach OpenGL.
#include <GL/gl.h>

#include "VekAttribute.h"
#include "VekSurface.h"

namespace vek {
namespace {

void SendPrimitive(const VekSurface& s, bool withMapCoords)
{
    // Never more corners than the record holds, whatever vertexCount says.
    const int corners = s.vertexCount == 3 ? 3 : 4;
    glBegin(corners == 3 ? GL_TRIANGLES : GL_QUADS);
    for (int i = 0; i < corners; ++i) {
        if (withMapCoords) glTexCoord2fv(&s.mapCoord[i].x);
        glVertex3fv(&s.vertex[i].x);
    }
    glEnd();
}

}  // namespace
}  // namespace vek

void VekSurface::DrawSimple() const { vek::SendPrimitive(*this, false); }

void VekSurface::DrawSolid(bool textured) const
{
    glColor3fv(&attribute->diffuse.x);
    vek::SendPrimitive(*this, textured);
}

void VekSurface::DrawBackface() const
{
    glColor3f(1.0f, 0.0f, 0.0f);
    vek::SendPrimitive(*this, false);
}

void VekSurface::DrawTransparent(bool textured) const
{
    const CG::vec3<float>& d = attribute->diffuse;
    const CG::vec3<float>& t = attribute->transparency;
    // 1. Filter what lies behind by the transmitted colour d t.
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glColor3f(d.x * t.x, d.y * t.y, d.z * t.z);
    vek::SendPrimitive(*this, false);
    // 2. Add the reflected part (1 - t) d.
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f((1.0f - t.x) * d.x, (1.0f - t.y) * d.y, (1.0f - t.z) * d.z);
    vek::SendPrimitive(*this, textured);
}

bool VekSurface::IsBackFace(const CG::vec3<float>& eye) const { return CG::dot(vertex[0] - eye, normal) >= 0.0f; }
