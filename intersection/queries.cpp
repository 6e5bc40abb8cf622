// queries.cpp - the hit queries: the nearest face along a ray (CastRay for
// Pick and RayCast, TraceRay for Raytrace) and every face along it
// (TraceAllHits for MultiRaytrace), plus the statistics and cull controls.
//
// Each query takes its thread's next ray number and walks the grid with its
// own visitor; a face whose mark already holds the ray number has been dealt
// with on this ray and is passed over, so a face lying in many cells and
// levels is tested once. The nearest-hit visitors pass the best distance so
// far as the upper bound, so a later test only ever replaces the record with
// a nearer hit.
#include <cmath>
#include <cstring>
#include <limits>

#include "VekIntersection.h"
#include "core/threads.h"
#include "intersection/environment.h"
#include "intersection/face_tests.h"
#include "intersection/walk.h"

namespace vek {
namespace {

// Smallest parameter a picking ray accepts.
constexpr float kPickMin = 1e-10f;

// The prepared top grid, or null when a query from this thread cannot run:
// no environment, or a thread number beyond the faces' ray marks.
VekGrid* QueryGrid(int thread)
{
    Environment& env = CurrentEnvironment();
    if (static_cast<uint32_t>(thread) >= static_cast<uint32_t>(env.threadLimit)) return nullptr;
    return env.topGrid.get();
}

// One nearest-hit test with optional culling (the exported culling form of
// VekFace::CheckIntersection, inlined), with the face's mark: a face whose
// mark already holds the ray number is dealt with and passed over, every
// other face is marked.
//
// The geometry is tested before the mark is read, which gives the same
// answer and the same marks as reading it first (the test changes nothing),
// but a missed face, almost every face, is only written: the walk never
// waits for a mark to arrive from memory.
[[gnu::always_inline]] inline void TestNearest(const FaceRecord& r, const RayQuery& q, float tMin, long cull,
                                               uint32_t ray, int thread, float& best, HitInfo& work)
{
    uint32_t& mark = RecordMarks(r)[thread];
    float t;
    CG::vec3<float> point;
    if ((cull && !(CG::dot(RecordNormal(r), q.direction) < 0.0f)) ||
        !IntersectRecord(r, q.origin, q.direction, tMin, best, t, point) || mark == ray) {
        mark = ray;
        return;
    }
    mark = ray;
    work.t = t;
    work.point = point;
    work.face = RecordFace(r);
    best = t;
}

// The record a nearest-hit query starts from: no hit, every other byte zero.
HitInfo EmptyRecord()
{
    HitInfo h;
    std::memset(&h, 0, sizeof h);
    h.t = kNoHit;
    return h;
}

// Hit queries pass over shadow copies of billboards and the skip face. Only
// indirect records can be shadow copies, so only they read the face.
inline bool HitQueryPasses(const FaceRecord& r, const VekFace* skip)
{
    const VekFace* f = RecordFace(r);
    if (f == skip) return true;
    return (r.face & kRecordAxisMask) == kRecordIndirect && (f->flags & VEK_FACE_BILLBOARD_SHADOW);
}

// Nearest hit. CastRay (kTrace false) passes over area lights without
// marking them; TraceRay (kTrace true) may hit area lights and never tests
// shadow copies of billboards or the skip face. Both stop once the best hit
// is no farther than the next cell boundary: a nearer hit in a later cell
// would lie in that cell, and every face is binned in every cell it touches,
// so the answer is the one a walk to the end of the grid gives.
template <bool kTrace>
struct NearestVisitor {
    // A constructor, not aggregate initialisation, which would clear the
    // whole visitor (recent faces included) before filling it in.
    NearestVisitor(const RayQuery& query, float tMinimum, long culling, const VekFace* skipFace, uint32_t rayNumber,
                   int threadNumber)
        : q(query), tMin(tMinimum), cull(culling), skip(skipFace), ray(rayNumber), thread(threadNumber),
          work(EmptyRecord())
    {
    }

    const RayQuery& q;
    float tMin;
    long cull;
    const VekFace* skip;
    uint32_t ray;
    int thread;
    HitInfo work;
    float best = kNoHit;
    RecentFaces recent;

    bool VisitFaces(const FaceRecord* records, const uint32_t* it, const uint32_t* end)
    {
        for (; it != end; ++it) {
            if (recent.Has(*it)) continue;
            const FaceRecord& r = records[*it];
            if (!kTrace && (r.marks & kRecordNotSurface)) continue;
            if (kTrace && HitQueryPasses(r, skip))
                RecordMarks(r)[thread] = ray;
            else
                TestNearest(r, q, tMin, cull, ray, thread, best, work);
            recent.Add(*it);
        }
        return true;
    }
    bool Continue(float tCur) const { return best > tCur; }
    // Hit queries from scattered origins wait mostly on memory. Cells found
    // beyond the nearest hit are walked in vain, so not too far ahead.
    static constexpr int kCellsAhead = 4;
};

// Every hit, in walk order, up to maxHits records.
struct AllHitsVisitor {
    AllHitsVisitor(const RayQuery& query, float tMinimum, const VekFace* skipFace, uint32_t rayNumber, int threadNumber,
                   long most, HitInfo* records)
        : q(query), tMin(tMinimum), skip(skipFace), ray(rayNumber), thread(threadNumber), maxHits(most), hits(records)
    {
    }

