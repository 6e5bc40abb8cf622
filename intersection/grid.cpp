// grid.cpp - building the voxel grid: the resolution rule, counting faces per
// cell, binning them by lattice sampling, nested grids for crowded cells,
// and the compact cell arrays the walks read.
//
// Method: a face is not binned by its whole bounding box but through a
// lattice of small triangles (or small quadrilaterals) no larger than a cell,
// so long thin and diagonal faces occupy few cells. A cell counted with more
// than 64 face boxes becomes a nested grid over the cell's own box; nested
// grids of the second level count again, those of the third do not, so the
// structure is at most three levels deep.
// Departures: the lattice is not visited small triangle by small triangle.
// Blocks of it are taken whole while their box provably gives the cells its
// small triangles give (a block is split only where it straddles cell
// boundaries along two axes, or lies on one to within rounding), so a face
// costs about as much as the cells it lands in, however finely it is
// sampled. Where the binning's work need not be counted exactly (the top
// grid, and second-level grids without crowded cells, which pass no work
// on), a small triangle lattice that does not settle whole is instead taken
// point by point: each point's cell once, each small triangle's cells from
// its corners' cells, gathered as bits and entered once, which costs less
// than its blocks. In the top grid, whose work nothing reads, a large
// lattice whose rows run along an axis (floors, walls) goes strip by strip
// between its rows instead, each strip whose rows keep to one cell along
// two axes entered as its box at once.
// Counting by box adds to each cell of small boxes, or sums marks
// at box corners where boxes are large beside the grid. Cells are not
// lists: binning logs (cell, face) entries and each grid sorts its log by
// cell once built. The nested grids of a crowded cell may take a fixed
// number of bytes, and their binning a fixed amount of work, per face of
// the cell; a grid that cannot separate its faces within that is dropped
// and its cell keeps a plain list.
#include "intersection/grid.h"

#include <emmintrin.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "VekSurface.h"
#include "core/platform.h"
#include "intersection/face_tests.h"

namespace vek {

// A crowded cell: its box, the resolution of its grid and the faces sorted
// into it, in order. The grid itself is made only when it is built, so the
// cell arrays of many crowded cells never stand at once; a cell whose grid
// could not separate its faces within its allowance keeps them as a plain
// list instead (grid null).
struct VekGrid::Holder {
    CG::vec3<float> lo, hi;
    int32_t resolution[3];
    std::vector<uint32_t> faces;
    std::unique_ptr<VekGrid> grid;
};

// What a grid needs while it is built. There is one per level of the
// structure: the grids of a level are built one after another, each made
// compact (or dropped) before the next begins, and each releases it all as
// soon as it is done, so that what is allocated next (its compact arrays,
// the next grids) reuses the memory and none of it outlives the build.
// Cells are named by their position (the order of the compact arrays), so
// a cell's neighbours lie close by.
struct VekGrid::BuildState {
    // Per cell: until its first entry, the faces counted there by box; then
    // its entry count (a plain cell) or kCellCrowded and its holder. Taken
    // zeroed from the allocator, which hands a large block out as untouched
    // pages the system zeroes only where they are first written: the cells
    // a build never reaches, most of a large grid, cost neither time nor
    // memory.
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<uint32_t, Free> cells;
    // Per cell, one bit: holds an entry (the occupancy bits, copied into
    // the compact arrays, which are made together once the grid is built).
    std::vector<uint64_t> occupied;
    // Per cell, one bit: entered by the face being binned, which enters a
    // cell once; marked, whether the face has set any (a face whose cells
    // are gathered first enters each once without them).
    std::vector<uint64_t> entered;
    bool marked = false;
    // Whether small lattices may be binned point by point (BinFaces). Kept
    // here, not in the grid: a grid's size is part of what its allowance
    // counts.
    bool pointwise = false;
    // Whether nothing reads the binning's work (the top grid's): large
    // lattices may then go strip by strip (LatticeBins::Strips).
    bool stripwise = false;
    // Plain cells' entries in the order they were made (the face in the
    // high half, the cell's position in the low), in blocks of 32 KiB that
    // never move as the log grows.
    static constexpr size_t kLogShift = 12;
    std::vector<std::unique_ptr<uint64_t[]>> log;
    size_t logged = 0;
    // The log's free slots from entry logged on, up to the end of its
    // block (end), adding a block when the last one is full.
    uint64_t* LogRoom(uint64_t*& end)
    {
        if ((logged >> kLogShift) == log.size()) log.emplace_back(new uint64_t[size_t(1) << kLogShift]);
        uint64_t* block = log[logged >> kLogShift].get();
        end = block + (size_t(1) << kLogShift);
        return block + (logged & ((size_t(1) << kLogShift) - 1));
    }
    uint64_t Logged(size_t i) const { return log[i >> kLogShift][i & ((size_t(1) << kLogShift) - 1)]; }
    // The free part of the log's last block (none before the first entry),
    // kept from one face to the next so that a face's first entry need not
    // look the block up again.
    uint64_t* logAt = nullptr;
    uint64_t* logEnd = nullptr;
    void Release()
    {
        cells.reset();
        std::vector<uint64_t>().swap(occupied);
        std::vector<uint64_t>().swap(entered);
        std::vector<std::unique_ptr<uint64_t[]>>().swap(log);
        logged = 0;
        logAt = logEnd = nullptr;
        std::vector<std::unique_ptr<Holder>>().swap(holders);
        for (std::vector<uint32_t>& p : place) std::vector<uint32_t>().swap(p);
    }
    // Crowded cells in the order their first face was met.
    std::vector<std::unique_ptr<Holder>> holders;
    // Per axis, a cell coordinate's share of the position.
    std::vector<uint32_t> place[3];
};

namespace {

// A cell's word in the build state marks a crowded cell with this bit.
constexpr uint32_t kCellCrowded = 0x80000000u;
// Walks fetch ahead on structures larger than this (records, entries,
// offsets and occupancy), several times what a core's caches hold.
constexpr size_t kFetchAheadBytes = size_t(8) << 20;
// Loops over faces fetch the face this many places ahead, enough to cover
// a read from memory behind the shortest loop's work: faces are records of
// their own, read a few times over a build.
constexpr size_t kFacesAhead = 16;
// Extents and cell sizes at or below this count as zero.
constexpr float kZeroLength = 1e-10f;
constexpr float kCubeRoot = 0.33333334f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;
// The nested grids of a crowded cell, both levels together, take at most this
// many bytes per face of the cell (its own list takes 4 each), counted as
// below. Ordinary geometry needs a few dozen; faces that nested cells meet
// again and again (copies of one face, fans around one point) would need
// thousands, and keep lists.
constexpr size_t kNestedBytesPerFace = 256;
// What a nested grid is counted at: an entry with room for its cell's
// offset, and per cell a quarter byte (occupancy bits, blocks, empty boxes),
// beside the grid record itself.
constexpr size_t kEntryBytes = 8;
// The binning of a crowded cell's nested grids, both levels together and
// dropped ones included, may look at this many lattice blocks per entry the
// cell's allowance would hold, so their time is bounded as their memory is.
// Grids need a few per entry; one that needs more (faces lying on its cell
// boundaries to within rounding, whose cells only single small triangles
// can tell) is dropped like one that holds too much.
constexpr size_t kWorkPerEntry = 16;
size_t GridBytes(const int32_t res[3])
{
    return sizeof(VekGrid) + static_cast<size_t>(res[0]) * static_cast<size_t>(res[1]) * res[2] / 4;
}
// A computed lattice point lies within 8 (triangle) or 11 (quadrilateral)
// units of 2^-24 times its face's largest absolute corner coordinate (per
// axis) of the exact point, adding up the roundings of its few operations.
// The lowest point of a block then lies less than twice that below its
// lowest corner; with the rounding of the subtraction that tests it, 24
// units cover both lattices.
constexpr float kLatticeError = 24.0f / 16777216.0f;
// ... plus this much, for roundings among subnormal numbers.
constexpr float kLatticeErrorFloor = 1e-36f;
// Triangle lattices of at most this many steps, in a grid that counts no
// binning work, are binned point by point (LatticeBins::Direct): past it,
// blocks taken whole cost less than visiting every small triangle.
constexpr int32_t kDirectSteps = 8;
// Corners within this (per coordinate) give lattice points that are all
// numbers: none of the few sums and products that make one can overflow.
constexpr float kDirectLimit = 1e30f;

float Length(const CG::vec3<float>& a) { return std::sqrt(CG::dot(a, a)); }

// Lattice steps for an edge of length: one per cell size, plus one, at most
// 350. NaN or huge ratios never reach an integer conversion.
int32_t LatticeSteps(float length, float minCellSize)
{
    const float q = length / minCellSize;
    if (!(q < static_cast<float>(kMaxResolution - 1))) return q >= 0.0f ? kMaxResolution : 1;
    return static_cast<int32_t>(q) + 1;
}

// The corner a quadrilateral's lattice is sized from: a sharp corner hands
// over to the next, a wide one is taken at once, otherwise the widest.
int BaseCorner(const VekFace& f)
{
    int remembered = 0;
    float widest = -1.0f;
    for (int i = 0; i < 4; ++i) {
        const CG::vec3<float> next = f.vertex[(i + 1) & 3] - f.vertex[i];
        const CG::vec3<float> prev = f.vertex[(i + 3) & 3] - f.vertex[i];
        const float cosine = CG::dot(next, prev) / (Length(next) * Length(prev));
        float theta = std::acos(std::min(1.0f, std::max(-1.0f, cosine)));
        if (prev.y * next.x - prev.x * next.y < 0.0f) theta = kTwoPi - theta;
        if (theta < kQuarterPi) return (i + 1) & 3;
        if (theta > kThreeQuarterPi) return i;
        if (theta > widest) {
            widest = theta;
            remembered = i;
        }
    }
    return remembered;
}

// Fetches a face's fields ahead of their use; they may span three lines.
void FetchFace(const VekFace* f)
{
    const char* p = reinterpret_cast<const char*>(f);
    __builtin_prefetch(p);
    __builtin_prefetch(p + 64);
    __builtin_prefetch(p + sizeof(VekFace) - 1);
}

FaceRecord MakeRecord(const VekFace& f, bool notSurface)
{
    static_assert(alignof(VekFace) >= 8 && alignof(uint32_t) >= 4, "record tags need the pointers' low bits");
    FaceRecord r;
    r.normal = f.normal;
    r.planeOffset = f.planeOffset;
    const bool quad = f.vertexCount == 4;
    const int n = quad ? 4 : 3;
    // The record reproduces the face's inside test only where the face's
    // projected bounds are exactly those of its corners, as the test
    // recomputes them from the corners.
    uintptr_t axis = kRecordIndirect;
    if (f.mainAxis >= 0 && f.mainAxis <= 2 && !(f.flags & (VEK_FACE_BILLBOARD_VIEW | VEK_FACE_BILLBOARD_SHADOW))) {
        const int u = kAxisU[f.mainAxis], v = kAxisV[f.mainAxis];
        float lo[2] = {f.vertex[0][u], f.vertex[0][v]}, hi[2] = {lo[0], lo[1]};
        for (int i = 0; i < 4; ++i) {
            const CG::vec3<float>& p = f.vertex[i < n ? i : n - 1];
            r.u[i] = p[u];
            r.v[i] = p[v];
            lo[0] = std::min(lo[0], p[u]);
            hi[0] = std::max(hi[0], p[u]);
            lo[1] = std::min(lo[1], p[v]);
            hi[1] = std::max(hi[1], p[v]);
        }
        if (lo[0] == f.boundsMin[u] && hi[0] == f.boundsMax[u] && lo[1] == f.boundsMin[v] && hi[1] == f.boundsMax[v])
            axis = static_cast<uintptr_t>(f.mainAxis);
    }
    if (axis == kRecordIndirect)
        for (int i = 0; i < 4; ++i) r.u[i] = r.v[i] = 0.0f;
    r.face = reinterpret_cast<uintptr_t>(&f) | axis | (quad ? kRecordQuad : 0) |
             (!notSurface && StopsAllLight(f) ? kRecordOpaque : 0);
    r.marks = reinterpret_cast<uintptr_t>(f.rayNumbers) | (notSurface ? kRecordNotSurface : 0) |
              ((f.flags & VEK_FACE_NO_SHADOW) ? kRecordNoShadow : 0);
    return r;
}

// A point in vector lanes x, y, z (the fourth lane is unused). Cells and
// the lattice's arithmetic are done lane by lane with the same operations
// in the same order as on the three coordinates one by one, so every point
// and every cell comes out bit for bit as it always has.
using Lanes = __m128;

Lanes ToLanes(const CG::vec3<float>& v) { return _mm_setr_ps(v.x, v.y, v.z, 0.0f); }

// A grid's cells along x, y and z at once: a coordinate's cell is the
// truncation of its place in cells, clamped into the grid as a float first
// (NaN to 0), so that no NaN or huge value is converted.
struct CellLanes {
    Lanes lowest, inverse, last;

