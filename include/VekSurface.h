// VekSurface.h - surfaces (one planar triangle or quadrilateral of the scene
// with its material, corner normals and map coordinates), the current
// surface state that shapes the next instanciation, groups, and merging.
//
// Setters fill the current state; VekSurface_Instanciate consumes it. Every
// surface is a VekFace, ready for the intersection engine once the host has
// given it ray marks (VekFace::SetRayNumber).
#pragma once

#include <vector>

#include "VekFace.h"

class VEK_API VekSurface : public VekFace {
public:
    // Empty bounds, no ray marks, flags 0; the rest is unset until
    // instanciation fills it.
    VekSurface();
    // Copies every field; next, twin, attribute and rayNumbers are shared.
    VekSurface(const VekSurface& other);
    // Copies every field; the target keeps its own Type().
    VekSurface& operator=(const VekSurface& other);
    ~VekSurface() {}

    int Type() const override;  // 0

    // True if flags has 0x10 or the attribute's mapFlags has 0x10 or 0x20.
    bool IsBillboard() const;
    // Reverses the corner order keeping corner 0 (0,1,2,3 -> 0,3,2,1;
    // 0,1,2 -> 0,2,1) and negates the corner normals; the face normal, plane
    // and bounds stay as they were. Other corner counts: nothing happens.
    void FlipPolygon();

    // Drawing into the current OpenGL context (display family).
    // The primitive with its corners only, in the current colour.
    void DrawSimple() const;
    // The attribute's diffuse colour, then the primitive; with textured, each
    // corner is preceded by its map coordinates.
    void DrawSolid(bool textured) const;
    // The primitive in red, corners only.
    void DrawBackface() const;
    // Two blended passes: the frame behind is filtered by diffuse x
    // transparency, then (1 - transparency) x diffuse is added.
    void DrawTransparent(bool textured) const;
    // True when (vertex[0] - eye) . normal >= 0.
    bool IsBackFace(const CG::vec3<float>& eye) const;

    VekSurface* next;                // surface list link
    CG::vec3<float> vertexNormal[4]; // unit normal at each corner
    CG::vec3<float> mapCoord[4];     // u, v, w per corner; zero without map coordinates
    VekAttribute* attribute;         // the material
    uint32_t mapWrap;                // wrapU + 256 wrapV + 65536 wrapW; 0 without map coordinates
    VekSurface* twin;                // other side of a double-sided surface, or null
    uint64_t reserved;               // always 0
    int32_t groupNumber;             // group counter when the surface was made
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(VekSurface, next) == 120, "VekSurface layout");
static_assert(offsetof(VekSurface, vertexNormal) == 128, "VekSurface layout");
static_assert(offsetof(VekSurface, mapCoord) == 176, "VekSurface layout");
static_assert(offsetof(VekSurface, attribute) == 224, "VekSurface layout");
static_assert(offsetof(VekSurface, mapWrap) == 232, "VekSurface layout");
static_assert(offsetof(VekSurface, twin) == 240, "VekSurface layout");
static_assert(offsetof(VekSurface, reserved) == 248, "VekSurface layout");
static_assert(offsetof(VekSurface, groupNumber) == 256, "VekSurface layout");
#pragma GCC diagnostic pop

// A record kept for the host's own grouping; the library never creates or
// reads one.
class VEK_API VekGroup {
public:
    VekGroup();                              // members empty, tag unset
    VekGroup(const VekGroup& other);         // copies tag, duplicates members
    VekGroup& operator=(const VekGroup& other);
    ~VekGroup();

    void* tag;                 // the host's own meaning
    std::vector<void*> members;
};

// Current surface state --------------------------------------------------------

// Attribute that the next surfaces take, by name (at most 63 characters;
// longer names are cut to 63; null clears it).
VEK_API void VekSurface_SetAttributeName(char* name);
// Map wrap modes 0..3; others store 0 with VEK_WARNING_INVALID_VALUE.
VEK_API void VekSurface_SetMapWrapU(long mode);
VEK_API void VekSurface_SetMapWrapV(long mode);
VEK_API void VekSurface_SetMapWrapW(long mode);
// Flags of the next surfaces, unchecked (see VEK_FACE_*).
VEK_API void VekSurface_SetFlags(unsigned long flags);
// Non-zero: a non-planar quadrilateral is split into two triangles.
VEK_API void VekSurface_SetCheckVertexOnOnePlane(long on);
// Groups are delimited by GroupEnd alone: it advances the group counter.
VEK_API void VekSurface_GroupBegin();
VEK_API void VekSurface_GroupEnd();
VEK_API long VekSurface_GetCount();

// Instanciation ---------------------------------------------------------------

// Makes a surface of 3 or 4 corners: positions float[count][3]; normals and
// mapCoords float[count][3] or null. Duplicate and collinear corners are
// dropped (VEK_WARNING_DUPLICATE_POSITION); degenerate or folded shapes,
// other counts, null positions and non-finite values make nothing
// (VEK_WARNING_BAD_SHAPE, result 0). With the planarity check on, a
// non-planar quadrilateral becomes two triangles (0, 1, 3) and (1, 2, 3)
// (VEK_WARNING_BAD_SHAPE, result 0). Returns the new surface's slot
// number, or 0 when none was made (slot 0 is also the first surface's).
// Raises VEK_ERROR_INVALID_NAME when the current attribute name matches no
// attribute; no surface is then left behind.
VEK_API long VekSurface_Instanciate(long count, float* positions, float* normals, float* mapCoords);
// The same plus a reversed back side (flag 0x1000000) linked through twin.
// Returns the front's slot number.
VEK_API long VekSurface_InstanciateDouble(long count, float* positions, float* normals, float* mapCoords);

// Joins pairs of triangles into convex quadrilaterals: same attribute
// record, face normals within about 0.08 degrees, a shared edge whose corner
// normals agree. For each triangle in list order the first later partner
// wins and returns to the pool: surfaceCount drops and its slot is handed to
// a later surface. The quadrilateral keeps the triangle's plane, flags and
// links; its bounds cover all four corners. A twin that named a merged-away
// triangle is cleared; a Bezier table entry that named one names the
// quadrilateral. Call it before preparing the intersection environment.
// About linear time: each triangle's partners are looked up by corner
// position, with the same pairs as a walk over the rest of the list. Raises
// VEK_ERROR_MEMORY when its index cannot be had (nothing is merged then).
VEK_API void VekSurface_SimpleMergeAll();

// Slot number of a surface (-1 if it is no surface record) and back.
VEK_API long VekSurface_GetIndex(VekSurface* surface);
VEK_API VekSurface* VekSurface_GetAddress(long index);
