// grid.h - the voxel grid the ray queries walk: a uniform grid over a box
// whose crowded cells hold grids of their own (at most three levels).
//
// Building follows the classic scheme (count faces per cell by bounding box,
// bin them by sampling, then give crowded cells nested grids, within a
// memory allowance per crowded cell), but a cell's entries are not kept in
// node lists: binning logs (cell, face) pairs in the order it makes them,
// and each grid, once built, sorts its log by cell into one compact array
// (cellStart / items), newest first within a cell as the lists had them,
// so a walk reads each cell's entries back to back; the entries name
// packed face records shared by all grids.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VekFace.h"

namespace vek {

// A face as the grid's builder sees it: a face pointer with tag bits in its
// low bits (faces are 8-byte aligned).
using CellItem = uintptr_t;
// The face is no surface (Type() != 0, an area light), decided once at
// preparation so the walks need not call the virtual Type().
constexpr CellItem kItemNotSurface = 0x1;
// The build-time entry is a nested grid (the cell's only entry), not a face.
constexpr CellItem kItemNested = 0x2;
constexpr CellItem kItemTagMask = 0x3;

inline VekFace* ItemFace(CellItem item) { return reinterpret_cast<VekFace*>(item & ~kItemTagMask); }

// What a walk needs to test a face, packed into one cache line: the plane,
// the corners already projected onto the two axes the inside test keeps, the
// face and its ray marks. Records sit in one array in the hierarchy's leaf
// order, so the faces of a leaf, and mostly those of a cell, are neighbours
// in memory, and a walk reads the face itself only when the ray hits it; a
// search not even then when the face is opaque.
//
// Tag bits ride in the pointers' low bits (faces are 8-byte aligned, marks
// 4-byte): the main axis and the corner count on the face pointer, two flags
// on the marks pointer; and in the face pointer's top bit (no address
// reaches it) whether the face stopped all light at preparation. A face
// whose test the record cannot reproduce bit for bit (billboard copies,
// which turn after preparation; bounds that are not those of its corners;
// an unusable main axis) gets main axis kRecordIndirect and is tested
// through the face as it stands.
struct alignas(64) FaceRecord {
    CG::vec3<float> normal;
    float planeOffset;
    float u[4];
    float v[4];
    uintptr_t face;
    uintptr_t marks;
};
static_assert(sizeof(FaceRecord) == 64, "a face record is one cache line");

constexpr uintptr_t kRecordAxisMask = 0x3;
constexpr uintptr_t kRecordIndirect = 0x3;
constexpr uintptr_t kRecordQuad = 0x4;
// A face whose shadow the searches decide from the record alone: it casts
// shadows and its material (no second map) lets nothing through.
constexpr uintptr_t kRecordOpaque = uintptr_t(1) << 63;
constexpr uintptr_t kRecordFaceTags = 0x7 | kRecordOpaque;
constexpr uintptr_t kRecordNotSurface = 0x1;
constexpr uintptr_t kRecordNoShadow = 0x2;  // the face casts no shadow
constexpr uintptr_t kRecordMarkTags = 0x3;

inline VekFace* RecordFace(const FaceRecord& r) { return reinterpret_cast<VekFace*>(r.face & ~kRecordFaceTags); }
// Whether a surface stops all light towards a light: it casts shadows and
// has no material, or a material without a second map whose transparency
// is nil. The searches take this, and whether a face casts shadows at all,
// from the records the preparation makes.
bool StopsAllLight(const VekFace& surface);
inline uint32_t* RecordMarks(const FaceRecord& r) { return reinterpret_cast<uint32_t*>(r.marks & ~kRecordMarkTags); }

// The records of the faces a grid places (all but back sides), in list
// order, and each one's place in the list.
void MakeRecords(const std::vector<CellItem>& faces, std::vector<FaceRecord>& records, std::vector<uint32_t>& placeInList);

// What every query starts from: its ray and the parameter it starts after.
// Each query's own record adds where it ends and what it passes over.
struct QueryRay {
    CG::vec3<float> origin;
    CG::vec3<float> direction;
    float tMin;
};

// An entry of a built grid's cell: a face record's index, or (top bit set)
// the index of the cell's nested grid, then the cell's only entry.
constexpr uint32_t kEntryNested = 0x80000000u;

// More faces than this in a cell (counted by bounding box) give it a grid of
// its own.
constexpr int32_t kCrowdedCell = 64;
// Cells per axis at most, in every grid, and lattice steps per face edge.
constexpr int32_t kMaxResolution = 350;
// Cells are grouped in blocks of 8 x 8 x 8 (cell coordinate >> 3); a walk
// crosses an empty block in one move.
constexpr int kBlockShift = 3;

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
    // Last opaque occluder per (thread, light), kept as a copy of its face
    // record (a null face: none), so that trying it again reads only the
    // thread's own line: thread-major rows of occluderCacheLights slots, for
    // the ray threads in force at preparation.
    std::vector<FaceRecord> occluderCache;
    int32_t occluderCacheLights = 0;
    int32_t occluderCacheThreads = 0;
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
    // binning, nested grids, then the compact cell arrays. Its entries name
    // faces by their place in the list until AdoptRecords.
    void Build(const std::vector<CellItem>& faces);
    // Takes the face records (top grid only), placeInList[k] being the
    // place in the list of faces (of which there are faces) of record k's
    // face, renumbers every grid's entries from places to records, and sets
    // the walks' style from the structure's size. Every face the grid is
    // given lands in a cell (cells are clamped into the grid), so every
    // record is named.
    void AdoptRecords(std::vector<FaceRecord>&& made, const std::vector<uint32_t>& placeInList, size_t faces);