    explicit CellLanes(const VekGrid& g)
        : lowest(ToLanes(g.boundsMin)),
          inverse(ToLanes(g.inverseCellSize)),
          last(_mm_setr_ps(static_cast<float>(g.resolution[0] - 1), static_cast<float>(g.resolution[1] - 1),
                           static_cast<float>(g.resolution[2] - 1), 0.0f))
    {
    }
    __m128i operator()(Lanes p) const
    {
        const Lanes f = _mm_mul_ps(_mm_sub_ps(p, lowest), inverse);
        return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(f, _mm_setzero_ps()), last));
    }
};

// Cell coordinates out of their lanes.
struct CellRange {
    alignas(16) int32_t first[4];
    alignas(16) int32_t last[4];

    CellRange(__m128i a, __m128i b)
    {
        _mm_store_si128(reinterpret_cast<__m128i*>(first), a);
        _mm_store_si128(reinterpret_cast<__m128i*>(last), b);
    }
    CellRange(const CellLanes& cells, const VekFace& f)
        : CellRange(cells(ToLanes(f.boundsMin)), cells(ToLanes(f.boundsMax)))
    {
    }
};

}  // namespace

void ResolutionRule(const CG::vec3<float>& e, int64_t count, int32_t limit, int32_t out[3])
{
    out[0] = out[1] = out[2] = 1;
    const float m = std::max(e.x, std::max(e.y, e.z));
    if (!(m > kZeroLength)) return;
    const float c = std::pow(static_cast<float>(count), kCubeRoot);
    for (int i = 0; i < 3; ++i) {
        const float r = std::floor(c * 3.0f * (1.0f / m) * e[i] + 0.5f);
        // Compared as floats first: NaN and huge values never reach the
        // integer conversion.
        if (!(r >= 1.0f)) out[i] = 1;
        else if (r > static_cast<float>(limit)) out[i] = limit;
        else out[i] = static_cast<int32_t>(r);
    }
}

VekGrid::VekGrid(const CG::vec3<float>& lo, const CG::vec3<float>& hi, const int32_t res[3])
{
    boundsMin = lo;
    boundsMax = hi;
    for (RayCounter& counter : rayCounters) counter.value = 0;
    for (int i = 0; i < 3; ++i) {
        assert(res[i] >= 1 && res[i] <= kMaxResolution);
        resolution[i] = res[i];
        cellSize[i] = (hi[i] - lo[i]) / static_cast<float>(res[i]);
        inverseCellSize[i] = 1.0f / cellSize[i];
    }
    sliceSize = resolution[0] * resolution[1];
    strides[0] = 1;
    strides[1] = resolution[0];
    strides[2] = sliceSize;
    minCellSize = std::min(cellSize.x, std::min(cellSize.y, cellSize.z));
    // The order of the compact arrays: blocks of up to 8 cells a side.
    for (int i = 0; i < 3; ++i) {
        blockResolution[i] = ((resolution[i] - 1) >> kBlockShift) + 1;
        blockSize[i] = std::min(resolution[i], int32_t(1) << kBlockShift);
    }
    const int32_t blockCells = blockSize[0] * blockSize[1] * blockSize[2];
    localStride[0] = 1;
    localStride[1] = blockSize[0];
    localStride[2] = blockSize[0] * blockSize[1];
    blockStride[0] = blockCells;
    blockStride[1] = blockResolution[0] * blockCells;
    blockStride[2] = blockResolution[0] * blockResolution[1] * blockCells;
}

VekGrid::~VekGrid() = default;

