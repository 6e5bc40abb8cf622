// frame.cpp - drawing a frame of the scene: every surface of the surface
// list as displayFlags select (filled, outlined, textured, transparent
// surfaces blended in a pass of their own, back faces in red), then the
// visible area and linear lights.
//
// Immediate mode, one primitive per surface and pass, surfaces in list
// order. Transparent surfaces are not sorted: each is blended in two passes
// (filter what lies behind, then add what it reflects) with depth testing
// and depth writes on.
#include <GL/gl.h>

#include <algorithm>

#include "VekAttribute.h"
#include "VekDisplay.h"
#include "VekLight.h"
#include "VekMemory.h"
#include "VekSurface.h"
#include "display/texture.h"

namespace vek {
namespace {

// A surface is opaque when every transparency component is at most this,
// and transparent when some component is at least this; a component of
// exactly this value puts the surface in both passes.
constexpr float kTransparencyThreshold = 1e-10f;

enum class Selection { Opaque, Transparent, All };

bool HasFlag(uint32_t flag) { return (g_mainValueTable.displayFlags & flag) != 0; }

bool Matches(const VekSurface& s, Selection selection)
{
    const CG::vec3<float>& t = s.attribute->transparency;
    switch (selection) {
    case Selection::Opaque:
        return t.x <= kTransparencyThreshold && t.y <= kTransparencyThreshold && t.z <= kTransparencyThreshold;
    case Selection::Transparent:
        return t.x >= kTransparencyThreshold || t.y >= kTransparencyThreshold || t.z >= kTransparencyThreshold;
    case Selection::All: break;
    }
    return true;
}

// The texture state of one pass over the list: the attribute whose map is
// the current texture, or null while texturing is off.
class PassTexture {
public:
    // Whether s is drawn textured; uploads its attribute's map when that is
    // not the current texture, or turns texturing off.
    bool Prepare(const VekSurface& s)
    {
        VekAttribute* attribute = s.attribute;
        const bool textured = HasFlag(VEK_DISPLAY_TEXTURE) && (attribute->mapFlags & VEK_MAP_1);
        if (textured) {
            if (attribute != last_) {
                BindAttributeTexture(attribute);
                last_ = attribute;
            }
        } else {
            Untextured();
        }
        return textured;
    }
    void Untextured()
    {
        if (last_) {
            glDisable(GL_TEXTURE_2D);
            last_ = nullptr;
        }
    }

private:
    const VekAttribute* last_ = nullptr;
};

void DrawSurfacePass(Selection selection)
{
    // 1-3.
    PassTexture texture;
    for (const VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        if (!Matches(*s, selection)) continue;
        const bool textured = texture.Prepare(*s);
        if (selection == Selection::Transparent)
            s->DrawTransparent(textured);
        else
            s->DrawSolid(textured);
    }
    // 4. Also after an empty list.
    glDisable(GL_TEXTURE_2D);
}

// The eye is where the inverse view takes the eye's origin.
CG::vec3<float> EyePosition()
{
    const float* m = g_mainValueTable.inverseViewMatrix;
    CG::vec3<float> eye(m[12], m[13], m[14]);
    if (m[15] != 1.0f) eye *= 1.0f / m[15];
    return eye;
}

void DrawSurfacesShowingBackfaces()
{
    // 1.
    const CG::vec3<float> eye = EyePosition();
    // 2. A surface seen exactly edge-on counts as a back face.
    PassTexture texture;
    for (const VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        if (s->IsBackFace(eye)) {
            texture.Untextured();
            s->DrawBackface();
        } else {
            s->DrawSolid(texture.Prepare(*s));
        }
    }
    // 3.
    glDisable(GL_TEXTURE_2D);
}

void DrawWireframe(const GLfloat colour[3])
{
    glColor3fv(colour);
    for (const VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) s->DrawSimple();
}

void DrawScene(bool transparentPass)
{
    const bool solid = HasFlag(VEK_DISPLAY_SOLID);
    // 1. Filled surfaces.
    if (solid) {
        if (HasFlag(VEK_DISPLAY_BACKFACE))
            DrawSurfacesShowingBackfaces();
        else
            DrawSurfacePass(transparentPass ? Selection::Opaque : Selection::All);
    }
    // 2. Outlines, pulled towards the viewer so that they win the depth test
    // against the filled surfaces they lie on.
    if (HasFlag(VEK_DISPLAY_WIRE)) {
        static const GLfloat kBlack[3] = {0.0f, 0.0f, 0.0f};
        static const GLfloat kWhite[3] = {1.0f, 1.0f, 1.0f};
        glPolygonOffset(-1.0f, 0.0f);
        glEnable(GL_POLYGON_OFFSET_LINE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        DrawWireframe(solid ? kBlack : kWhite);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
    }
    // 3. Transparent surfaces. Without culling, the far sides of all of them
    // are blended before the near sides.
    if (!HasFlag(VEK_DISPLAY_BACKFACE) && transparentPass) {
        glEnable(GL_BLEND);
        if (solid) {
            if (HasFlag(VEK_DISPLAY_CULL)) {
                glCullFace(GL_BACK);
                DrawSurfacePass(Selection::Transparent);
            } else {
                glEnable(GL_CULL_FACE);
                glCullFace(GL_FRONT);
                DrawSurfacePass(Selection::Transparent);
                glCullFace(GL_BACK);
                DrawSurfacePass(Selection::Transparent);
                glDisable(GL_CULL_FACE);
            }
        }
        glDisable(GL_BLEND);
    }
    // 4.
    glFlush();
}

// colour / its largest component, so that the brightest channel is 1.
// Energies are floored at 1e-6, so the largest is positive for any light
// the library made.
void SetNormalisedColour(const CG::vec3<float>& colour)
{
    const float largest = std::max({colour.x, colour.y, colour.z});
    const CG::vec3<float> c = largest > 0.0f ? colour * (1.0f / largest) : colour;
    glColor3f(c.x, c.y, c.z);
}

void DrawLights()
{
    for (const _VekLight* light = VekMemory_GetLightList(); light; light = light->next) {
        if (light->type == VEK_LIGHT_AREA) {
            const auto* area = static_cast<const VekAreaLight*>(light->parameters);
            // The block holds at most four corners.
            if (!area->visible || area->vertexCount < 3 || area->vertexCount > 4) continue;
            SetNormalisedColour(area->energyDensity);
            glBegin(GL_POLYGON);
            for (int i = 0; i < area->vertexCount; ++i) glVertex3fv(&area->vertex[i].x);
            glEnd();
        } else if (light->type == VEK_LIGHT_LINEAR) {
            const auto* linear = static_cast<const _VekLinearLight*>(light->parameters);
            if (!linear->visible) continue;
            SetNormalisedColour(linear->energy);
            glBegin(GL_LINES);
            glVertex3fv(&linear->start.x);
            glVertex3fv(&linear->end.x);
            glEnd();
        }
    }
}

}  // namespace
}  // namespace vek

void VekDisplay_DrawStart()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(g_mainValueTable.viewMatrix);
}

void VekDisplay_DrawSurface()
{
    // 1. Culling.
    if (vek::HasFlag(VEK_DISPLAY_CULL)) {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
    } else {
        glDisable(GL_CULL_FACE);
    }
    // 2. Surfaces; outlines alone never get a blended pass.
    if (g_mainValueTable.displaySurfaceFlag == 1) {
        const bool transparentPass =
            vek::HasFlag(VEK_DISPLAY_TRANSPARENT) && (g_mainValueTable.displayFlags & 3u) != VEK_DISPLAY_WIRE;
        vek::DrawScene(transparentPass);
    }
    // 3. Lights.
    if (vek::HasFlag(VEK_DISPLAY_LIGHTS)) vek::DrawLights();
}

// The host owns the context and swaps its buffers; a frame's end and the
// display's end leave nothing to do.
void VekDisplay_DrawEnd() {}
void VekDisplay_End() {}
