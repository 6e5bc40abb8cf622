// walk.h - the grid walk (every hit along a ray, in the order the cells are
// crossed; the other queries go through the hierarchy), and the per-thread
// ray numbers that every query counts.
//
// Method: a three-dimensional digital differential analyser (Amanatides and
// Woo) that visits the cells a ray crosses in order, descending into the
// nested grid of a crowded cell as a walk of its own. What happens in a cell
// is the visitor's business (a template parameter, so the per-face loop is
// inlined into each query):
//   bool VisitFaces(const FaceRecord* records, const uint32_t* begin, const uint32_t* end)
//       deals with one cell's faces (records[*begin] ...); false ends the
//       whole query.
//   bool Continue(float tCur)
//       asked with the parameter at which a later cell is entered; false
//       ends the walk of this grid (an early stop). The answer may only
//       turn from true to false as tCur grows and visits narrow the query.
//   static constexpr int kCellsAhead
//       how many cells with entries walks of large grids find and fetch
//       ahead of the one visited (1: none).
// Departures from the textbook: an empty block of 8 x 8 x 8 cells, with
// the box of empty blocks around it, is crossed in one move that leaves the
// walk exactly where single steps would; faces met again a few cells later
// are passed over without a test;
// on large grids the next cells' data is fetched ahead of the visits; a
// clipped walk clamps its entry cell into the grid, and a walk ends at its
// exact exit or as soon as a cell coordinate leaves its grid, so no cell
// outside the arrays is ever read, whatever the ray.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "intersection/face_tests.h"
#include "intersection/grid.h"