void VekGrid::GrowEmptyBoxes()
{
    // Each empty block's box grows a layer at a time, on each side in turn,
    // while the whole new layer is empty. Whether a layer is empty is read
    // from the occupied blocks of that layer summed over every rectangle
    // from its corner (a summed-area table per layer, for layers across
    // each axis), so each try costs four reads however large the box has
    // grown.
    const int32_t* n = blockResolution;
    // Across axis a, a layer's rectangles span axes across[a][0] (u, the
    // faster) and across[a][1] (v).
    static constexpr int across[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    std::vector<int32_t> sums[3];  // sums[a][(at, v, u)]: the blocks of layer at below (u, v)
    for (int axis = 0; axis < 3; ++axis) {
        const int ua = across[axis][0], va = across[axis][1];
        const size_t su = static_cast<size_t>(n[ua]) + 1, sl = su * (static_cast<size_t>(n[va]) + 1);
        std::vector<int32_t>& t = sums[axis];
        t.assign(sl * static_cast<size_t>(n[axis]), 0);
        int32_t block[3];
        for (block[axis] = 0; block[axis] < n[axis]; ++block[axis])
            for (block[va] = 0; block[va] < n[va]; ++block[va])
                for (block[ua] = 0; block[ua] < n[ua]; ++block[ua]) {
                    const size_t at = block[axis] * sl + (block[va] + 1) * su + (block[ua] + 1);
                    const size_t index = BlockAt(block[0], block[1], block[2]);
                    t[at] = (blockOccupied[index] ? 1 : 0) + t[at - 1] + t[at - su] - t[at - 1 - su];
                }
    }
    auto layerEmpty = [&](const int32_t lo[3], const int32_t hi[3], int axis, int32_t at) {
        const int ua = across[axis][0], va = across[axis][1];
        const size_t su = static_cast<size_t>(n[ua]) + 1, sl = su * (static_cast<size_t>(n[va]) + 1);
        const int32_t* t = sums[axis].data() + at * sl;
        const size_t u0 = lo[ua], u1 = hi[ua] + 1, v0 = lo[va] * su, v1 = (hi[va] + 1) * su;
        return t[v1 + u1] - t[v0 + u1] - t[v1 + u0] + t[v0 + u0] == 0;
    };
    emptyBoxes.assign(blockOccupied.size(), EmptyBox{{0, 0, 0}, {0, 0, 0}});
    for (int32_t z = 0; z < n[2]; ++z)
        for (int32_t y = 0; y < n[1]; ++y)
            for (int32_t x = 0; x < n[0]; ++x) {
                if (blockOccupied[BlockAt(x, y, z)]) continue;
                // A side that once meets an occupied block stays closed:
                // its layer only widens as the other sides grow.
                int32_t lo[3] = {x, y, z}, hi[3] = {x, y, z};
                bool openLo[3] = {true, true, true}, openHi[3] = {true, true, true};
                for (bool grew = true; grew;) {
                    grew = false;
                    for (int axis = 0; axis < 3; ++axis) {
                        if (openLo[axis]) {
                            if (lo[axis] > 0 && layerEmpty(lo, hi, axis, lo[axis] - 1)) {
                                --lo[axis];
                                grew = true;
                            } else {
                                openLo[axis] = false;
                            }
                        }
                        if (openHi[axis]) {
                            if (hi[axis] + 1 < n[axis] && layerEmpty(lo, hi, axis, hi[axis] + 1)) {
                                ++hi[axis];
                                grew = true;
                            } else {
                                openHi[axis] = false;
                            }
                        }
                    }
                }
                EmptyBox& box = emptyBoxes[BlockAt(x, y, z)];
                for (int i = 0; i < 3; ++i) {
                    box.lo[i] = static_cast<uint8_t>(lo[i]);
                    box.hi[i] = static_cast<uint8_t>(hi[i]);
                }
            }
}

template <class F>
void VekGrid::ForEachGrid(F f)
{
    f(*this);
    for (const std::unique_ptr<VekGrid>& nested : nestedGrids) nested->ForEachGrid(f);
}

void VekGrid::Build(const std::vector<CellItem>& faces)
{
    if (faces.size() >= kEntryNested) throw std::bad_alloc();
    // Counting, binning, then the crowded cells' grids, each made compact
    // as soon as it is built, and this one last.
    BuildState levels[3];  // the top grid's, then the nested grids' of each level
    std::vector<uint32_t> all(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) all[i] = static_cast<uint32_t>(i);
    faces_ = &faces;
    StartBuild(&levels[0]);
    CountFaces(all);
    BinFaces(all, std::numeric_limits<size_t>::max(), std::numeric_limits<size_t>::max(), true);
    std::vector<uint32_t>().swap(all);
    BuildNestedGrids(true, 0, nullptr);
    Compact();
}

void VekGrid::AdoptRecords(std::vector<FaceRecord>&& made, const std::vector<uint32_t>& placeInList, size_t faces)
{
    std::vector<uint32_t> placeOf(faces, kEntryNested);
    for (size_t k = 0; k < made.size(); ++k) placeOf[placeInList[k]] = static_cast<uint32_t>(k);
    ForEachGrid([&](VekGrid& g) {
        for (uint32_t& e : g.items)
            if (!(e & kEntryNested)) e = placeOf[e];
    });
    records = std::move(made);
    // Walk style: fetching ahead pays once the structure is well beyond
    // what the caches hold, and only costs on smaller ones.
    size_t bytes = records.size() * sizeof(FaceRecord);
    ForEachGrid([&](VekGrid& g) {
        bytes += g.items.size() * sizeof(uint32_t) + g.cellStart.size() * sizeof(uint32_t) +
                 g.occupancy.size() * sizeof(OccupancyWord);
    });
    const bool large = bytes > kFetchAheadBytes;
    ForEachGrid([&](VekGrid& g) { g.fetchAhead = large; });
}

void VekGrid::StartBuild(BuildState* state)
{
    build_ = state;
    BuildState& s = *state;
    const size_t positions = static_cast<size_t>(blockStride[2]) * blockResolution[2];
    s.Release();
    s.cells.reset(static_cast<uint32_t*>(std::calloc(positions, sizeof(uint32_t))));
    if (!s.cells) throw std::bad_alloc();
    s.entered.assign((positions + 63) / 64, 0u);
    for (int i = 0; i < 3; ++i) {
        s.place[i].resize(resolution[i]);
        int32_t cell[3] = {0, 0, 0};
        for (cell[i] = 0; cell[i] < resolution[i]; ++cell[i])
            s.place[i][cell[i]] = static_cast<uint32_t>(Position(cell));
    }
    s.occupied.assign((positions + 63) / 64, 0u);
}

void VekGrid::ClearRayMarks(int thread)
{
    for (const FaceRecord& r : records) RecordMarks(r)[thread] = 0;
}

bool VekGrid::CountFaces(const std::vector<uint32_t>& faces)
{
    // Each face box adds 1 to a block of cells. Where the boxes are small
    // beside the grid (a large grid of small faces), each adds to its own
    // cells; otherwise each marks its block's corners and the marks are
    // summed along x, y and z (prefix sums), so the cost is the faces plus
    // the cells, not the cells of every box.
    BuildState& s = *build_;
    const int32_t nx = resolution[0], ny = resolution[1], nz = resolution[2];
    const uint32_t *px = s.place[0].data(), *py = s.place[1].data(), *pz = s.place[2].data();
    uint32_t* c = s.cells.get();
    const CellLanes cells(*this);
    // 1. Every face's cell range.
    struct Range {
        uint16_t first[3], last[3];
    };
    std::vector<Range> ranges;
    ranges.reserve(faces.size());
    size_t covered = 0;
    for (size_t n = 0; n < faces.size(); ++n) {
        if (n + kFacesAhead < faces.size()) FetchFace(ItemFace((*faces_)[faces[n + kFacesAhead]]));
        const VekFace& f = *ItemFace((*faces_)[faces[n]]);
        if (f.flags & VEK_FACE_BACK_SIDE) continue;
        const CellRange range(cells, f);
        const int32_t *lo = range.first, *hi = range.last;
        Range r;
        size_t boxCells = 1;
        for (int i = 0; i < 3; ++i) {
            r.first[i] = static_cast<uint16_t>(lo[i]);
            r.last[i] = static_cast<uint16_t>(hi[i]);
            boxCells *= static_cast<size_t>(hi[i] - lo[i] + 1);
        }
        covered += boxCells;
        ranges.push_back(r);
    }
    // 2. Adding to every cell of each box, when that is the cheaper way.
    const size_t gridCells = static_cast<size_t>(sliceSize) * static_cast<size_t>(nz);
    uint32_t most = 0;
    if (covered <= 8 * ranges.size() + 3 * gridCells) {
        for (const Range& r : ranges)
            for (int32_t z = r.first[2]; z <= r.last[2]; ++z)
                for (int32_t y = r.first[1]; y <= r.last[1]; ++y)
                    for (int32_t x = r.first[0]; x <= r.last[0]; ++x)
                        most = std::max(most, ++c[pz[z] + py[y] + px[x]]);
        return most > static_cast<uint32_t>(kCrowdedCell);
    }
    // 3. Otherwise the corners, then the sums along each axis.
    auto add = [&](int32_t x, int32_t y, int32_t z, uint32_t value) {
        if (x < nx && y < ny && z < nz) c[pz[z] + py[y] + px[x]] += value;
    };
    const uint32_t minus = ~0u;  // the counts wrap around and come back
    for (const Range& r : ranges) {
        const int32_t lo[3] = {r.first[0], r.first[1], r.first[2]};
        const int32_t hi[3] = {r.last[0] + 1, r.last[1] + 1, r.last[2] + 1};
        add(lo[0], lo[1], lo[2], 1);
        add(hi[0], lo[1], lo[2], minus);
        add(lo[0], hi[1], lo[2], minus);
        add(lo[0], lo[1], hi[2], minus);
        add(hi[0], hi[1], lo[2], 1);
        add(hi[0], lo[1], hi[2], 1);
        add(lo[0], hi[1], hi[2], 1);
        add(hi[0], hi[1], hi[2], minus);
    }
    for (int32_t z = 0; z < nz; ++z)
        for (int32_t y = 0; y < ny; ++y)
            for (int32_t x = 1; x < nx; ++x) c[pz[z] + py[y] + px[x]] += c[pz[z] + py[y] + px[x - 1]];
    for (int32_t z = 0; z < nz; ++z)
        for (int32_t y = 1; y < ny; ++y)
            for (int32_t x = 0; x < nx; ++x) c[pz[z] + py[y] + px[x]] += c[pz[z] + py[y - 1] + px[x]];
    for (int32_t z = 1; z < nz; ++z)
        for (int32_t y = 0; y < ny; ++y)
            for (int32_t x = 0; x < nx; ++x) c[pz[z] + py[y] + px[x]] += c[pz[z - 1] + py[y] + px[x]];
    for (int32_t z = 0; z < nz; ++z)
        for (int32_t y = 0; y < ny; ++y)
            for (int32_t x = 0; x < nx; ++x) most = std::max(most, c[pz[z] + py[y] + px[x]]);
    return most > static_cast<uint32_t>(kCrowdedCell);
}

VekGrid::Binned VekGrid::BinFaces(const std::vector<uint32_t>& faces, size_t most, size_t mostWork, bool pointwise)
{
    BuildState& s = *build_;
    s.pointwise = pointwise;
    s.stripwise = pointwise && mostWork == std::numeric_limits<size_t>::max();
    for (size_t n = 0; n < faces.size(); ++n) {
        if (n + kFacesAhead < faces.size()) FetchFace(ItemFace((*faces_)[faces[n + kFacesAhead]]));
        const uint32_t face = faces[n];
        const VekFace& f = *ItemFace((*faces_)[face]);
        if (f.flags & VEK_FACE_BACK_SIDE) continue;
        const size_t start = s.logged;
        s.marked = false;
        if (f.flags & (VEK_FACE_BILLBOARD_VIEW | VEK_FACE_BILLBOARD_SHADOW)) {
            const CellRange range(CellLanes(*this), f);  // the widened box covers every turn
            InsertRange(face, range.first, range.last);
        } else if (f.vertexCount == 4) {
            BinQuadrilateral(face, f);
        } else {
            BinTriangle(face, f);
        }
        // The cells this face entered are open to the next one again.
        for (size_t e = start; s.marked && e < s.logged; ++e) {
            const uint32_t position = static_cast<uint32_t>(s.Logged(e));
            s.entered[position >> 6] &= ~(uint64_t(1) << (position & 63));
        }
        if (entries_ > most) return Binned::kTooLarge;
        if (work_ > mostWork) return pointwise ? Binned::kUnsure : Binned::kTooLarge;
    }
    return Binned::kFits;
}

template <bool kMarks, class Cells>
void VekGrid::InsertEach(uint32_t face, Cells cells)
{
    // Plain cells, nearly every entry, are entered here on local copies of
    // the build state's pointers and counters: the stores into the bit
    // arrays could otherwise alias the log's counters and force them to be
    // read back for every cell. A crowded cell's first entry, which makes
    // its list, takes the slow path.
    BuildState& s = *build_;
    uint64_t* const entered = s.entered.data();
    uint64_t* const occupied = s.occupied.data();
    uint32_t* const counts = s.cells.get();
    size_t logged = s.logged, added = 0;
    uint64_t *logAt = s.logAt, *logEnd = s.logEnd;
    cells([&](int32_t x, int32_t y, int32_t z, uint32_t position) {
        const uint64_t bit = uint64_t(1) << (position & 63);
        // The face has entered this plain cell already (its blocks overlap
        // where they meet).
        uint64_t& enteredWord = entered[position >> 6];
        if (kMarks && (enteredWord & bit)) return;
        uint64_t& occupiedWord = occupied[position >> 6];
        uint32_t& cell = counts[position];
        // 1. A cell's first entry settles its kind: more than kCrowdedCell
        //    faces counted there by box make it crowded.
        if (!(occupiedWord & bit)) {
            if (cell > static_cast<uint32_t>(kCrowdedCell)) return StartCrowded(face, x, y, z, position);
            occupiedWord |= bit;
            cell = 0;
        } else if (cell & kCellCrowded) {
            // A crowded cell met again: the face joins its list once.
            std::vector<uint32_t>& list = s.holders[cell & ~kCellCrowded]->faces;
            if (list.back() != face) {
                list.push_back(face);
                ++added;
            }
            return;
        }
        // 2. A plain cell: an entry.
        if (kMarks) enteredWord |= bit;
        ++cell;
        if (logAt == logEnd) {
            s.logged = logged;
            logAt = s.LogRoom(logEnd);
        }
        *logAt++ = uint64_t(face) << 32 | position;
        ++logged;
        ++added;
    });
    s.logged = logged;
    s.logAt = logAt;
    s.logEnd = logEnd;
    entries_ += added;
    if (kMarks) s.marked = true;
}

void VekGrid::InsertRange(uint32_t face, const int32_t first[3], const int32_t last[3])
{
    const int32_t x0 = first[0], x1 = last[0], y0 = first[1], y1 = last[1], z0 = first[2], z1 = last[2];
    const uint32_t *px = build_->place[0].data(), *py = build_->place[1].data(), *pz = build_->place[2].data();
    InsertEach<true>(face, [&](auto insert) {
        for (int32_t z = z0; z <= z1; ++z)
            for (int32_t y = y0; y <= y1; ++y) {
                const uint32_t row = pz[z] + py[y];
                for (int32_t x = x0; x <= x1; ++x) insert(x, y, z, row + px[x]);
            }
    });
}

void VekGrid::StartCrowded(uint32_t face, int32_t x, int32_t y, int32_t z, uint32_t position)
{
    // A crowded cell's first entry: its faces go to a nested grid over the
    // cell's box.
    BuildState& s = *build_;
    s.occupied[position >> 6] |= uint64_t(1) << (position & 63);
    uint32_t& cell = s.cells.get()[position];
    const int32_t index[3] = {x, y, z};
    std::unique_ptr<Holder> holder(new Holder());
    for (int i = 0; i < 3; ++i) {
        holder->lo[i] = boundsMin[i] + static_cast<float>(index[i]) * cellSize[i];
        holder->hi[i] = holder->lo[i] + cellSize[i];
    }
    ResolutionRule(cellSize, cell, kMaxResolution, holder->resolution);
    holder->faces.push_back(face);
    cell = kCellCrowded | static_cast<uint32_t>(s.holders.size());
    s.holders.push_back(std::move(holder));
    ++entries_;
}

namespace {
// Layouts of the bits of Direct's box of cells, x fastest: x in the low
// shiftX bits, y in the next shiftY, z from zShift. Code(d) is a point's
// cell (d from the box's lowest cell) as one bit per axis, so that the
// union of three codes holds the range of their box along each axis, and
// Box(u) the bits of the cells in those ranges.
//
// The fixed layout, 4 x 4 x 4 bits, for boxes of at most 4 cells a side:
// codes of 4 bits an axis (x in bits 0-3, y 4-7, z 8-11), whose ranges'
// bits are read from constant tables.
constexpr uint32_t FillBits(uint32_t m)  // the bits from the lowest to the highest set in m
{
    uint32_t lowest = 0, highest = 0;
    for (uint32_t t = 0; t < 8; ++t)
        if (m & (1u << t)) {
            if (!lowest) lowest = 1u << t;
            highest = 1u << t;
        }
    return m ? 2 * highest - lowest : 0;
}
constexpr uint64_t SpreadBits(uint32_t m, int stride)  // bit t of m moved to bit t * stride
{
    uint64_t r = 0;
    for (int t = 0; t < 4; ++t)
        if (m & (1u << t)) r |= uint64_t(1) << (t * stride);
    return r;
}
struct FixedTables {
    uint16_t code[64];  // by dx + 4 dy + 16 dz: the code
    uint16_t xy[256];   // by the union of x and y codes: the bits of its x and y ranges
    uint64_t z[16];     // by the union of z codes: the bits of its z layers
    constexpr FixedTables() : code(), xy(), z()
    {
        for (uint32_t m = 0; m < 64; ++m)
            code[m] = static_cast<uint16_t>(1u << (m & 3) | (1u << ((m >> 2) & 3)) << 4 | (1u << (m >> 4)) << 8);
        for (uint32_t m = 0; m < 256; ++m)
            xy[m] = static_cast<uint16_t>(FillBits(m & 15) * SpreadBits(FillBits(m >> 4), 4));
        for (uint32_t m = 0; m < 16; ++m) z[m] = SpreadBits(FillBits(m), 16);
    }
};
constexpr FixedTables kFixedTables;
struct FixedLayout {
    static constexpr int shiftX = 2, shiftY = 2, zShift = 4;
    static uint32_t Code(__m128i d)
    {
        // dx + 4 dy + 16 dz by one multiply-add and two sums across lanes,
        // where three extractions and shifts by a variable count cost more.
        const __m128i parts = _mm_madd_epi16(d, _mm_setr_epi16(1, 0, 4, 0, 16, 0, 0, 0));
        const __m128i pairs = _mm_add_epi32(parts, _mm_srli_si128(parts, 8));
        return kFixedTables.code[_mm_cvtsi128_si32(_mm_add_epi32(pairs, _mm_srli_si128(pairs, 4)))];
    }
    static uint64_t Box(uint32_t u) { return kFixedTables.xy[u & 0xFF] * kFixedTables.z[u >> 8]; }
};
// The sized layout: each axis's side rounded up to a power of two, at most
// 6 bits in all; codes of 8 bits an axis, whose ranges' bits come from
// their lowest and highest bits and the spread tables Direct builds.
struct SizedLayout {
    const uint64_t* spreadY;
    const uint64_t* spreadZ;
    int shiftX, shiftY, zShift;
    static uint32_t Code(__m128i d)
    {
        return 1u << _mm_extract_epi16(d, 0) | (1u << _mm_extract_epi16(d, 2)) << 8 |
               (1u << _mm_extract_epi16(d, 4)) << 16;
    }
    uint64_t Box(uint32_t u) const
    {
        const uint32_t ux = u & 0xFF, uy = (u >> 8) & 0xFF, uz = u >> 16;
        const uint64_t row = (uint64_t(2) << (31 - __builtin_clz(ux))) - (uint64_t(1) << __builtin_ctz(ux));
        return row * (spreadY[32 - __builtin_clz(uy)] - spreadY[__builtin_ctz(uy)]) *
               (spreadZ[32 - __builtin_clz(uz)] - spreadZ[__builtin_ctz(uz)]);
    }
};
}  // namespace

// The cells a face's lattice lands in, found block by block. A block is a
// part of the lattice whose small triangles (or small quadrilaterals) join
// up; its corners are lattice points, and in exact arithmetic every point of
// the block lies within the box of its corners (the lattice is an affine or
// bilinear image of a grid of integers). The computed points stray from the
// exact ones by a known bound, so the block's lowest point lies between its
// lowest corner and slack below it, its highest between its highest corner
// and slack above it, per axis. Where both
// ends fall into known cells and at most one axis spans several cells, the
// small triangles' cell ranges, which overlap where the triangles meet, add
// up to exactly the block's cell range: inserted at once. Otherwise the
// block is split, down to single small triangles binned by their own box.
template <class Point>
struct VekGrid::LatticeBins {
    VekGrid& g;
    uint32_t face;
    const Point& point;  // point(i, j): the lattice point, computed as the sampling always has
    Lanes slack;
    CellLanes Cells{g};
    // The lowest and highest of n points per lane, as std::min and std::max
    // take them.
    static void Bounds(const Lanes* p, int n, Lanes& lo, Lanes& hi)
    {
        lo = hi = p[0];
        for (int k = 1; k < n; ++k) {
            lo = _mm_min_ps(p[k], lo);
            hi = _mm_max_ps(p[k], hi);
        }
    }
    // The cells the face entered last: a block whose cells lie among them
    // (neighbouring blocks often land in the same cells) adds nothing.
    __m128i lastFirst = _mm_set1_epi32(1), lastLast = _mm_setzero_si128();
    void Insert(__m128i first, __m128i last)
    {
        const __m128i outside = _mm_or_si128(_mm_cmplt_epi32(first, lastFirst), _mm_cmpgt_epi32(last, lastLast));
        if ((_mm_movemask_ps(_mm_castsi128_ps(outside)) & 7) == 0) return;
        lastFirst = first;
        lastLast = last;
        const CellRange range(first, last);
        g.InsertRange(face, range.first, range.last);
    }

    // The cells of the box of n points.
    void Box(const Lanes* p, int n)
    {
        ++g.work_;
        Lanes lo, hi;
        Bounds(p, n, lo, hi);
        Insert(Cells(lo), Cells(hi));
    }

    // Inserts the block whose corners are c[0 .. n) when its cells are known
    // (slack false: its points are exactly these); false when it must be
    // split.
    bool Settle(const Lanes* c, int n, bool slackNeeded)
    {
        ++g.work_;
        Lanes lo, hi;
        Bounds(c, n, lo, hi);
        const __m128i first = Cells(lo), last = Cells(hi);
        auto same = [](__m128i a, __m128i b) { return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))) & 7; };
        const int spanning = ~same(first, last) & 7;
        if (spanning & (spanning - 1)) return false;  // spans cells along two axes
        if (slackNeeded &&
            (same(Cells(_mm_sub_ps(lo, slack)), first) != 7 || same(Cells(_mm_add_ps(hi, slack)), last) != 7))
            return false;
        Insert(first, last);
        return true;
    }

    // A small triangle lattice point by point: each lattice point's cell
    // once, then each small triangle's cells from its corners' cells (the
    // cell rule is monotone along each axis, so the cells of a box's lowest
    // and highest points are the lowest and highest of its corners' cells;
    // NaN alone would break that, hence corners within kDirectLimit),
    // gathered as the bits of a box of at most 64 cells and entered once
    // each: the cells of the small triangles, as block by block. The cells
    // are the same but met in another order, which only the crowded cells'
    // order of first meeting shows, and no work is counted: only for grids
    // where neither matters (BinFaces). False, having entered nothing,
    // where the lattice's cells do not fit the bits.
    bool Direct(int32_t k, const Lanes corners[3])
    {
        assert(k <= kDirectSteps);
        constexpr int kPoints = (kDirectSteps + 1) * (kDirectSteps + 2) / 2;
        // 1. The points' cells, point (i, j) at i (i + 1) / 2 + j; the
        //    corners are the face's own, as block by block. Cells are below
        //    2^15, so their 16-bit halves order them.
        __m128i cell[kPoints];
        __m128i lowest = _mm_set1_epi16(0x7FFF), highest = _mm_setzero_si128();
        int32_t n = 0;
        for (int32_t i = 0; i <= k; ++i)
            for (int32_t j = 0; j <= i; ++j, ++n) {
                const Lanes p = i == 0 ? corners[0] : j == 0 && i == k ? corners[1] : j == k ? corners[2] : point(i, j);
                cell[n] = Cells(p);
                lowest = _mm_min_epi16(lowest, cell[n]);
                highest = _mm_max_epi16(highest, cell[n]);
            }
        // 2. The box of cells as bits: x fastest, each axis's side rounded
        //    up to a power of two, at most 8 cells a side. Most small
        //    lattices span at most 4 cells a side: they take a fixed layout
        //    of 4 x 4 x 4 bits whose tables are constants, which spares
        //    building them, the unpredictable branches that size them and
        //    finding each range's ends.
        alignas(16) int32_t lo[4], side[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lo), lowest);
        _mm_store_si128(reinterpret_cast<__m128i*>(side), _mm_sub_epi32(highest, lowest));
        if ((side[0] | side[1] | side[2]) < 4) {
            GatherAndInsert(k, n, cell, lowest, lo, FixedLayout());
            return true;
        }
        int shift[3];
        for (int a = 0; a < 3; ++a) {
            if (side[a] >= 8) return false;
            shift[a] = side[a] == 0 ? 0 : 32 - __builtin_clz(static_cast<uint32_t>(side[a]));  // its bit length
        }
        if (shift[0] + shift[1] + shift[2] > 6) return false;
        // spread[t]: one bit per y (z) layer below t, so that a layer range
        // [t0, t1] is spread[t1 + 1] - spread[t0]; t1 is below the side's
        // power of two, so the tables stop there.
        uint64_t spreadY[9], spreadZ[9];
        const SizedLayout sized{spreadY, spreadZ, shift[0], shift[1], shift[0] + shift[1]};
        spreadY[0] = spreadZ[0] = 0;
        for (int t = 0; t < (1 << shift[1]); ++t) spreadY[t + 1] = spreadY[t] | uint64_t(1) << (t << shift[0]);
        for (int t = 0; t < (1 << shift[2]); ++t) spreadZ[t + 1] = spreadZ[t] | uint64_t(1) << (t << sized.zShift);
        GatherAndInsert(k, n, cell, lowest, lo, sized);
        return true;
    }

    // Steps 3 and 4 of Direct, in a layout of the box's bits (FixedLayout,
    // SizedLayout).
    template <class Layout>
    void GatherAndInsert(int32_t k, int32_t n, const __m128i* cell, __m128i lowest, const int32_t lo[4],
                         const Layout& layout)
    {
        constexpr int kPoints = (kDirectSteps + 1) * (kDirectSteps + 2) / 2;
        uint32_t code[kPoints];
        for (int32_t m = 0; m < n; ++m) code[m] = layout.Code(_mm_sub_epi32(cell[m], lowest));
        // 3. The small triangles between rows i and i + 1: (i, j), (i + 1,
        //    j), (i + 1, j + 1) for j <= i, and (i, j), (i + 1, j + 1), (i,
        //    j + 1) for j < i. Every box is spread into bits, even where it
        //    repeats its neighbour's: a test would cost more in mispredicted
        //    branches than it saves.
        auto box = [&layout](uint32_t u) { return layout.Box(u); };
        uint64_t bits = 0;
        for (int32_t i = 0, row = 0; i < k; row += i + 1, ++i) {
            const int32_t next = row + i + 1;
            for (int32_t j = 0; j <= i; ++j) {
                const uint32_t a = code[row + j], c = code[next + j + 1];
                bits |= box(a | code[next + j] | c);
                if (j < i) bits |= box(a | c | code[row + j + 1]);
            }
        }
        // 4. Each cell once.
        const uint32_t *px = g.build_->place[0].data(), *py = g.build_->place[1].data(),
                       *pz = g.build_->place[2].data();
        const int yShift = layout.shiftX, zShift = layout.zShift;
        const int32_t xMask = (1 << layout.shiftX) - 1, yMask = (1 << layout.shiftY) - 1;
        const int32_t x0 = lo[0], y0 = lo[1], z0 = lo[2];
        g.template InsertEach<false>(face, [&](auto insert) {
            for (uint64_t m = bits; m; m &= m - 1) {
                const int t = __builtin_ctzll(m);
                const int32_t x = x0 + (t & xMask), y = y0 + ((t >> yShift) & yMask), z = z0 + (t >> zShift);
                insert(x, y, z, pz[z] + py[y] + px[x]);
            }
        });
    }

    // A large lattice strip by strip, where the order of its cells and the
    // work need not be those of its blocks (stripwise). The small triangles
    // (small quadrilaterals) between two neighbouring rows of the lattice,
    // rows r and r + 1 of m + 1, each have corners in both rows. Where each
    // of the two rows lies in one cell along two axes (rows along an axis,
    // as on floors and walls), every small triangle of the strip spans the
    // cells between the rows' along those two, and along the third the
    // small triangles' cells, each sharing a corner with the next, join up
    // into the cells between the strip's lowest and highest points: the
    // strip's whole box, entered at once. A row's points stray from the
    // segment between its ends as a block's from its corners, by at most
    // slack. ends(r, start, end) gives row r's ends; blocks(r, ends) bins the
    // lattice between rows r and r + 1 (ends: theirs, r's first) block by
    // block, for the strips that are not so.
    template <class Ends, class Blocks>
    void Strips(int32_t m, Ends ends, Blocks blocks)
    {
        auto same = [](__m128i a, __m128i b) { return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))) & 7; };
        // The axes along which the row from a to b lies in one cell, slack
        // included, as bits.
        auto oneCell = [&](Lanes a, Lanes b) {
            return same(Cells(_mm_sub_ps(_mm_min_ps(b, a), slack)), Cells(_mm_add_ps(_mm_max_ps(b, a), slack)));
        };
        Lanes row[4];  // the ends of rows r and r + 1
        ends(0, row[0], row[1]);
        int single = oneCell(row[0], row[1]);
        for (int32_t r = 0; r < m; ++r) {
            ends(r + 1, row[2], row[3]);
            const int nextSingle = oneCell(row[2], row[3]);
            const int both = single & nextSingle;
            bool settled = false;
            if (both & (both - 1)) {
                Lanes lo, hi;
                Bounds(row, 4, lo, hi);
                const __m128i first = Cells(lo), last = Cells(hi);
                if (same(Cells(_mm_sub_ps(lo, slack)), first) == 7 && same(Cells(_mm_add_ps(hi, slack)), last) == 7) {
                    Insert(first, last);
                    settled = true;
                }
            }
            if (!settled) blocks(r, row);
            row[0] = row[2];
            row[1] = row[3];
            single = nextSingle;
        }
    }

    // Triangle lattice. Tri(i0, m, c): the points (i, j) with
    // i0 <= j <= i <= i0 + m, a corner-sharing copy of the whole lattice,
    // whose corners (i0, i0), (i0 + m, i0), (i0 + m, i0 + m) are c. Each
    // split computes only the points its parts do not share with it.
    void Tri(int32_t i0, int32_t m, const Lanes c[3])
    {
        if (m == 1) return Box(c, 3);  // the small triangle on the diagonal
        if (Settle(c, 3, true)) return;
        const int32_t h = m / 2;
        const Lanes a = point(i0 + h, i0), b = point(i0 + h, i0 + h), d = point(i0 + m, i0 + h);
        const Lanes lower[3] = {c[0], a, b}, square[4] = {a, c[1], d, b}, upper[3] = {b, d, c[2]};
        Tri(i0, h, lower);
        Rect(i0 + h, i0 + m, i0, i0 + h, true, square);
        Tri(i0 + h, m - h, upper);
    }

    // The lattice squares [i0, i1) x [j0, j1), each a pair of small
    // triangles (triangle lattice, halves) or one small quadrilateral; c
    // are the points (i0, j0), (i1, j0), (i1, j1), (i0, j1).
    void Rect(int32_t i0, int32_t i1, int32_t j0, int32_t j1, bool halves, const Lanes c[4])
    {
        if (i1 - i0 == 1 && j1 - j0 == 1) {
            if (!halves) return Box(c, 4);
            if (Settle(c, 4, false)) return;
            const Lanes lower[3] = {c[0], c[1], c[2]}, upper[3] = {c[0], c[3], c[2]};
            Box(lower, 3);
            Box(upper, 3);
            return;
        }
        if (Settle(c, 4, true)) return;
        // Split across the longer side as the face lies, not as the indices
        // count: a sliver's lattice is long one way and thin the other.
        auto extent = [](Lanes d) {
            alignas(16) float e[4];
            _mm_store_ps(e, d);
            return std::max(std::fabs(e[0]), std::max(std::fabs(e[1]), std::fabs(e[2])));
        };
        const bool alongI =
            j1 - j0 == 1 || (i1 - i0 > 1 && extent(_mm_sub_ps(c[1], c[0])) >= extent(_mm_sub_ps(c[3], c[0])));
        if (alongI) {
            const int32_t h = (i0 + i1) / 2;
            const Lanes a = point(h, j0), b = point(h, j1);
            const Lanes left[4] = {c[0], a, b, c[3]}, right[4] = {a, c[1], c[2], b};
            Rect(i0, h, j0, j1, halves, left);
            Rect(h, i1, j0, j1, halves, right);
        } else {
            const int32_t h = (j0 + j1) / 2;
            const Lanes a = point(i0, h), b = point(i1, h);
            const Lanes near[4] = {c[0], c[1], b, a}, far[4] = {a, b, c[2], c[3]};
            Rect(i0, i1, j0, h, halves, near);
            Rect(i0, i1, h, j1, halves, far);
        }
    }
};

