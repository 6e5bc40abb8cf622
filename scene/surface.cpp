// surface.cpp - the surface record, the current surface state and its
// setters, and the host's group record.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "VekAttribute.h"
#include "VekSurface.h"
#include "core/report.h"
#include "core/subsystems.h"
#include "scene/surface_state.h"

namespace vek {
namespace {

SurfaceState g_surface;

void SetWrap(int32_t& field, long mode, const char* name)
{
    if (mode >= 0 && mode <= 3) {
        field = static_cast<int32_t>(mode);
    } else {
        field = 0;
        Warn(VEK_WARNING_INVALID_VALUE, name);
    }
}

}  // namespace

const SurfaceState& CurrentSurfaceState() { return g_surface; }

void ResetSurfaceState()
{
    g_surface.attributeName[0] = '\0';
    g_surface.wrapU = g_surface.wrapV = g_surface.wrapW = 0;
    g_surface.flags = 0;
    g_surface.groupCounter = 0;
}

}  // namespace vek

using vek::g_surface;

VekSurface::VekSurface() {}
VekSurface::VekSurface(const VekSurface& other) = default;
VekSurface& VekSurface::operator=(const VekSurface& other) = default;

int VekSurface::Type() const { return 0; }

bool VekSurface::IsBillboard() const
{
    if (flags & VEK_FACE_BILLBOARD) return true;
    return attribute && (attribute->mapFlags & (VEK_MAP_BILLBOARD | VEK_MAP_BILLBOARD_2));
}

void VekSurface::FlipPolygon()
{
    // Keep corner 0; swap the corners that mirror each other about it.
    int a, b;
    if (vertexCount == 4) {
        a = 1;
        b = 3;
    } else if (vertexCount == 3) {
        a = 1;
        b = 2;
    } else {
        return;
    }
    std::swap(vertex[a], vertex[b]);
    std::swap(vertexNormal[a], vertexNormal[b]);
    std::swap(mapCoord[a], mapCoord[b]);
    for (int i = 0; i < vertexCount; ++i) vertexNormal[i] = -vertexNormal[i];
}

VekGroup::VekGroup() {}
VekGroup::VekGroup(const VekGroup& other) = default;
VekGroup& VekGroup::operator=(const VekGroup& other) = default;
VekGroup::~VekGroup() {}

void VekSurface_SetAttributeName(char* name)
{
    vek::CopyName(g_surface.attributeName, sizeof g_surface.attributeName, name);
}
void VekSurface_SetMapWrapU(long mode) { vek::SetWrap(g_surface.wrapU, mode, "VekSurface_SetMapWrapU"); }
void VekSurface_SetMapWrapV(long mode) { vek::SetWrap(g_surface.wrapV, mode, "VekSurface_SetMapWrapV"); }
void VekSurface_SetMapWrapW(long mode) { vek::SetWrap(g_surface.wrapW, mode, "VekSurface_SetMapWrapW"); }
void VekSurface_SetFlags(unsigned long flags) { g_surface.flags = static_cast<uint32_t>(flags); }
void VekSurface_SetCheckVertexOnOnePlane(long on)
{
    // The table field is 32 bits wide; a non-zero value that does not fit
    // must stay non-zero rather than lose its high bits.
    const bool fits = on >= INT32_MIN && on <= INT32_MAX;
    g_mainValueTable.checkVertexOnOnePlane = fits ? static_cast<int32_t>(on) : 1;
}
void VekSurface_GroupBegin() {}
void VekSurface_GroupEnd()
{
    // Counted in unsigned arithmetic so that a host that ends 2^31 groups
    // wraps around instead of overflowing a signed integer.
    g_surface.groupCounter = static_cast<int32_t>(static_cast<uint32_t>(g_surface.groupCounter) + 1u);
}
long VekSurface_GetCount() { return g_mainStatusTable.surfaceCount; }
