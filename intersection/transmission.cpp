// transmission.cpp - transmission searches: how much light passes along a
// segment or half-line towards a light, through transparent materials and
// transparency (second) maps, and the per-light occluder cache.
//
// A search first re-tests the face that last stopped a ray of the same light
// on the same thread (shadow rays come in coherent runs, so this often ends
// it with one test), then traverses the hierarchy, multiplying the factor of
// every face met (each face lies in one leaf, so each counts once); an
// opaque face ends it.
//
// Whether a face casts shadows, and whether its material stops all light,
// is taken from its record, made when the environment was prepared: most
// shadow rays end at an opaque face, and reading the face itself there
// would cost a trip to memory per ray. Only faces that let some light
// through are read, for their transparency and second-map texels.
#include <algorithm>
#include <climits>
#include <new>

#include "VekAttribute.h"
#include "VekIntersection.h"
#include "VekMap.h"
#include "VekSurface.h"
#include "core/checked.h"
#include "core/report.h"
#include "core/threads.h"
#include "intersection/environment.h"
#include "intersection/face_tests.h"
#include "intersection/hierarchy_kernels.h"
#include "intersection/record_test.h"
#include "intersection/walk.h"

namespace vek {
namespace {

// A factor whose components sum below this is opaque.
constexpr float kOpaqueSum = 1e-10f;
bool Opaque(const CG::vec3<float>& f) { return f.x + f.y + f.z < kOpaqueSum; }
// Turns a byte into [0, 1].
constexpr float kByteToUnit = 0.003921568f;
// The segment of VekIntersection_Search excludes both ends.
constexpr float kSegmentStart = 1e-5f;
constexpr float kSegmentEnd = 0.99999f;

const CG::vec3<float> kClear(1.0f, 1.0f, 1.0f);
const CG::vec3<float> kBlocked(0.0f, 0.0f, 0.0f);

// The second map's texel at the hit point, as a factor blended with the
// attribute's transparency.
CG::vec3<float> MapFactor(VekSurface& s, const VekAttribute& a, CG::vec3<float> point)
{
    _VekMap* map = a.map2;
    // 1. The texel.
    const unsigned char* texel = VekMap_GetMapColor(point, s.vertexCount, s.vertex, s.mapCoord, s.normal, map);
    // 2. Alpha from a fourth channel, and 3. the colour (grey repeated).
    const float alpha = map->components >= 4 ? static_cast<float>(texel[3]) * kByteToUnit : 1.0f;
    CG::vec3<float> m = map->components < 3
                            ? CG::vec3<float>(texel[0], texel[0], texel[0])
                            : CG::vec3<float>(texel[0], texel[1], texel[2]);
    // 4. Inverted on request, and 5. to [0, 1].
    if (a.map2Invert) m = CG::vec3<float>(255.0f - m.x, 255.0f - m.y, 255.0f - m.z);
    m *= kByteToUnit;
    // 6. Blended into the transparency.
    return VekMap_BlendMapColor(a.map2BlendMode, alpha, a.map2BlendRatio, a.transparency, m, 1.0f);
}

// Whether a cached occluder's record blocks the segment: its face's own
// test, from the copy (a record that cannot reproduce it tests the face).
bool RecordBlocks(const FaceRecord& r, const CG::vec3<float>& origin, const CG::vec3<float>& direction, float tMin,
                  float tMax)
{
    if ((r.face & kRecordAxisMask) == kRecordIndirect)
        return RecordFace(r)->CheckIntersection(origin, direction, tMin, tMax);
    FaceLanes<4> f;
    LoadFaceLanes(r, f);
    FaceHits<4> found;
    TestFaceLanes(f, RayLanes<4>(origin, direction), tMin, tMax, false, 1u, found);
    return found.hits != 0;
}

// A second map the lookup can read: named by the attribute and holding an
// image. Without one the attribute's transparency stands alone.
bool HasReadableMap2(const VekAttribute& a)
{
    const _VekMap* map = a.map2;
    return (a.mapFlags & VEK_MAP_2) && map && map->pixels && map->width > 0 && map->height > 0 &&
           map->components > 0;
}

CG::vec3<float> SearchTransmission(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                   const VekFace* skip, const VekFace* skip2, float tMin, float tMax, long light,
                                   long thread)
{
    Environment& env = CurrentEnvironment();
    VekGrid* grid = env.topGrid.get();
    if (!grid || static_cast<unsigned long>(thread) >= static_cast<unsigned long>(env.threadLimit)) return kClear;
    const int t = static_cast<int>(thread);
    // 1. The ray number.
    NextRayNumber(*grid, t);
    // 2. The light's cached occluder is tried first, from the copy of its
    //    record in the thread's own slot. A light without a row in the
    //    cache (beyond the last reset) searches without one.
    FaceRecord* slot = nullptr;
    if (light >= 0 && light < grid->occluderCacheLights && t < grid->occluderCacheThreads) {
        slot = &grid->occluderCache[static_cast<size_t>(t) * grid->occluderCacheLights + light];
        if (slot->face) {
            const VekFace* cached = RecordFace(*slot);
            if (cached != skip && cached != skip2 && RecordBlocks(*slot, origin, direction, tMin, tMax))
                return kBlocked;
            slot->face = 0;
        }
    }
    // 3. An origin outside the scene finds nothing in the way.
    int32_t cell[3];
    if (!UnclippedEntryCell(*grid, origin, cell)) return kClear;
    // 4.-6. The hierarchy, every face met once.
    const TransmissionQuery q{{origin, direction, tMin}, tMax, skip, skip2, slot};
    return env.kernels->transmission(env.hierarchy, grid->records.data(), q);
}

void ResetCache(long lights, const char* name)
{
    Environment& env = CurrentEnvironment();
    VekGrid* grid = env.topGrid.get();
    if (!grid || lights <= 0) return;
    // 1. Room for more lights: a new cache, a row per ray thread.
    if (lights > grid->occluderCacheLights) {
        uint64_t slots = 0, bytes = 0;
        const bool fits = lights <= INT32_MAX && CheckedMul(static_cast<uint64_t>(lights), env.threadLimit, slots) &&
                          CheckedMul(slots, sizeof(FaceRecord), bytes);
        if (!fits) Fail(VEK_ERROR_MEMORY, name);
        try {
            grid->occluderCache.assign(slots, FaceRecord{});
        } catch (const std::bad_alloc&) {
            Fail(VEK_ERROR_MEMORY, name);
        }
        grid->occluderCacheLights = static_cast<int32_t>(lights);
        grid->occluderCacheThreads = env.threadLimit;
        return;
    }
    // 2. Otherwise the rows of lights 0 .. lights - 1 are forgotten.
    for (int thread = 0; thread < grid->occluderCacheThreads; ++thread) {
        FaceRecord* row = &grid->occluderCache[static_cast<size_t>(thread) * grid->occluderCacheLights];
        for (long light = 0; light < lights; ++light) row[light].face = 0;
    }
}

}  // namespace

bool StopsAllLight(const VekFace& surface)
{
    if (surface.flags & VEK_FACE_NO_SHADOW) return false;
    const VekAttribute* a = static_cast<const VekSurface&>(surface).attribute;
    if (!a) return true;
    return !(a->mapFlags & VEK_MAP_2) && Opaque(a->transparency);
}

bool AttenuateByFace(const FaceRecord& record, const CG::vec3<float>& point, CG::vec3<float>& factor,
                     FaceRecord* cacheSlot)
{
    VekFace& f = *RecordFace(record);
    VekSurface& s = static_cast<VekSurface&>(f);
    const VekAttribute* a = s.attribute;
    // 1. Plain transparency; a face without a material is opaque.
    if (!a || !HasReadableMap2(*a)) {
        const CG::vec3<float> tr = a ? a->transparency : kBlocked;
        if (Opaque(tr)) {
            if (cacheSlot) *cacheSlot = record;
            return false;
        }
        factor = CG::vec3<float>(factor.x * tr.x, factor.y * tr.y, factor.z * tr.z);
        return true;
    }
    // 2. The second map; a texel that stops everything is not cached
    //    (the next ray may meet another texel of the same face).
    const CG::vec3<float> m = MapFactor(s, *a, point);
    if (Opaque(m)) return false;
    factor = CG::vec3<float>(factor.x * m.x, factor.y * m.y, factor.z * m.z);
    return true;
}

}  // namespace vek

CG::vec3<float> VekIntersection_Search(const CG::vec3<float>& origin, const CG::vec3<float>& toTarget,
                                       const VekFace* skip, const VekFace* skip2, long light)
{
    return vek::SearchTransmission(origin, toTarget, skip, skip2, vek::kSegmentStart, vek::kSegmentEnd, light,
                                   vek::CurrentThreadNumber());
}

CG::vec3<float> VekIntersection_SearchDirection(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                                const VekFace* skip, long light)
{
    return vek::SearchTransmission(origin, direction, skip, nullptr, vek::kSegmentStart, vek::kNoHit, light,
                                   vek::CurrentThreadNumber());
}

CG::vec3<float> VekIntersection_SearchDirectionForSkyLight(const CG::vec3<float>& origin,
                                                           const CG::vec3<float>& direction, const VekFace* skip,
                                                           long light, long thread)
{
    return vek::SearchTransmission(origin, direction, skip, nullptr, vek::kSegmentStart, vek::kNoHit, light, thread);
}

void VekIntersection_Reset(long lights) { vek::ResetCache(lights, "VekIntersection_Reset"); }

void VekIntersection_SkyLightReset(long lights) { vek::ResetCache(lights, "VekIntersection_SkyLightReset"); }