namespace {

// Quotients j / i of lattice indices up to kQuotientSteps, as the division
// rounds them (a constant expression is rounded as the division at run
// time is), for the points of small lattices without a division each.
constexpr int32_t kQuotientSteps = 8;
struct Quotients {
    float q[kQuotientSteps + 1][kQuotientSteps + 1];
    constexpr Quotients() : q()
    {
        for (int32_t i = 1; i <= kQuotientSteps; ++i)
            for (int32_t j = 0; j <= kQuotientSteps; ++j) q[i][j] = static_cast<float>(j) / static_cast<float>(i);
    }
};
constexpr Quotients kQuotients;

// Whether every lane of p lies within limit (NaN does not).
bool Within(Lanes p, float limit)
{
    const Lanes magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), p);
    return _mm_movemask_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(limit))) == 0xF;
}

// The slack of lattice points computed from corners v[0 .. n), per lane.
Lanes LatticeSlack(const CG::vec3<float>* v, int n)
{
    float slack[3];
    for (int a = 0; a < 3; ++a) {
        float largest = 0.0f;
        for (int k = 0; k < n; ++k) largest = std::max(largest, std::fabs(v[k][a]));
        slack[a] = largest * kLatticeError + kLatticeErrorFloor;
    }
    return _mm_setr_ps(slack[0], slack[1], slack[2], 0.0f);
}

}  // namespace