    const RayQuery& q;
    float tMin;
    const VekFace* skip;
    uint32_t ray;
    int thread;
    long maxHits;
    HitInfo* hits;
    long count = 0;
    RecentFaces recent;

    bool VisitFaces(const FaceRecord* records, const uint32_t* it, const uint32_t* end)
    {
        for (; it != end; ++it) {
            if (recent.Has(*it)) continue;
            // The mark is read only for a hit, as in TestNearest.
            const FaceRecord& r = records[*it];
            uint32_t& mark = RecordMarks(r)[thread];
            float t;
            CG::vec3<float> point;
            if (!HitQueryPasses(r, skip) &&
                IntersectRecord(r, q.origin, q.direction, tMin, std::numeric_limits<float>::infinity(), t, point)) {
                if (mark == ray) continue;
                // Full: the rest of this cell is passed over, this face unmarked.
                if (count >= maxHits) return true;
                HitInfo& h = hits[count++];
                std::memset(&h, 0, sizeof h);
                h.t = t;
                h.point = point;
                h.face = RecordFace(r);
            }
            mark = ray;
            recent.Add(*it);
        }
        return true;
    }
    bool Continue(float) const { return true; }
    // A walk to the end of the grid: whatever is fetched ahead is used.
    static constexpr int kCellsAhead = 8;
};

// CastRay: from anywhere (the ray is clipped to the scene box), surfaces only.
long CastRay(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit, float tMin, long cull)
{
    // 1. Thread number and ray number.
    const int thread = CurrentThreadNumber();
    VekGrid* grid = QueryGrid(thread);
    if (!grid) return 0;
    const RayQuery q{origin, direction, kPickMin, kNoHit, grid->records.data()};
    NearestVisitor<false> visitor(q, tMin, cull, nullptr, NextRayNumber(*grid, thread), thread);
    // 2.-4. The clipped walk, until no later cell can hold a nearer hit.
    WalkGrid(*grid, q, true, visitor);
    // 5. The nearest hit, copied whole.
    if (!(visitor.best < kNoHit)) return 0;
    hit = visitor.work;
    return 1;
}

}  // namespace
}  // namespace vek

long VekIntersection_Pick(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit)
{
    return vek::CastRay(origin, direction, hit, vek::kPickMin, g_mainValueTable.displayFlags & VEK_DISPLAY_CULL);
}

long VekIntersection_RayCast(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit,
                             float tMin, long cull)
{
    return vek::CastRay(origin, direction, hit, tMin, cull);
}

long VekIntersection_Raytrace(const CG::vec3<float>& origin, const CG::vec3<float>& direction, const VekFace* skip,
                              HitInfo& hit, float tMin, long cull)
{
    // 1. Thread number and ray number.
    const int thread = vek::CurrentThreadNumber();
    vek::VekGrid* grid = vek::QueryGrid(thread);
    if (!grid) return 0;
    const uint32_t ray = vek::NextRayNumber(*grid, thread);
    // 2. A direction that crosses no cell boundary finds nothing.
    const float tiny = vek::kNoCrossing;
    if (!(std::fabs(direction.x) > tiny || std::fabs(direction.y) > tiny || std::fabs(direction.z) > tiny)) return 0;
    // 3.-4. The walk from the origin, with its early stop.
    const vek::RayQuery q{origin, direction, tMin, vek::kNoHit, grid->records.data()};
    vek::NearestVisitor<true> visitor(q, tMin, cull, skip, ray, thread);
    vek::WalkGrid(*grid, q, false, visitor);
    // 5. The nearest hit, copied whole.
    if (!(visitor.best < vek::kNoHit)) return 0;
    hit = visitor.work;
    return 1;
}

long VekIntersection_MultiRaytrace(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                   const VekFace* skip, long maxHits, HitInfo* hits, float tMin)
{
    const int thread = vek::CurrentThreadNumber();
    vek::VekGrid* grid = vek::QueryGrid(thread);
    if (!grid || !hits) return 0;
    const vek::RayQuery q{origin, direction, vek::kPickMin, vek::kNoHit, grid->records.data()};
    vek::AllHitsVisitor visitor(q, tMin, skip, vek::NextRayNumber(*grid, thread), thread, maxHits, hits);
    vek::WalkGrid(*grid, q, false, visitor);
    return visitor.count;
}

void VekIntersection_SetCullface(long value)
{
    vek::VekGrid* grid = vek::CurrentEnvironment().topGrid.get();
    if (grid) grid->cullFace = static_cast<int32_t>(value);
}

namespace {

void ReportStatistics(const vek::VekVoxel* grid, long& a, long& b, float& ratio, long& c, long& d)
{
    if (!grid) {
        a = b = c = d = 0;
        ratio = 0.0f;
        return;
    }
    const int32_t* s = grid->statistics;
    a = s[2];
    b = s[3];
    ratio = s[0] > 0 ? static_cast<float>(s[1]) / static_cast<float>(s[0]) : 0.0f;
    c = s[4];
    d = s[5];
}

}  // namespace

void VekIntersection_GetClocksValues(long& a, long& b, float& ratio, long& c, long& d)
{
    ReportStatistics(vek::CurrentEnvironment().topGrid.get(), a, b, ratio, c, d);
}

void VekIntersection_GetClocksValues2(long& a, long& b, float& ratio, long& c, long& d)
{
    ReportStatistics(vek::CurrentEnvironment().secondaryGrid.get(), a, b, ratio, c, d);
}
