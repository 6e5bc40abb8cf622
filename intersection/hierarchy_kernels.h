// hierarchy_kernels.h - the queries that traverse the hierarchy, compiled
// once per instruction set (the baseline, and AVX2 where the processor has
// it) and chosen once, at the first preparation. Both builds perform the
// same arithmetic and give the same answers; the wider one tests a node's
// eight boxes in one vector instead of two.
#pragma once

#include "VekFace.h"
#include "intersection/grid.h"
#include "intersection/hierarchy.h"

namespace vek {

// What a nearest-hit query asks: CastRay passes over elements that are no
// surfaces; TraceRay passes over billboards' shadow copies and the skip
// face, and may hit area lights.
struct NearestQuery : QueryRay {
    bool cull;
    const VekFace* skip;
};

// What a transmission search asks, with the occluder-cache slot an opaque
// face is stored in (null: the light has no row in the cache).
struct TransmissionQuery : QueryRay {
    float tMax;
    const VekFace* skip;
    const VekFace* skip2;
    FaceRecord* cacheSlot;
};

struct HierarchyKernels {
    // The nearest hit inside (tMin, 1e38): true with hit's t, point and face set.
    bool (*castRay)(const Hierarchy& h, const FaceRecord* records, const NearestQuery& q, HitInfo& hit);
    bool (*traceRay)(const Hierarchy& h, const FaceRecord* records, const NearestQuery& q, HitInfo& hit);
    // The factor that passes, (0, 0, 0) when an opaque face is in the way.
    CG::vec3<float> (*transmission)(const Hierarchy& h, const FaceRecord* records, const TransmissionQuery& q);
};

// The kernels for this processor.
const HierarchyKernels& SelectKernels();

// What the face of a record hit by a shadow ray at point lets through,
// multiplied into factor; false when it stops the light (an opaque
// material's record is then copied into the cache slot, when there is one).
bool AttenuateByFace(const FaceRecord& record, const CG::vec3<float>& point, CG::vec3<float>& factor,
                     FaceRecord* cacheSlot);

namespace baseline {
extern const HierarchyKernels kKernels;
}
namespace avx2 {
extern const HierarchyKernels kKernels;
}

}  // namespace vek