void VekGrid::BinTriangle(uint32_t face, const VekFace& f)
{
    // 1. Lattice steps from the longest edge. The square root rounds
    //    monotonically, so the longest length is the root of the largest
    //    square, unless a square is NaN.
    const CG::vec3<float>* v = f.vertex;
    const CG::vec3<float> e0 = v[1] - v[0], e1 = v[2] - v[1], e2 = v[0] - v[2];
    const float s0 = CG::dot(e0, e0), s1 = CG::dot(e1, e1), s2 = CG::dot(e2, e2);
    const float longest = s0 == s0 && s1 == s1 && s2 == s2
                              ? std::sqrt(std::max(s0, std::max(s1, s2)))
                              : std::max(std::sqrt(s0), std::max(std::sqrt(s1), std::sqrt(s2)));
    const int32_t k = std::min(LatticeSteps(longest, minCellSize), kMaxResolution);
    // 2. Lattice points P(i, j), j = 0..i, with a = i / k and b = j / i;
    //    exactly v0 + (i / k)(v1 - v0) + (j / k)(v2 - v1), an affine image of
    //    the integer points (i, j).
    const Lanes v0 = ToLanes(v[0]), v1 = ToLanes(v[1]), v2 = ToLanes(v[2]);
    auto point = [&](int32_t i, int32_t j) {
        // a and b by one division of two lanes, or from the table of the
        // same quotients for small lattices; b is 0 where i is (so is j).
        float a, b;
        if (k <= kQuotientSteps) {
            a = kQuotients.q[k][i];
            b = kQuotients.q[std::max(i, 1)][j];
        } else {
            alignas(16) float q[4];
            _mm_store_ps(q, _mm_div_ps(_mm_setr_ps(static_cast<float>(i), static_cast<float>(j), 0.0f, 0.0f),
                                       _mm_setr_ps(static_cast<float>(k), static_cast<float>(std::max(i, 1)), 1.0f, 1.0f)));
            a = q[0];
            b = q[1];
        }
        const Lanes edge = _mm_add_ps(_mm_mul_ps(v1, _mm_set1_ps(1.0f - b)), _mm_mul_ps(v2, _mm_set1_ps(b)));
        return _mm_add_ps(_mm_mul_ps(v0, _mm_set1_ps(1.0f - a)), _mm_mul_ps(edge, _mm_set1_ps(a)));
    };
    // 3. The small triangles between rows i and i + 1 are the halves of the
    //    squares [i, i + 1] x [j, j + 1] below the diagonal, and one on it.
    //    The lattice's corners are the face's own where those are finite
    //    (the computed ones differ at most in the sign of a zero, which
    //    finds the same cells).
    LatticeBins<decltype(point)> bins{*this, face, point, k > 1 ? LatticeSlack(v, 3) : _mm_setzero_ps()};
    const Lanes zero = _mm_setzero_ps();
    const int finite = _mm_movemask_ps(_mm_and_ps(_mm_and_ps(_mm_cmpeq_ps(_mm_sub_ps(v0, v0), zero),
                                                             _mm_cmpeq_ps(_mm_sub_ps(v1, v1), zero)),
                                                  _mm_cmpeq_ps(_mm_sub_ps(v2, v2), zero)));
    if (finite == 0xF) {
        const Lanes corners[3] = {v0, v1, v2};
        // Most faces settle whole at the first step; the others, where
        // that is allowed, go point by point if their cells fit, else block
        // by block (repeating the first step). Point by point counts the
        // most work the blocks could take: 2 k^2 - k for k steps (a block
        // of a x b lattice squares takes at most 4ab - 1, and a triangle
        // of m steps one plus its halves' and its square's).
        if (build_->pointwise && k > 1 && k <= kDirectSteps && Within(v0, kDirectLimit) && Within(v1, kDirectLimit) &&
            Within(v2, kDirectLimit)) {
            if (bins.Settle(corners, 3, true)) return;
            if (bins.Direct(k, corners)) {
                work_ += static_cast<size_t>(2 * k * k - k);
                return;
            }
        }
        // A large lattice whose rows lie along an axis (two of their
        // direction's coordinates nil) goes strip by strip where it may,
        // unless it settles whole.
        const CG::vec3<float> row = v[2] - v[1];
        if (build_->stripwise && k > kDirectSteps && (row.x == 0.0f) + (row.y == 0.0f) + (row.z == 0.0f) >= 2 &&
            Within(v0, kDirectLimit) && Within(v1, kDirectLimit) && Within(v2, kDirectLimit)) {
            if (bins.Settle(corners, 3, true)) return;
            // Row i runs from (i, 0) to (i, i); the part between rows i and
            // i + 1 is the squares [i, i + 1] x [j, j + 1], j < i, and the
            // small triangle on the diagonal.
            auto ends = [&](int32_t i, Lanes& start, Lanes& end) {
                start = i == 0 ? v0 : i == k ? v1 : point(i, 0);
                end = i == 0 ? v0 : i == k ? v2 : point(i, i);
            };
            auto blocks = [&](int32_t i, const Lanes row[4]) {
                const Lanes corner = point(i + 1, i);
                if (i > 0) {
                    const Lanes square[4] = {row[0], row[2], corner, row[1]};
                    bins.Rect(i, i + 1, 0, i, true, square);
                }
                const Lanes diagonal[3] = {row[1], corner, row[3]};
                bins.Box(diagonal, 3);
            };
            bins.Strips(k, ends, blocks);
            return;
        }
        bins.Tri(0, k, corners);
    } else {
        const Lanes corners[3] = {point(0, 0), point(k, 0), point(k, k)};
        bins.Tri(0, k, corners);
    }
}