    int32_t resolution[3];
    int32_t sliceSize;
    CG::vec3<float> cellSize;
    CG::vec3<float> inverseCellSize;
    float minCellSize;
    int32_t strides[3];

    // The order of the cells' occupancy, offsets and entries: cells grouped
    // in the blocks of 8 x 8 x 8 below (a whole axis when the grid has at
    // most 8 cells along it), blocks in row-major order, cells
    // row-major inside their block. A block's occupancy then lies in a few
    // consecutive lines, which a walk fetches as it enters the block,
    // instead of a line per row of cells it crosses.
    int32_t blockSize[3];
    int32_t localStride[3];  // position steps between neighbours in a block
    int32_t blockStride[3];  // position steps between neighbouring blocks
    int32_t Position(const int32_t cell[3]) const
    {
        int32_t p = 0;
        for (int i = 0; i < 3; ++i)
            p += (cell[i] >> kBlockShift) * blockStride[i] + (cell[i] & ((1 << kBlockShift) - 1)) * localStride[i];
        return p;
    }

    // Cell occupancy, one bit per cell (64 cells a word, in the order above),
    // and per word the number of occupied cells in earlier words and where
    // the entries of its first occupied cell begin (so a walk can fetch a
    // cell's entries before it has read the cell's offset: they follow
    // closely). Only occupied cells have offsets: entries of the k-th
    // occupied cell are items[cellStart[k] .. cellStart[k + 1]). Empty
    // space, most of a large grid, costs two bits per cell instead of an
    // offset.
    struct OccupancyWord {
        uint64_t cells;
        uint32_t occupiedBefore;
        uint32_t firstEntry;
    };
    std::vector<OccupancyWord> occupancy;
    std::vector<uint32_t> cellStart;
    std::vector<uint32_t> items;
    std::vector<std::unique_ptr<VekGrid>> nestedGrids;
    // Top grid only: the face records every grid's entries index.
    std::vector<FaceRecord> records;
    // Set on every grid of a structure too large for the caches: walks then
    // fetch the next cells' data ahead.
    bool fetchAhead = false;

