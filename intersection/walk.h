// walk.h - the one grid walk that every ray query shares, and the per-thread
// ray numbers.
//
// Method: a three-dimensional digital differential analyser (Amanatides and
// Woo) that visits the cells a ray crosses in order, descending into the
// nested grid of a crowded cell as a walk of its own. What happens in a cell
// is the visitor's business (a template parameter, so the per-face loop is
// inlined into each query):
//   bool VisitFaces(const CellEntry* begin, const CellEntry* end)
//       deals with one cell's faces; false ends the whole query.
//   bool Continue(float tCur)
//       asked before each step with the parameter at which the next cell is
//       entered; false ends the walk of this grid (an early stop).
// Departures from the textbook: an empty block of 16 x 16 x 16 cells is crossed
// in one move that leaves the walk exactly where single steps would; a
// clipped walk clamps its entry cell into the grid, and a walk ends at its exact exit or as soon as a cell
// coordinate leaves its grid, so no cell outside the arrays is ever read,
// whatever the ray.
#pragma once

#include <algorithm>
#include <cstdint>

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
// writes only its own counter.
inline uint32_t NextRayNumber(VekVoxel& top, int thread)
{
    uint32_t& counter = top.rayCounters[thread].value;
    const uint32_t r = counter + 1;
    counter = r == kLastRayNumber ? 0 : r;
    return r;
}