void VekGrid::BinQuadrilateral(uint32_t face, const VekFace& f)
{
    // 1. Lattice steps from the edges at the base corner and the two others.
    const CG::vec3<float>* v = f.vertex;
    const int c = BaseCorner(f);
    auto edge = [&](int i) { return Length(v[(i + 1) & 3] - v[i & 3]); };
    const int32_t kA = std::min(LatticeSteps(std::max(edge(c), edge(c + 3)), minCellSize), kMaxResolution);
    const int32_t kB = std::min(LatticeSteps(std::max(edge(c + 1), edge(c + 2)), minCellSize), kMaxResolution);
    // 2. Lattice points P(i, j) in corner order 0..3, a bilinear image of
    //    the integer points (i, j).
    const Lanes v0 = ToLanes(v[0]), v3 = ToLanes(v[3]);
    const Lanes along0 = ToLanes(v[1] - v[0]), along3 = ToLanes(v[2] - v[3]);
    auto point = [&](int32_t i, int32_t j) {
        const float a = static_cast<float>(i) / static_cast<float>(kA);
        const float b = static_cast<float>(j) / static_cast<float>(kB);
        const Lanes near = _mm_add_ps(v0, _mm_mul_ps(along0, _mm_set1_ps(b)));
        const Lanes far = _mm_add_ps(v3, _mm_mul_ps(along3, _mm_set1_ps(b)));
        return _mm_add_ps(_mm_mul_ps(near, _mm_set1_ps(1.0f - a)), _mm_mul_ps(far, _mm_set1_ps(a)));
    };
    // 3. Every lattice cell lands in the cells of the box of its four points.
    LatticeBins<decltype(point)> bins{*this, face, point, kA > 1 || kB > 1 ? LatticeSlack(v, 4) : _mm_setzero_ps()};
    const Lanes corners[4] = {point(0, 0), point(kA, 0), point(kA, kB), point(0, kB)};
    // 4. A large lattice whose rows (the points of one j) lie along an axis,
    //    two coordinates of both far edges from corner 0 to 3 and 1 to 2
    //    being nil, goes strip by strip where it may (LatticeBins::Strips),
    //    unless it settles whole.
    const CG::vec3<float> side03 = v[3] - v[0], side12 = v[2] - v[1];
    int alongAxis = 0;
    for (int a = 0; a < 3; ++a) alongAxis += side03[a] == 0.0f && side12[a] == 0.0f;
    if (build_->stripwise && kB > kDirectSteps && alongAxis >= 2 && Within(v0, kDirectLimit) &&
        Within(ToLanes(v[1]), kDirectLimit) && Within(ToLanes(v[2]), kDirectLimit) && Within(v3, kDirectLimit)) {
        if (bins.Settle(corners, 4, true)) return;
        auto ends = [&](int32_t j, Lanes& start, Lanes& end) {
            start = point(0, j);
            end = point(kA, j);
        };
        auto blocks = [&](int32_t j, const Lanes row[4]) {
            const Lanes strip[4] = {row[0], row[1], row[3], row[2]};
            bins.Rect(0, kA, j, j + 1, false, strip);
        };
        return bins.Strips(kB, ends, blocks);
    }
    bins.Rect(0, kA, 0, kB, false, corners);
}