    // The slot k among the occupied cells of the cell at position, and
    // where the entries of its word begin (the cell's own lie at or shortly
    // after); false for an empty cell.
    bool OccupiedSlot(int32_t position, uint32_t& slot, uint32_t& nearEntries) const
    {
        const uint32_t bit = static_cast<uint32_t>(position) & 63;
        const OccupancyWord& w = occupancy[static_cast<uint32_t>(position) >> 6];
        if (!((w.cells >> bit) & 1)) return false;
        slot = w.occupiedBefore + static_cast<uint32_t>(__builtin_popcountll(w.cells & ((uint64_t(1) << bit) - 1)));
        nearEntries = w.firstEntry;
        return true;
    }

    // Per block, non-zero when any of its cells holds an entry; block
    // (x, y, z) at (z * blockResolution[1] + y) * blockResolution[0] + x.
    std::vector<uint8_t> blockOccupied;
    int32_t blockResolution[3];
    // Per empty block, a box of empty blocks around it (block coordinates,
    // both ends included), grown at build; a walk crosses the whole box in
    // one move.
    struct EmptyBox {
        uint8_t lo[3];
        uint8_t hi[3];
    };
    std::vector<EmptyBox> emptyBoxes;

    // The index of block (x, y, z), and of the block that holds cell.
    size_t BlockAt(int32_t x, int32_t y, int32_t z) const
    {
        return (static_cast<size_t>(z) * blockResolution[1] + y) * blockResolution[0] + x;
    }
    size_t BlockIndex(const int32_t cell[3]) const
    {
        return BlockAt(cell[0] >> kBlockShift, cell[1] >> kBlockShift, cell[2] >> kBlockShift);
    }
    bool BlockEmpty(const int32_t cell[3]) const { return !blockOccupied[BlockIndex(cell)]; }
    // Fetches the occupancy of the block that holds cell.
    void FetchBlock(const int32_t cell[3]) const
    {
        const size_t begin = BlockIndex(cell) * static_cast<size_t>(blockStride[0]);
        const size_t first = begin / 64, last = (begin + blockStride[0] - 1) / 64;
        for (size_t w = first; w <= last; w += 64 / sizeof(OccupancyWord)) __builtin_prefetch(&occupancy[w]);
    }

    // Sets this thread's ray mark on every face to 0, so that no face keeps
    // a mark from before the thread's ray numbers started again at 1.
    [[gnu::cold]] void ClearRayMarks(int thread);

private:
    struct Holder;
    struct BuildState;
    template <class Point>
    struct LatticeBins;

    void StartBuild(BuildState* state);
    // Counts face boxes per cell; true when a cell counts more than
    // kCrowdedCell, so that the grid may get crowded cells.
    bool CountFaces(const std::vector<uint32_t>& faces);
    // Bins faces with at most most entries and mostWork lattice blocks;
    // pointwise: small lattices may go point by point, counted at the most
    // work their blocks could take, so that passing mostWork leaves the
    // answer open (kUnsure).
    enum class Binned { kFits, kTooLarge, kUnsure };
    Binned BinFaces(const std::vector<uint32_t>& faces, size_t most, size_t mostWork, bool pointwise);
    void BuildNestedGrids(bool top, size_t allowance, size_t* work);
    void Compact();
    template <class F>
    void ForEachGrid(F f);
    void GrowEmptyBoxes();

    void BinTriangle(uint32_t face, const VekFace& f);
    void BinQuadrilateral(uint32_t face, const VekFace& f);
    // Enters face into each cell cells(insert) names; kMarks: the face
    // may name a cell more than once, which the entered bits then catch.
    template <bool kMarks, class Cells>
    void InsertEach(uint32_t face, Cells cells);
    void InsertRange(uint32_t face, const int32_t first[3], const int32_t last[3]);
    // A crowded cell's first entry: the list its nested grid will be built from.
    void StartCrowded(uint32_t face, int32_t x, int32_t y, int32_t z, uint32_t position);

    // Build-time state: faces are named by their place in the top grid's
    // face list. build_ is this grid's level's state while it is built; the
    // next level's follows it.
    const std::vector<CellItem>* faces_ = nullptr;
    BuildState* build_ = nullptr;
    size_t entries_ = 0;  // face entries binned so far, crowded cells' lists included
    size_t work_ = 0;     // lattice blocks looked at so far
};

}  // namespace vek
