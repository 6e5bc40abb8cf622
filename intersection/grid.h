// grid.h - the voxel grid the ray queries walk: a uniform grid over a box
// whose crowded cells hold grids of their own (at most three levels).
//
// Building follows the classic cell-node scheme (count faces per cell by
// bounding box, bin them by sampling, newest node first, then give crowded
// cells nested grids). Once built, every grid flattens its node lists into
// one compact array per grid (cellStart / items), in the same newest-first
// order, so a walk reads each cell's entries back to back and never chases
// list links.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VekFace.h"

namespace vek {

// An entry of a cell: a face pointer with tag bits in its low bits (faces
// are 8-byte aligned).
using CellItem = uintptr_t;
// The face is no surface (Type() != 0, an area light), decided once at
// preparation so the walks need not call the virtual Type().
constexpr CellItem kItemNotSurface = 0x1;
// The entry is a nested grid (the cell's only entry), not a face.
constexpr CellItem kItemNested = 0x2;
constexpr CellItem kItemTagMask = 0x3;

inline VekFace* ItemFace(CellItem item) { return reinterpret_cast<VekFace*>(item & ~kItemTagMask); }

// An entry of a built grid: the tagged item and, for a face, its ray marks
// (the face's rayNumbers), so a walk can fetch a face and its marks at once
// instead of reading the marks' address out of the face first.
struct CellEntry {
    CellItem item;
    uint32_t* marks;
};

// More faces than this in a cell (counted by bounding box) give it a grid of
// its own.
constexpr int32_t kCrowdedCell = 64;
// Cells per axis at most, in every grid, and lattice steps per face edge.
constexpr int32_t kMaxResolution = 350;
// Cells are grouped in blocks of 16 x 16 x 16 (cell coordinate >> 4); a walk
// crosses an empty block in one move.
constexpr int kBlockShift = 4;

class VekGrid;

// Resolution of a grid for extents e and count faces: the longest axis gets
// about 3 x cube root(count) cells, the others proportionally fewer.
void ResolutionRule(const CG::vec3<float>& extents, int64_t count, int32_t limit, int32_t out[3]);

// The part of a grid that the queries' per-thread state lives in. Each
// thread's ray counter sits on its own cache line so that threads counting
// rays never share a line.
class VekVoxel {
public:
    struct alignas(64) RayCounter {
        uint32_t value;
    };

    CG::vec3<float> boundsMin;
    CG::vec3<float> boundsMax;
    RayCounter rayCounters[VEK_MAX_THREADS];
    int32_t cullFace = 0;
    // Last opaque occluder per (thread, light): thread-major rows of
    // occluderCacheStride slots, so each thread writes only its own lines.
    std::vector<const VekFace*> occluderCache;
    int32_t occluderCacheLights = 0;
    int32_t occluderCacheStride = 0;
    int32_t statistics[6] = {0, 0, 0, 0, 0, 0};  // reported, never counted
};

class VekGrid : public VekVoxel {
public:
    // An empty grid over [lo, hi] with resolution res (each 1..350).
    VekGrid(const CG::vec3<float>& lo, const CG::vec3<float>& hi, const int32_t res[3]);
    ~VekGrid();
    VekGrid(const VekGrid&) = delete;
    VekGrid& operator=(const VekGrid&) = delete;

    // Builds the whole structure from the tagged face list: counting,
    // binning, nested grids, then the compact cell arrays.
    void Build(const std::vector<CellItem>& faces);

    int32_t resolution[3];
    int32_t sliceSize;
    CG::vec3<float> cellSize;
    CG::vec3<float> inverseCellSize;
    float minCellSize;
    int32_t strides[3];

    // Entries of cell i are items[cellStart[i] .. cellStart[i + 1]).
    std::vector<uint32_t> cellStart;
    std::vector<CellEntry> items;
    std::vector<std::unique_ptr<VekGrid>> nestedGrids;
    // One bit per cell, set when the cell holds an entry: a compact copy of
    // "cellStart[i] != cellStart[i + 1]" that stays in cache on large grids.
    std::vector<uint64_t> cellOccupied;
    bool CellOccupied(int32_t index) const { return (cellOccupied[index >> 6] >> (index & 63)) & 1; }
    // Per block, non-zero when any of its cells holds an entry; block
    // (x, y, z) at (z * blockResolution[1] + y) * blockResolution[0] + x.
    std::vector<uint8_t> blockOccupied;
    int32_t blockResolution[3];

    bool BlockEmpty(const int32_t cell[3]) const
    {
        const int32_t x = cell[0] >> kBlockShift, y = cell[1] >> kBlockShift, z = cell[2] >> kBlockShift;
        return !blockOccupied[(static_cast<size_t>(z) * blockResolution[1] + y) * blockResolution[0] + x];
    }

private:
    struct Node;
    struct NodePool;
    struct Holder;

    void CountFaces(const std::vector<CellItem>& faces);
    void BinFaces(const std::vector<CellItem>& faces);
    void BuildNestedGrids(bool count);
    void Flatten();

    void BinByBox(CellItem item, const CG::vec3<float>& lo, const CG::vec3<float>& hi);
    void BinTriangle(CellItem item, const VekFace& f);
    void BinQuadrilateral(CellItem item, const VekFace& f);
    void Insert(CellItem item, int32_t x, int32_t y, int32_t z);
    void CellRange(const CG::vec3<float>& lo, const CG::vec3<float>& hi, int32_t first[3], int32_t last[3]) const;
    int32_t CellCoordinate(float p, int axis) const;

    // Build-time state, released by Flatten.
    std::vector<int32_t> cellCounts_;
    std::vector<Node*> heads_;
    std::unique_ptr<NodePool> pool_;
    std::vector<std::unique_ptr<Holder>> holders_;
};

}  // namespace vek
