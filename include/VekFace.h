// VekFace.h - the planar triangle or convex quadrilateral on which every ray
// query works, with its ray-face tests and barycentric interpolation.
//
// VekSurface derives from it; area lights are faces too. All geometry is
// single precision. Every 2-D test drops the coordinate along mainAxis and
// works in the two remaining axes (modulo3[mainAxis + 1], modulo3[mainAxis + 2]).
#pragma once

#include "VekTypes.h"

// The two axes other than a, in cyclic order: modulo3[a + 1], modulo3[a + 2].
extern VEK_API const int32_t modulo3[5];

// Face flag bits that the intersection engine reads.
constexpr uint32_t VEK_FACE_NO_SHADOW = 0x1;
constexpr uint32_t VEK_FACE_BILLBOARD = 0x10;
constexpr uint32_t VEK_FACE_BACK_SIDE = 0x1000000;
constexpr uint32_t VEK_FACE_BILLBOARD_VIEW = 0x2000000;
constexpr uint32_t VEK_FACE_BILLBOARD_SHADOW = 0x4000000;
constexpr uint32_t VEK_FACE_HAS_MAP_COORDS = 0x40000000;
constexpr uint32_t VEK_FACE_SMOOTH = 0x80000000;

// One hit of a ray query. The last 40 bytes carry nothing; the ray queries
// leave them zero.
struct HitInfo {
    float t;                 // ray parameter, in units of the direction's length
    CG::vec3<float> point;   // origin + t * direction
    VekFace* face;           // the face hit
    unsigned char reserved[40];
};
static_assert(offsetof(HitInfo, t) == 0 && offsetof(HitInfo, point) == 4 && offsetof(HitInfo, face) == 16 &&
                  offsetof(HitInfo, reserved) == 24 && sizeof(HitInfo) == 64,
              "HitInfo layout is part of the interface");

class VEK_API VekFace {
public:
    // Empty bounds (+1e38 / -1e38), no ray marks, flags 0; corners, plane
    // and main axis stay unset until the owner fills them.
    VekFace();
    // Copies every field, the rayNumbers pointer included (copies share marks).
    VekFace(const VekFace& other);
    // Copies every field; the target keeps its own Type().
    VekFace& operator=(const VekFace& other);
    ~VekFace() {}

    // 0 for a surface; any other value for objects that are not surfaces
    // (area lights). Ray queries use it to decide what may block or be hit.
    virtual int Type() const = 0;

    // Bounds from the corners.
    void SetBoundingBox();
    // planeOffset = normal . vertex[0]; mainAxis = GetMainAxis(normal).
    void SetRaytraceInfo();
    // Takes threadCount ray marks from the library's ray-number blocks and
    // zeroes them. Call it on every face before registering it, after
    // g_mainValueTable.threadCount is set. Raises VEK_ERROR_MEMORY if no block
    // can be allocated.
    void SetRayNumber();

    // Axis of the largest |component|, ties to the lower axis.
    static int8_t GetMainAxis(const CG::vec3<float>& v);

    // Point-in-face test for a point on the plane; either winding.
    bool CheckInOut(const CG::vec3<float>& p) const;

    // Ray origin + t * direction hits the face with tMin < t < tMax (strict).
    // Rays within 0.001 of parallel (|normal . direction| <= 0.001, absolute)
    // never hit.
    bool CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin,
                           float tMax) const;
    // The same; on a hit fills t, point and face of hit. hit is untouched on a miss.
    bool CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin, float tMax,
                           HitInfo& hit) const;
    // The same with optional back-face culling: with cull non-zero a ray that
    // does not arrive against the normal is ignored. Fills hit only on a hit.
    void CheckIntersection(const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin, float tMax,
                           long cull, HitInfo& hit) const;

    // Barycentric weights of p (on the plane). For a quadrilateral the result
    // tells which half holds p: true (0, 1, 3), false (2, 3, 1).
    bool CalcWeight(const CG::vec3<float>& p, CG::vec3<float>& weights) const;
    // Weighted sum of three of the per-corner values, chosen by half as
    // CalcWeight reported it.
    CG::vec3<float> InterpolateParam(bool half, const CG::vec3<float>* values,
                                     const CG::vec3<float>& weights) const;

    int32_t vertexCount;          // 3 or 4
    CG::vec3<float> vertex[4];    // corners in order
    CG::vec3<float> normal;       // unit plane normal
    float planeOffset;            // normal . vertex[0]
    CG::vec3<float> boundsMin;
    CG::vec3<float> boundsMax;
    uint32_t* rayNumbers;         // per ray thread: last ray that tested this face
    uint32_t flags;               // VEK_FACE_* bits and the host's own
    int8_t mainAxis;              // 0, 1, 2
};

static_assert(sizeof(void*) == 8, "the library is built for 64-bit hosts");
// offsetof on a class with a dispatch table is conditionally supported; g++
// and clang lay such classes out as pinned here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(VekFace, vertexCount) == 8, "VekFace layout: the dispatch table comes first");
static_assert(offsetof(VekFace, vertex) == 12, "VekFace layout");
static_assert(offsetof(VekFace, normal) == 60, "VekFace layout");
static_assert(offsetof(VekFace, planeOffset) == 72, "VekFace layout");
static_assert(offsetof(VekFace, boundsMin) == 76, "VekFace layout");
static_assert(offsetof(VekFace, boundsMax) == 88, "VekFace layout");
static_assert(offsetof(VekFace, rayNumbers) == 104, "VekFace layout");
static_assert(offsetof(VekFace, flags) == 112, "VekFace layout");
static_assert(offsetof(VekFace, mainAxis) == 116, "VekFace layout");
static_assert(sizeof(VekFace) == 120, "VekFace layout");
#pragma GCC diagnostic pop
