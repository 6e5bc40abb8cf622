// queries.cpp - the hit queries: the nearest face along a ray (CastRay for
// Pick and RayCast, TraceRay for Raytrace) through the hierarchy, and every
// face along it (TraceAllHits for MultiRaytrace) through the grid walk,
// whose order only the grid defines; plus the statistics and cull controls.
//
// Every query takes its thread's next ray number. The grid walk marks the
// faces it deals with, so a face lying in many cells and levels is tested
// once per ray; the hierarchy holds each face once and needs no marks.
#include <cmath>
#include <cstring>
#include <limits>

#include "VekIntersection.h"
#include "core/threads.h"
#include "intersection/environment.h"
#include "intersection/face_tests.h"
#include "intersection/hierarchy_kernels.h"
#include "intersection/record_test.h"
#include "intersection/walk.h"

namespace vek {
namespace {

// Smallest parameter a picking ray accepts.
constexpr float kPickMin = 1e-10f;

// The prepared environment, or null when a query from this thread cannot
// run: none prepared, or a thread number beyond the faces' ray marks.
Environment* QueryEnvironment(int thread)
{
    Environment& env = CurrentEnvironment();
    if (static_cast<uint32_t>(thread) >= static_cast<uint32_t>(env.threadLimit) || !env.topGrid) return nullptr;
    return &env;
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

// Every hit, in walk order, up to maxHits records.
struct AllHitsVisitor {
    AllHitsVisitor(const RayQuery& query, float tMinimum, const VekFace* skipFace, uint32_t rayNumber, int threadNumber,
                   long most, HitInfo* records)
        : q(query), lanes(query.origin, query.direction), tMin(tMinimum), skip(skipFace), ray(rayNumber),
          thread(threadNumber), maxHits(most), hits(records)
    {
    }

    const RayQuery& q;
    RayLanes<4> lanes;
    float tMin;
    const VekFace* skip;
    uint32_t ray;
    int thread;
    long maxHits;
    HitInfo* hits;
    long count = 0;
    RecentFaces recent;

    // A cell's faces, four at a time through the record test, then one by
    // one in list order: a face whose mark holds the ray number was dealt
    // with (the mark is read only for a hit); every other face is marked.
    bool VisitFaces(const FaceRecord* records, const uint32_t* it, const uint32_t* end)
    {
        while (it != end) {
            uint32_t number[4];
            const FaceRecord* r[4];
            int n = 0;
            for (; it != end && n < 4; ++it)
                if (!recent.Has(*it)) {
                    number[n] = *it;
                    r[n++] = &records[*it];
                }
            if (n == 0) break;
            for (int i = n; i < 4; ++i) r[i] = r[n - 1];
            FaceLanes<4> f;
            LoadFaceLanes(r, f);
            FaceHits<4> found;
            TestFaceLanes(f, lanes, tMin, std::numeric_limits<float>::infinity(), false, (1u << n) - 1, found);
            for (int i = 0; i < n; ++i) {
                const FaceRecord& record = *r[i];
                uint32_t& mark = RecordMarks(record)[thread];
                float t = 0.0f;
                CG::vec3<float> point;
                bool hit = false;
                if (!HitQueryPasses(record, skip)) {
                    if (found.indirect >> i & 1) {
                        hit = IntersectFace(*RecordFace(record), q.origin, q.direction, tMin,
                                            std::numeric_limits<float>::infinity(), t, point);
                    } else if (found.hits >> i & 1) {
                        hit = true;
                        t = found.t[i];
                        point = CG::vec3<float>(found.p[0][i], found.p[1][i], found.p[2][i]);
                    }
                }
                if (hit) {
                    if (mark == ray) continue;
                    // Full: the rest of this cell is passed over, this face unmarked.
                    if (count >= maxHits) return true;
                    HitInfo& h = hits[count++];
                    std::memset(&h, 0, sizeof h);
                    h.t = t;
                    h.point = point;
                    h.face = RecordFace(record);
                }
                mark = ray;
                recent.Add(number[i]);
            }
        }
        return true;
    }
    bool Continue(float) const { return true; }
    // A walk to the end of the grid: whatever is fetched ahead is used.
    static constexpr int kCellsAhead = 8;
};

// CastRay: from anywhere (a ray that misses the scene box finds nothing,
// as the grid's clipped walk would), surfaces only.
long CastRay(const CG::vec3<float>& origin, const CG::vec3<float>& direction, HitInfo& hit, float tMin, long cull)
{
    // 1. Thread number and ray number.
    const int thread = CurrentThreadNumber();
    Environment* env = QueryEnvironment(thread);
    if (!env) return 0;
    VekGrid& grid = *env->topGrid;
    NextRayNumber(grid, thread);
    // 2. The scene box.
    float clipMin = kPickMin, clipMax = kNoHit;
    if (!InsideBox(grid, origin) && !ClipToBox(grid, origin, direction, clipMin, clipMax)) return 0;
    // 3. The nearest hit, copied whole.
    HitInfo work = EmptyRecord();
    const NearestQuery q{{origin, direction, tMin}, cull != 0, nullptr};
    if (!env->kernels->castRay(env->hierarchy, grid.records.data(), q, work)) return 0;
    hit = work;
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
    vek::Environment* env = vek::QueryEnvironment(thread);
    if (!env) return 0;
    vek::VekGrid& grid = *env->topGrid;
    vek::NextRayNumber(grid, thread);
    // 2. A direction that crosses no cell boundary, or an origin outside the
    //    scene, finds nothing.
    const float tiny = vek::kNoCrossing;
    if (!(std::fabs(direction.x) > tiny || std::fabs(direction.y) > tiny || std::fabs(direction.z) > tiny)) return 0;
    int32_t cell[3];
    if (!vek::UnclippedEntryCell(grid, origin, cell)) return 0;
    // 3. The nearest hit, copied whole.
    HitInfo work = vek::EmptyRecord();
    const vek::NearestQuery q{{origin, direction, tMin}, cull != 0, skip};
    if (!env->kernels->traceRay(env->hierarchy, grid.records.data(), q, work)) return 0;
    hit = work;
    return 1;
}

long VekIntersection_MultiRaytrace(const CG::vec3<float>& origin, const CG::vec3<float>& direction,
                                   const VekFace* skip, long maxHits, HitInfo* hits, float tMin)
{
    const int thread = vek::CurrentThreadNumber();
    vek::Environment* env = vek::QueryEnvironment(thread);
    if (!env || !hits) return 0;
    vek::VekGrid& grid = *env->topGrid;
    const vek::RayQuery q{{origin, direction, vek::kPickMin}, vek::kNoHit, grid.records.data()};
    vek::AllHitsVisitor visitor(q, tMin, skip, vek::NextRayNumber(grid, thread), thread, maxHits, hits);
    vek::WalkGrid(grid, q, false, visitor);
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