namespace vek {

// The ray numbers run 1 .. 0x7fffffff and then start again at 1.
constexpr uint32_t kLastRayNumber = 0x7fffffff;
// Ray parameter that stands for "no hit" and for "no crossing".
constexpr float kNoHit = 1e38f;
// Directions components at or below this (absolute) do not cross cells.
constexpr float kNoCrossing = 1e-10f;
// Direction components at or below this (absolute) are parallel to a slab.
constexpr float kSlabParallel = 1e-7f;

// The next ray number of a thread: counted in the top grid, so each thread
// writes only its own counter. Before the last number is handed out the
// thread's marks are all cleared (one pass over the faces every two billion
// rays), so no face keeps a mark that a ray of the next round could carry.
inline uint32_t NextRayNumber(VekGrid& top, int thread)
{
    uint32_t& counter = top.rayCounters[thread].value;
    const uint32_t r = counter + 1;
    if (__builtin_expect(r == kLastRayNumber, 0)) top.ClearRayMarks(thread);
    counter = r == kLastRayNumber ? 0 : r;
    return r;
}

// Faces a query has marked lately, by record number. A face lies in several
// cells, so a walk often meets one again a few cells later; this answers as
// the face's mark would (the face counts as dealt with), without a test or
// a read of its record. One slot per record number modulo the table size:
// a lookup is a single comparison, and as the faces of a cell mostly have
// neighbouring numbers, they rarely push each other out.
class RecentFaces {
public:
    RecentFaces()
    {
        for (uint32_t& e : entries_) e = kEntryNested;  // never a record number
    }
    bool Has(uint32_t record) const { return entries_[record & (kSize - 1)] == record; }
    void Add(uint32_t record) { entries_[record & (kSize - 1)] = record; }

private:
    static constexpr uint32_t kSize = 32;
    uint32_t entries_[kSize];
};

// The ray and the query's own interval, handed unchanged to every nested
// walk, with the face records the grids' entries index.
struct RayQuery : QueryRay {
    float tMax;
    const FaceRecord* records;
};

// Clips [tMin, tMax] to the grid's box by the slab test; false when the ray
// misses it.
inline bool ClipToBox(const VekGrid& g, const CG::vec3<float>& o, const CG::vec3<float>& d, float& tMin,
                      float& tMax)
{
    for (int i = 0; i < 3; ++i) {
        if (d[i] > kSlabParallel || d[i] < -kSlabParallel) {
            const float inv = 1.0f / d[i];
            const float t1 = (g.boundsMin[i] - o[i]) * inv;
            const float t2 = (g.boundsMax[i] - o[i]) * inv;
            tMin = std::max(tMin, std::min(t1, t2));
            tMax = std::min(tMax, std::max(t1, t2));
            if (tMin > tMax) return false;
        } else if (o[i] < g.boundsMin[i] || o[i] > g.boundsMax[i]) {
            return false;
        }
    }
    return true;
}

inline bool InsideBox(const VekGrid& g, const CG::vec3<float>& p)
{
    return p.x >= g.boundsMin.x && p.x <= g.boundsMax.x && p.y >= g.boundsMin.y && p.y <= g.boundsMax.y &&
           p.z >= g.boundsMin.z && p.z <= g.boundsMax.z;
}

// The cell an unclipped walk starts in, from its origin; false when the
// origin lies outside the grid (the walk then meets nothing). Compared as
// floats first, so no NaN or huge value is converted to an integer. The
// queries that do not walk the grid ask the same question, so that an
// origin outside finds nothing whichever structure answers.
inline bool UnclippedEntryCell(const VekGrid& g, const CG::vec3<float>& p, int32_t cell[3])
{
    for (int i = 0; i < 3; ++i) {
        const float f = (p[i] - g.boundsMin[i]) * g.inverseCellSize[i];
        if (!(f > -1.0f && f < static_cast<float>(g.resolution[i]))) return false;
        cell[i] = static_cast<int32_t>(f);
    }
    return true;
}

// The axis of the smallest of three parameters, ties to the lower axis.
inline int NearestAxis(const float t[3])
{
    return t[0] <= t[1] ? (t[0] <= t[2] ? 0 : 2) : (t[1] <= t[2] ? 1 : 2);
}

// Four float lanes, one per axis (the fourth idle), so the three axes' sums
// below run side by side. Lane arithmetic is the scalar IEEE arithmetic, so
// every sum equals its one-by-one counterpart.
typedef float Lanes __attribute__((vector_size(16)));

// Crosses the empty box of blocks that holds the current cell in one move.
// The walk state afterwards is exactly what single steps through the box
// leave: each axis's crossings are summed one by one, as single steps sum
// them, and as no cell of the box holds anything, nothing is missed. The
// sums run as one straight chain of additions, and only as far as the ray
// goes in the box: estimates by products and quotients say how far and
// where each axis stands when the ray leaves, and the exact sums then
// confirm them (or, rarely, the chain runs on to the box's far side).
// Returns the axis whose crossing left the box (tCur: where), or -1 when the
// walk ends inside it.
template <class Visitor>
int CrossEmptyBox(const VekGrid& g, const VekGrid::EmptyBox& box, float tNext[3], const float tDelta[3],
                  const int32_t step[3], int32_t cell[3], float tExit, Visitor& visitor, float& tCur)
{
    constexpr int32_t kMask = (1 << kBlockShift) - 1;
    // 1. How many crossings stay inside the box, per axis.
    int32_t inside[3];
    int32_t most = 0;
    for (int i = 0; i < 3; ++i) {
        const int32_t c = cell[i];
        if (step[i] > 0)
            inside[i] = std::min(box.hi[i] << kBlockShift | kMask, g.resolution[i] - 1) - c;
        else
            inside[i] = step[i] < 0 ? c - (box.lo[i] << kBlockShift) : 0;
        most = std::max(most, inside[i]);
    }
    // 2. An estimate of the leaving crossing, by products instead of sums,
    //    gives how far each axis's chain must run: to the far side for the
    //    leaving axis, a little past the estimate for the others.
    float estimate = kNoHit;
    for (int i = 0; i < 3; ++i)
        if (step[i] != 0) estimate = std::min(estimate, tNext[i] + static_cast<float>(inside[i]) * tDelta[i]);
    int32_t reach = 0;
    for (int i = 0; i < 3; ++i) {
        const float k = (estimate - tNext[i]) / tDelta[i] + 2.0f;
        int32_t n = inside[i];
        if (k < static_cast<float>(n)) n = k > 0.0f ? static_cast<int32_t>(k) : 0;
        reach = std::max(reach, n);
    }
    // 3. The crossings, crossing[k] after k additions, up to reach.
    Lanes crossing[kMaxResolution];
    crossing[0] = Lanes{tNext[0], tNext[1], tNext[2], 0.0f};
    const Lanes delta = {tDelta[0], tDelta[1], tDelta[2], 0.0f};
    for (int32_t k = 1; k <= reach; ++k) crossing[k] = crossing[k - 1] + delta;
    // 4. The first to leave, with the checks a single step makes. An axis
    //    whose chain stopped short is known to leave later when its last
    //    sum already lies beyond the others' exits (sums never decrease);
    //    otherwise its chain runs on and the choice is made again.
    float leave[3];
    int a;
    for (;;) {
        bool known = true;
        for (int i = 0; i < 3; ++i) leave[i] = crossing[std::min(inside[i], reach)][i];
        a = NearestAxis(leave);
        for (int i = 0; i < 3; ++i) known &= inside[i] <= reach || leave[i] > leave[a];
        if (known) break;
        for (int32_t k = reach + 1; k <= most; ++k) crossing[k] = crossing[k - 1] + delta;
        reach = most;
    }
    tCur = leave[a];
    if (!(tCur <= tExit) || step[a] == 0) return -1;
    if (!visitor.Continue(tCur)) return -1;
    // 5. The other axes take their crossings before it (at the same
    //    parameter, the lower axis goes first), then the leaving crossing.
    //    Crossings never decrease, so those taken are a prefix; its length
    //    is guessed by a quotient and settled by comparing the exact sums
    //    around the guess (almost always right or one off). An axis whose
    //    chain stopped short takes none beyond it, as its last sum lies
    //    past tCur.
    for (int i = 0; i < 3; ++i) {
        if (i == a) continue;
        const bool tieGoesFirst = i < a;
        const int32_t limit = std::min(inside[i], reach);
        auto taken = [&](int32_t k) {
            const float t = crossing[k][i];
            return t < tCur || (tieGoesFirst && t == tCur);
        };
        const float guess = (tCur - tNext[i]) / tDelta[i] + 1.0f;
        int32_t m = limit;
        if (guess < static_cast<float>(limit)) m = guess > 0.0f ? static_cast<int32_t>(guess) : 0;
        while (m > 0 && !taken(m - 1)) --m;
        while (m < limit && taken(m)) ++m;
        tNext[i] = crossing[m][i];
        cell[i] += m * step[i];
    }
    tNext[a] = tCur + tDelta[a];
    cell[a] += (inside[a] + 1) * step[a];
    return a;
}

// The walk's position in one grid: the cell, its place in the occupancy
// order and the parameters of the next crossing per axis.
struct GridCursor {
    const VekGrid& g;
    float tExit;
    float tNext[3];
    float tDelta[3];
    int32_t step[3];
    int32_t stride[3];  // position step to the next cell in the block
    int32_t cross[3];   // position step to the next cell in the next block
    int32_t cell[3];
    int32_t position;  // of the cell in the grid's occupancy order
    bool blockEmpty;
    bool walking = true;
    float tEnter = 0.0f;  // where the walk entered the current cell