void VekGrid::BuildNestedGrids(bool top, size_t allowance, size_t* work)
{
    // The top grid's crowded cells: each cell's grids, both levels
    // together, may take kNestedBytesPerFace per face of the cell, and their
    // binning may look at kWorkPerEntry lattice blocks per entry that
    // allows. A grid of the second level counts, bins, and gives its own
    // crowded cells grids from what its cell's allowance and work leave (in
    // the order the cells were first met); those of the third level only
    // bin. A grid that would pass what it may take is dropped and its cell
    // keeps a list; so is every grid met once the work is used up.
    for (const std::unique_ptr<Holder>& holder : build_->holders) {
        const size_t faces = holder->faces.size();
        // What the grid may take: its cell's allowance, or below the top
        // what is left plus what the list it replaces is counted at.
        const size_t own = top ? kNestedBytesPerFace * faces
                               : std::min(allowance + kEntryBytes * faces, kNestedBytesPerFace * faces);
        size_t cellWork = kWorkPerEntry * (own / kEntryBytes);
        size_t& workLeft = top ? cellWork : *work;
        const size_t fixed = GridBytes(holder->resolution);
        if (fixed >= own || workLeft == 0) continue;
        // A second-level grid without crowded cells passes no work on, so
        // only whether its work stays within what is left matters: it may
        // bin small lattices point by point, counted at what their blocks
        // could cost at most. Where that bound passes what is left, the
        // grid is binned again block by block.
        auto bin = [&](bool pointwise) {
            holder->grid.reset(new VekGrid(holder->lo, holder->hi, holder->resolution));
            VekGrid& nested = *holder->grid;
            nested.faces_ = faces_;
            nested.StartBuild(build_ + 1);
            const bool crowded = top && nested.CountFaces(holder->faces);
            return nested.BinFaces(holder->faces, (own - fixed) / kEntryBytes, workLeft, top && !crowded && pointwise);
        };
        Binned binned = bin(true);
        if (binned == Binned::kUnsure) binned = bin(false);
        const bool fits = binned == Binned::kFits;
        VekGrid& nested = *holder->grid;
        workLeft -= std::min(workLeft, nested.work_);
        if (!fits) {
            holder->grid.reset();
            build_[1].Release();
            continue;
        }
        const size_t spent = fixed + kEntryBytes * nested.entries_;
        if (top) nested.BuildNestedGrids(false, own - spent, &workLeft);
        else allowance -= spent - kEntryBytes * faces;
        nested.Compact();
        std::vector<uint32_t>().swap(holder->faces);  // the grid holds them now
    }
}