// The ray and the query's own interval, handed unchanged to every nested walk.
struct RayQuery {
    CG::vec3<float> origin;
    CG::vec3<float> direction;
    float tMin;
    float tMax;
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

// The axis of the smallest of three parameters, ties to the lower axis.
inline int NearestAxis(const float t[3])
{
    return t[0] <= t[1] ? (t[0] <= t[2] ? 0 : 2) : (t[1] <= t[2] ? 1 : 2);
}

// Crosses the empty block that holds the current cell in one move. The walk
// state afterwards is exactly what single steps through the block leave:
// each axis's crossings are summed one by one, as single steps sum them, and
// as no cell of the block holds anything, nothing is missed. The sums run as
// straight chains of additions and the choices below are counts, not loops
// that stop on data, so crossing a block costs few mispredicted branches.
// Returns the axis whose crossing left the block, or -1 when the walk ends
// inside it.
template <class Visitor>
int CrossEmptyBlock(const VekGrid& g, float tNext[3], const float tDelta[3], const int32_t step[3],
                    int32_t cell[3], float tExit, Visitor& visitor)
{
    constexpr int32_t kSide = 1 << kBlockShift;
    constexpr int32_t kMask = kSide - 1;
    // 1. Per axis, every crossing up to the farthest one a block can hold
    //    (crossing[i][k] after k additions), and how many stay inside.
    float crossing[3][kSide];
    int32_t inside[3];
    for (int i = 0; i < 3; ++i) {
        crossing[i][0] = tNext[i];
        for (int k = 1; k < kSide; ++k) crossing[i][k] = crossing[i][k - 1] + tDelta[i];
        const int32_t c = cell[i];
        inside[i] = step[i] == 0 ? 0 : (step[i] > 0 ? std::min(c | kMask, g.resolution[i] - 1) - c : c & kMask);
    }
    // 2. The first to leave, with the checks a single step makes. Parameters
    //    only grow along the walk, so checks that pass here pass for every
    //    crossing inside the block too.
    const float leave[3] = {crossing[0][inside[0]], crossing[1][inside[1]], crossing[2][inside[2]]};
    const int a = NearestAxis(leave);
    const float tCur = leave[a];
    if (!(tCur <= tExit) || step[a] == 0) return -1;
    if (!visitor.Continue(tCur)) return -1;
    // 3. The other axes take their crossings before it (at the same
    //    parameter, the lower axis goes first), then the leaving crossing.
    //    Crossings never decrease, so those taken are a prefix, found by a
    //    binary search over the block's places.
    for (int i = 0; i < 3; ++i) {
        if (i == a) continue;
        const bool tieGoesFirst = i < a;
        auto taken = [&](int32_t k) {
            const float t = crossing[i][k];
            return k < inside[i] && (t < tCur || (tieGoesFirst && t == tCur));
        };
        int32_t m = 0;
        for (int32_t width = kSide / 2; width >= 1; width /= 2) m += taken(m + width - 1) ? width : 0;
        tNext[i] = crossing[i][m];
        cell[i] += m * step[i];
    }
    tNext[a] = tCur + tDelta[a];
    cell[a] += (inside[a] + 1) * step[a];
    return a;
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
    for (int i = 0; i < 3; ++i) {
        const float f = (p[i] - g.boundsMin[i]) * g.inverseCellSize[i];
        const int32_t n = g.resolution[i];
        if (clip) {
            if (f != f) return true;
            cell[i] = f < 1.0f ? 0 : (f < static_cast<float>(n) ? static_cast<int32_t>(f) : n - 1);
        } else {
            if (!(f > -1.0f && f < static_cast<float>(n))) return true;
            cell[i] = static_cast<int32_t>(f);
        }
    }

    // 3. Crossings per axis, measured from the origin.
    float tNext[3], tDelta[3], exitT[3];
    int32_t step[3], stride[3];
    for (int i = 0; i < 3; ++i) {
        const float cs = g.cellSize[i];
        if (d[i] > kNoCrossing) {
            const float inv = 1.0f / d[i];
            tNext[i] = (static_cast<float>(cell[i] + 1) * cs + g.boundsMin[i] - o[i]) * inv;
            tDelta[i] = cs * inv;
            step[i] = 1;
            stride[i] = g.strides[i];
            exitT[i] = (g.boundsMax[i] - o[i]) * inv;
        } else if (d[i] < -kNoCrossing) {
            const float inv = -1.0f / d[i];
            tNext[i] = (o[i] - (static_cast<float>(cell[i]) * cs + g.boundsMin[i])) * inv;
            tDelta[i] = cs * inv;
            step[i] = -1;
            stride[i] = -g.strides[i];
            exitT[i] = (o[i] - g.boundsMin[i]) * inv;
        } else {
            tNext[i] = tDelta[i] = exitT[i] = kNoHit;
            step[i] = stride[i] = 0;
        }
    }
    // The walk ends at the nearest exit itself, not a fixed parameter short
    // of it: a fixed margin would skip whole cells of small nested grids on
    // long rays. Stepping past the grid is caught per axis below.
    const float tExit = std::min(std::min(tMax, exitT[0]), std::min(exitT[1], exitT[2]));
    int32_t index = (cell[2] * g.resolution[1] + cell[1]) * g.resolution[0] + cell[0];

    const uint32_t* cellStart = g.cellStart.data();
    const CellEntry* items = g.items.data();
    for (;;) {
        // 4. An empty block is crossed in one move; otherwise the cell's
        //    contents: a nested grid walked on its own, or faces.
        if (g.BlockEmpty(cell)) {
            const int a = CrossEmptyBlock(g, tNext, tDelta, step, cell, tExit, visitor);
            if (a < 0 || static_cast<uint32_t>(cell[a]) >= static_cast<uint32_t>(g.resolution[a])) return true;
            index = (cell[2] * g.resolution[1] + cell[1]) * g.resolution[0] + cell[0];
            continue;
        }
        if (g.CellOccupied(index)) {
            const uint32_t begin = cellStart[index], end = cellStart[index + 1];
            const CellItem first = items[begin].item;
            if (first & kItemNested) {
                const VekGrid& nested = *reinterpret_cast<const VekGrid*>(first & ~kItemTagMask);
                if (!WalkGrid(nested, q, true, visitor)) return false;
            } else {
                // The cell's faces and their marks are fetched together, so
                // their cache misses overlap instead of coming one test after
                // another.
                for (uint32_t i = begin; i < end; ++i) {
                    const char* face = reinterpret_cast<const char*>(items[i].item & ~kItemTagMask);
                    __builtin_prefetch(face);
                    __builtin_prefetch(face + 64);
                    __builtin_prefetch(items[i].marks);
                }
                if (!visitor.VisitFaces(items + begin, items + end)) return false;
            }
        }
        // 5. Step across the nearest boundary, ties to the lower axis.
        const int a = NearestAxis(tNext);
        const float tCur = tNext[a];
        if (!(tCur <= tExit) || step[a] == 0) return true;
        if (!visitor.Continue(tCur)) return true;
        tNext[a] += tDelta[a];
        cell[a] += step[a];
        if (static_cast<uint32_t>(cell[a]) >= static_cast<uint32_t>(g.resolution[a])) return true;
        index += stride[a];
    }
}

}  // namespace vek