    // Moves to the next cell that holds entries, from the current cell on:
    // its slot among the grid's occupied cells and the parameter where the
    // walk entered it. False when the walk has ended: past its exit, out of
    // the grid, or told by the visitor that no later cell can matter. The
    // visitor's answer can only turn from yes to no as the walk goes on, so
    // asking it here, before the cells behind are visited, ends the walk
    // never earlier than asking after them.
    template <class Visitor>
    bool Next(Visitor& visitor, uint32_t& slot, float& entered)
    {
        while (walking) {
            // An empty block is crossed in one move, with the empty blocks around it.
            if (blockEmpty) {
                float tCur;
                const int a = CrossEmptyBox(g, g.emptyBoxes[g.BlockIndex(cell)], tNext, tDelta, step, cell, tExit,
                                            visitor, tCur);
                if (a < 0 || static_cast<uint32_t>(cell[a]) >= static_cast<uint32_t>(g.resolution[a])) break;
                position = g.Position(cell);
                blockEmpty = g.BlockEmpty(cell);
                if (!blockEmpty) g.FetchBlock(cell);
                tEnter = tCur;
                continue;
            }
            if (StepThroughBlock(visitor, slot, entered)) return true;
        }
        walking = false;
        return false;
    }

    // Single steps from the current cell until one with entries has been
    // stepped out of, the walk ends or it enters an empty block; true when
    // the cell stepped out of holds entries. Meanwhile the state lives in
    // locals and each axis's step is written out on its own, so it stays in
    // registers: the walk's chain of additions never waits on memory.
    template <class Visitor>
    bool StepThroughBlock(Visitor& visitor, uint32_t& slot, float& entered)
    {
        float t[3] = {tNext[0], tNext[1], tNext[2]};
        int32_t c[3] = {cell[0], cell[1], cell[2]};
        int32_t at = position;
        float tAt = tEnter;
        bool occupied, going = true, empty = false;
        auto stepAlong = [&](auto axis) {
            constexpr int a = decltype(axis)::value;
            const float tCur = t[a];
            if (!(tCur <= tExit) || step[a] == 0 || !visitor.Continue(tCur)) {
                going = false;
                return;
            }
            t[a] += tDelta[a];
            c[a] += step[a];
            if (static_cast<uint32_t>(c[a]) >= static_cast<uint32_t>(g.resolution[a])) {
                going = false;
                return;
            }
            tAt = tCur;
            // Only a step into another block can change the block's answer.
            if ((c[a] ^ (c[a] - step[a])) >> kBlockShift) {
                at += cross[a];
                empty = g.BlockEmpty(c);
                if (!empty) g.FetchBlock(c);
            } else {
                at += stride[a];
            }
        };
        do {
            uint32_t nearEntries;
            occupied = g.OccupiedSlot(at, slot, nearEntries);
            if (occupied) {
                // The cell's entries, ahead of its offset: the word's first
                // ones and the line after.
                const uint32_t* near = g.items.data() + nearEntries;
                __builtin_prefetch(near);
                __builtin_prefetch(near + std::min<size_t>(16, g.items.size() - nearEntries - 1));
            }
            entered = tAt;
            // Step across the nearest boundary, ties to the lower axis.
            if (t[0] <= t[1]) {
                if (t[0] <= t[2])
                    stepAlong(std::integral_constant<int, 0>());
                else
                    stepAlong(std::integral_constant<int, 2>());
            } else if (t[1] <= t[2]) {
                stepAlong(std::integral_constant<int, 1>());
            } else {
                stepAlong(std::integral_constant<int, 2>());
            }
        } while (!occupied && going && !empty);
        for (int i = 0; i < 3; ++i) {
            tNext[i] = t[i];
            cell[i] = c[i];
        }
        position = at;
        tEnter = tAt;
        walking = going;
        blockEmpty = empty;
        return occupied;
    }
};

template <class Visitor>
bool WalkGrid(const VekGrid& g, const RayQuery& q, bool clip, Visitor& visitor);

// Visits the cells with entries along the cursor's walk, in order; false
// when the visitor ended the query.
//
// With kAhead > 1 (large grids) the next cells are found before the current
// one is visited and their data fetched in stages (offsets, then entries,
// then face records), so that the memory reads of the next cells overlap
// the work in this one instead of each cell waiting on a chain of reads of
// its own. Fetching ahead changes nothing the visitor sees: every cell is
// still visited in order, after the check at the parameter where the walk
// enters it.
template <int kAhead, class Visitor>
bool VisitCells(const VekGrid& g, const RayQuery& q, GridCursor& cursor, Visitor& visitor)
{
    const uint32_t* cellStart = g.cellStart.data();
    const uint32_t* items = g.items.data();
    struct Pending {
        uint32_t slot;
        float tEnter;
        uint32_t begin, end;
        int stage;  // 1: offsets on their way, 2: entries, 3: records
    };
    Pending ring[kAhead];
    int head = 0, queued = 0;
    auto enqueue = [&]() {
        uint32_t slot = 0;
        float tEnter = 0.0f;
        if (!cursor.Next(visitor, slot, tEnter)) return false;
        __builtin_prefetch(cellStart + slot);
        ring[(head + queued) % kAhead] = {slot, tEnter, 0, 0, 1};
        ++queued;
        return true;
    };
    auto prepare = [&](Pending& e, int stage) {
        if (e.stage < 2 && stage >= 2) {
            e.begin = cellStart[e.slot];
            e.end = cellStart[e.slot + 1];
            __builtin_prefetch(items + e.begin);
            __builtin_prefetch(items + e.end - 1);
            e.stage = 2;
        }
        if (e.stage < 3 && stage >= 3) {
            if (!(items[e.begin] & kEntryNested))
                for (uint32_t i = e.begin; i < e.end; ++i) __builtin_prefetch(q.records + items[i]);
            e.stage = 3;
        }
    };
    // The first cell is entered where the walk starts: no check before it.
    bool first = true;
    while (queued < kAhead && enqueue()) {}
    // The first cells start cold: their offsets, then their entries, are
    // read for all of them at once, so those misses overlap too.
    if (kAhead > 1) {
        for (int k = 0; k < queued; ++k) prepare(ring[k], 2);
        for (int k = 0; k < queued; ++k) prepare(ring[k], 3);
    }
    while (queued > 0) {
        Pending& e = ring[head];
        // Entries are read half the ring ahead, records a quarter.
        constexpr int kEntriesAt = kAhead / 2 > 2 ? kAhead / 2 : 2, kRecordsAt = kAhead / 4 > 1 ? kAhead / 4 : 1;
        if (kAhead > 2 && queued > kEntriesAt) prepare(ring[(head + kEntriesAt) % kAhead], 2);
        if (kAhead > 1 && queued > kRecordsAt) prepare(ring[(head + kRecordsAt) % kAhead], 3);
        prepare(e, 3);
        if (!first && !visitor.Continue(e.tEnter)) return true;
        first = false;
        // The cell's contents: a nested grid walked on its own, or faces.
        const uint32_t entry = items[e.begin];
        if (entry & kEntryNested) {
            if (!WalkGrid(*g.nestedGrids[entry & ~kEntryNested], q, true, visitor)) return false;
        } else if (!visitor.VisitFaces(q.records, items + e.begin, items + e.end)) {
            return false;
        }
        head = (head + 1) % kAhead;
        --queued;
        enqueue();
    }
    return true;
}


// Walks grid g along the query's ray; clip is set for nested grids and for
// queries whose origin may lie outside. Returns false when the visitor ended
// the query.
template <class Visitor>
bool WalkGrid(const VekGrid& g, const RayQuery& q, bool clip, Visitor& visitor)
{
    const CG::vec3<float>& o = q.origin;
    const CG::vec3<float>& d = q.direction;
    float tMin = q.tMin, tMax = q.tMax;

    // 1. Entry point: the origin, or where the ray enters the box.
    CG::vec3<float> p = o;
    if (clip && !InsideBox(g, o)) {
        if (!ClipToBox(g, o, d, tMin, tMax)) return true;
        p = CG::vec3<float>(o.x + tMin * d.x, o.y + tMin * d.y, o.z + tMin * d.z);
    }

    // 2. Entry cell. Clipped: clamped into the grid (an entry point on the
    //    upper face belongs to the last cell). Unclipped: an origin outside
    //    the grid walks nothing. Compared as floats first, so no NaN or huge
    //    value is converted to an integer.
    int32_t cell[3];
    if (clip) {
        for (int i = 0; i < 3; ++i) {
            const float f = (p[i] - g.boundsMin[i]) * g.inverseCellSize[i];
            const int32_t n = g.resolution[i];
            if (f != f) return true;
            cell[i] = f < 1.0f ? 0 : (f < static_cast<float>(n) ? static_cast<int32_t>(f) : n - 1);
        }
    } else if (!UnclippedEntryCell(g, p, cell)) {
        return true;
    }

    // 3. Crossings per axis, measured from the origin.
    float tNext[3], tDelta[3], exitT[3];
    int32_t step[3], stride[3], cross[3];
    for (int i = 0; i < 3; ++i) {
        const float cs = g.cellSize[i];
        if (d[i] > kNoCrossing) {
            const float inv = 1.0f / d[i];
            tNext[i] = (static_cast<float>(cell[i] + 1) * cs + g.boundsMin[i] - o[i]) * inv;
            tDelta[i] = cs * inv;
            step[i] = 1;
            stride[i] = g.localStride[i];
            cross[i] = g.blockStride[i] - ((1 << kBlockShift) - 1) * g.localStride[i];
            exitT[i] = (g.boundsMax[i] - o[i]) * inv;
        } else if (d[i] < -kNoCrossing) {
            const float inv = -1.0f / d[i];
            tNext[i] = (o[i] - (static_cast<float>(cell[i]) * cs + g.boundsMin[i])) * inv;
            tDelta[i] = cs * inv;
            step[i] = -1;
            stride[i] = -g.localStride[i];
            cross[i] = -(g.blockStride[i] - ((1 << kBlockShift) - 1) * g.localStride[i]);
            exitT[i] = (o[i] - g.boundsMin[i]) * inv;
        } else {
            tNext[i] = tDelta[i] = exitT[i] = kNoHit;
            step[i] = stride[i] = cross[i] = 0;
        }
    }
    // The walk ends at the nearest exit itself, not a fixed parameter short
    // of it: a fixed margin would skip whole cells of small nested grids on
    // long rays. Stepping past the grid is caught per axis below.
    const float tExit = std::min(std::min(tMax, exitT[0]), std::min(exitT[1], exitT[2]));

    const int32_t position = g.Position(cell);
    const bool blockEmpty = g.BlockEmpty(cell);
    if (!blockEmpty) g.FetchBlock(cell);
    GridCursor cursor{g,
                      tExit,
                      {tNext[0], tNext[1], tNext[2]},
                      {tDelta[0], tDelta[1], tDelta[2]},
                      {step[0], step[1], step[2]},
                      {stride[0], stride[1], stride[2]},
                      {cross[0], cross[1], cross[2]},
                      {cell[0], cell[1], cell[2]},
                      position,
                      blockEmpty};
    return g.fetchAhead ? VisitCells<Visitor::kCellsAhead>(g, q, cursor, visitor)
                        : VisitCells<1>(g, q, cursor, visitor);
}

}  // namespace vek