void VekGrid::Compact()
{
    BuildState& s = *build_;
    // 1. What the arrays hold: the occupied cells, and an entry per face
    //    entry, per nested grid and per face of a crowded cell that kept a
    //    list. The offsets are 32-bit; a structure beyond that is an
    //    allocation failure like any other.
    size_t occupied = 0, total = s.logged, nested = 0;
    for (uint64_t w : s.occupied) occupied += static_cast<size_t>(__builtin_popcountll(w));
    for (const std::unique_ptr<Holder>& holder : s.holders) {
        total += holder->grid ? 1 : holder->faces.size();
        nested += holder->grid ? 1 : 0;
    }
    if (total > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    occupancy.resize(s.occupied.size());
    blockOccupied.assign(static_cast<size_t>(blockResolution[0]) * blockResolution[1] * blockResolution[2], 0);
    cellStart.resize(occupied + 1);
    items.resize(total);
    nestedGrids.reserve(nested);
    // 2. Cell by cell in position order: the occupancy counts, the blocks
    //    holding anything (for the walks to cross empty blocks at once), and
    //    where each cell's entries begin. A crowded cell's entry is its
    //    nested grid, or its faces newest first like any cell's; a plain
    //    cell's count becomes where its next entry goes.
    const uint32_t blockCells = static_cast<uint32_t>(blockStride[0]);
    uint32_t block = 0, blockEnd = blockCells;  // blocks are numbered in position order too
    uint32_t k = 0, at = 0;
    for (size_t w = 0; w < occupancy.size(); ++w) {
        occupancy[w] = OccupancyWord{s.occupied[w], k, at};
        for (uint64_t bits = s.occupied[w]; bits; bits &= bits - 1) {
            const uint32_t p = static_cast<uint32_t>(w * 64) + static_cast<uint32_t>(__builtin_ctzll(bits));
            for (; p >= blockEnd; blockEnd += blockCells) ++block;
            blockOccupied[block] = 1;
            cellStart[k++] = at;
            uint32_t& cell = s.cells.get()[p];
            if (!(cell & kCellCrowded)) {
                const uint32_t count = cell;
                cell = at;
                at += count;
                continue;
            }
            Holder& holder = *s.holders[cell & ~kCellCrowded];
            if (holder.grid) {
                items[at++] = kEntryNested | static_cast<uint32_t>(nestedGrids.size());
                nestedGrids.push_back(std::move(holder.grid));
            } else {
                for (auto f = holder.faces.rbegin(); f != holder.faces.rend(); ++f) items[at++] = *f;
            }
        }
    }
    cellStart[k] = at;
    // 3. Plain cells' entries, newest first: the log read backwards.
    uint32_t* next = s.cells.get();
    for (size_t e = s.logged; e-- > 0;) {
        const uint64_t entry = s.Logged(e);
        items[next[static_cast<uint32_t>(entry)]++] = static_cast<uint32_t>(entry >> 32);
    }
    GrowEmptyBoxes();
    // 4. The build-time state goes.
    s.Release();
    build_ = nullptr;
    faces_ = nullptr;
}

void MakeRecords(const std::vector<CellItem>& faces, std::vector<FaceRecord>& records, std::vector<uint32_t>& placeInList)
{
    records.clear();
    placeInList.clear();
    records.reserve(faces.size());
    placeInList.reserve(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        if (i + kFacesAhead < faces.size()) {
            const CellItem ahead = faces[i + kFacesAhead];
            FetchFace(ItemFace(ahead));
            // A surface's material pointer, which the record's shadow
            // class reads, lies beyond the face's own fields.
            if (!(ahead & kItemNotSurface))
                __builtin_prefetch(&static_cast<const VekSurface*>(ItemFace(ahead))->attribute);
        }
        const VekFace& f = *ItemFace(faces[i]);
        if (f.flags & VEK_FACE_BACK_SIDE) continue;
        records.push_back(MakeRecord(f, faces[i] & kItemNotSurface));
        placeInList.push_back(static_cast<uint32_t>(i));
    }
}

}  // namespace vek
