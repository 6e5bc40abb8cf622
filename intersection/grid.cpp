// grid.cpp - building the voxel grid: the resolution rule, counting faces per
// cell, binning them by lattice sampling, nested grids for crowded cells,
// and the flattening of every cell's node list into compact arrays.
//
// Method: a face is not binned by its whole bounding box but through a
// lattice of small triangles (or small quadrilaterals) no larger than a cell,
// so long thin and diagonal faces occupy few cells. A cell counted with more
// than 64 face boxes becomes a nested grid over the cell's own box; nested
// grids of the second level count again, those of the third do not, so the
// structure is at most three levels deep.
#include "intersection/grid.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <new>

#include "intersection/face_tests.h"

namespace vek {

struct VekGrid::Node {
    Node* next;
    CellItem item;
};

// Nodes come from blocks of 2048, never one by one; the pool releases every
// block at once.
struct VekGrid::NodePool {
    static constexpr int kNodesPerBlock = 2048;
    struct Block {
        Node nodes[kNodesPerBlock];
    };
    std::vector<std::unique_ptr<Block>> blocks;
    int used = kNodesPerBlock;

    Node* Take()
    {
        if (used == kNodesPerBlock) {
            blocks.emplace_back(new Block());
            used = 0;
        }
        return &blocks.back()->nodes[used++];
    }
};

// The face records under construction: one per face, numbered in the order
// the flattening meets them. Faces are looked up by address in an open
// addressing table of at least twice as many slots as faces (the grid meets
// each face in several cells, so lookups outnumber faces several times).
struct VekGrid::RecordTable {
    explicit RecordTable(size_t faces)
    {
        size_t slots = 16;
        while (slots < 2 * faces) slots *= 2;
        keys.assign(slots, 0);
        numbers.resize(slots);
        records.reserve(faces);
    }

    uint32_t Number(CellItem item)
    {
        const size_t mask = keys.size() - 1;
        // Addresses are 8-byte aligned and come from large blocks: a
        // multiplicative hash spreads them.
        size_t slot = static_cast<size_t>((static_cast<uint64_t>(item) * 0x9E3779B97F4A7C15ull) >> 20) & mask;
        while (keys[slot] != 0 && keys[slot] != item) slot = (slot + 1) & mask;
        if (keys[slot] == item) return numbers[slot];
        if (records.size() >= kEntryNested || records.size() >= keys.size() / 2) throw std::bad_alloc();
        keys[slot] = item;
        numbers[slot] = static_cast<uint32_t>(records.size());
        records.push_back(MakeRecord(*ItemFace(item), item & kItemNotSurface));
        return numbers[slot];
    }

    static FaceRecord MakeRecord(const VekFace& f, bool notSurface);

    std::vector<FaceRecord> records;
    std::vector<CellItem> keys;  // 0: a free slot (no face lives at address 0)
    std::vector<uint32_t> numbers;
};

// A crowded cell's grid and the faces sorted into that cell, in order.
struct VekGrid::Holder {
    std::unique_ptr<VekGrid> grid;
    std::vector<CellItem> faces;
};

namespace {

// Walks fetch ahead on structures larger than this (records, entries,
// offsets and occupancy), several times what a core's caches hold.
constexpr size_t kFetchAheadBytes = size_t(8) << 20;
// Extents and cell sizes at or below this count as zero.
constexpr float kZeroLength = 1e-10f;
constexpr float kCubeRoot = 0.33333334f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;

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

void Widen(CG::vec3<float>& lo, CG::vec3<float>& hi, const CG::vec3<float>& p)
{
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], p[k]);
        hi[k] = std::max(hi[k], p[k]);
    }
}

}  // namespace

FaceRecord VekGrid::RecordTable::MakeRecord(const VekFace& f, bool notSurface)
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
    r.face = reinterpret_cast<uintptr_t>(&f) | axis | (quad ? kRecordQuad : 0);
    r.marks = reinterpret_cast<uintptr_t>(f.rayNumbers) | (notSurface ? kRecordNotSurface : 0) |
              ((f.flags & VEK_FACE_NO_SHADOW) ? kRecordNoShadow : 0);
    return r;
}

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
    const size_t cells = static_cast<size_t>(sliceSize) * static_cast<size_t>(resolution[2]);
    heads_.assign(cells, nullptr);
    pool_.reset(new NodePool());
}

VekGrid::~VekGrid() = default;

void VekGrid::GrowEmptyBoxes()
{
    // Each empty block's box grows a layer at a time, on each side in turn,
    // while the whole new layer is empty. Grids have at most 44 blocks per
    // axis, so this stays small beside the binning.
    const int32_t* n = blockResolution;
    auto empty = [&](int32_t x, int32_t y, int32_t z) {
        return !blockOccupied[(static_cast<size_t>(z) * n[1] + y) * n[0] + x];
    };
    auto layerEmpty = [&](const int32_t lo[3], const int32_t hi[3], int axis, int32_t at) {
        int32_t a[3] = {lo[0], lo[1], lo[2]}, b[3] = {hi[0], hi[1], hi[2]};
        a[axis] = b[axis] = at;
        for (int32_t z = a[2]; z <= b[2]; ++z)
            for (int32_t y = a[1]; y <= b[1]; ++y)
                for (int32_t x = a[0]; x <= b[0]; ++x)
                    if (!empty(x, y, z)) return false;
        return true;
    };
    emptyBoxes.assign(blockOccupied.size(), EmptyBox{{0, 0, 0}, {0, 0, 0}});
    for (int32_t z = 0; z < n[2]; ++z)
        for (int32_t y = 0; y < n[1]; ++y)
            for (int32_t x = 0; x < n[0]; ++x) {
                if (!empty(x, y, z)) continue;
                int32_t lo[3] = {x, y, z}, hi[3] = {x, y, z};
                for (bool grew = true; grew;) {
                    grew = false;
                    for (int axis = 0; axis < 3; ++axis) {
                        if (lo[axis] > 0 && layerEmpty(lo, hi, axis, lo[axis] - 1)) {
                            --lo[axis];
                            grew = true;
                        }
                        if (hi[axis] + 1 < n[axis] && layerEmpty(lo, hi, axis, hi[axis] + 1)) {
                            ++hi[axis];
                            grew = true;
                        }
                    }
                }
                EmptyBox& box = emptyBoxes[(static_cast<size_t>(z) * n[1] + y) * n[0] + x];
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
    CountFaces(faces);
    BinFaces(faces);
    BuildNestedGrids(true);
    RecordTable table(faces.size());
    Flatten(table);
    records = std::move(table.records);
    // Walk style: fetching ahead pays once the structure is well beyond what
    // the caches hold, and only costs on smaller ones.
    size_t bytes = records.size() * sizeof(FaceRecord);
    ForEachGrid([&](VekGrid& g) {
        bytes += g.items.size() * sizeof(uint32_t) + g.cellStart.size() * sizeof(uint32_t) +
                 g.occupancy.size() * sizeof(OccupancyWord);
    });
    const bool large = bytes > kFetchAheadBytes;
    ForEachGrid([&](VekGrid& g) { g.fetchAhead = large; });
}

int32_t VekGrid::CellCoordinate(float p, int axis) const
{
    // Truncation toward zero, then the clamp into the grid; compared as a
    // float first so that no NaN or huge value is converted.
    const float f = (p - boundsMin[axis]) * inverseCellSize[axis];
    if (!(f >= 1.0f)) return 0;
    const int32_t n = resolution[axis];
    if (!(f < static_cast<float>(n))) return n - 1;
    return std::min(static_cast<int32_t>(f), n - 1);
}

void VekGrid::CellRange(const CG::vec3<float>& lo, const CG::vec3<float>& hi, int32_t first[3],
                        int32_t last[3]) const
{
    for (int i = 0; i < 3; ++i) {
        first[i] = CellCoordinate(lo[i], i);
        last[i] = CellCoordinate(hi[i], i);
    }
}

void VekGrid::CountFaces(const std::vector<CellItem>& faces)
{
    cellCounts_.assign(heads_.size(), 0);
    for (CellItem item : faces) {
        const VekFace& f = *ItemFace(item);
        if (f.flags & VEK_FACE_BACK_SIDE) continue;
        int32_t first[3], last[3];
        CellRange(f.boundsMin, f.boundsMax, first, last);
        for (int32_t z = first[2]; z <= last[2]; ++z)
            for (int32_t y = first[1]; y <= last[1]; ++y) {
                int32_t* row = &cellCounts_[static_cast<size_t>(z) * sliceSize + static_cast<size_t>(y) * resolution[0]];
                for (int32_t x = first[0]; x <= last[0]; ++x) ++row[x];
            }
    }
}

void VekGrid::BinFaces(const std::vector<CellItem>& faces)
{
    for (CellItem item : faces) {
        const VekFace& f = *ItemFace(item);
        if (f.flags & VEK_FACE_BACK_SIDE) continue;
        if (f.flags & (VEK_FACE_BILLBOARD_VIEW | VEK_FACE_BILLBOARD_SHADOW))
            BinByBox(item, f.boundsMin, f.boundsMax);  // the widened box covers every turn
        else if (f.vertexCount == 4)
            BinQuadrilateral(item, f);
        else
            BinTriangle(item, f);
    }
}

void VekGrid::BinByBox(CellItem item, const CG::vec3<float>& lo, const CG::vec3<float>& hi)
{
    int32_t first[3], last[3];
    CellRange(lo, hi, first, last);
    for (int32_t z = first[2]; z <= last[2]; ++z)
        for (int32_t y = first[1]; y <= last[1]; ++y)
            for (int32_t x = first[0]; x <= last[0]; ++x) Insert(item, x, y, z);
}

void VekGrid::BinTriangle(CellItem item, const VekFace& f)
{
    // 1. Lattice steps from the longest edge.
    const CG::vec3<float>* v = f.vertex;
    const float longest = std::max(Length(v[1] - v[0]), std::max(Length(v[2] - v[1]), Length(v[0] - v[2])));
    const int32_t k = std::min(LatticeSteps(longest, minCellSize), kMaxResolution);
    // 2. Lattice rows: row i holds P(i, j), j = 0..i, with a = i / k and
    //    b = j / i. Two rows are kept at a time.
    auto point = [&](int32_t i, int32_t j) {
        const float a = static_cast<float>(i) / static_cast<float>(k);
        const float b = i == 0 ? 0.0f : static_cast<float>(j) / static_cast<float>(i);
        const CG::vec3<float> edge = v[1] * (1.0f - b) + v[2] * b;
        return v[0] * (1.0f - a) + edge * a;
    };
    std::vector<CG::vec3<float>> upper(static_cast<size_t>(k) + 2), lower(static_cast<size_t>(k) + 2);
    upper[0] = point(0, 0);
    // 3. Every small triangle between rows i and i + 1 is binned by its box.
    auto binSmall = [&](const CG::vec3<float>& a, const CG::vec3<float>& b, const CG::vec3<float>& c) {
        CG::vec3<float> lo = a, hi = a;
        Widen(lo, hi, b);
        Widen(lo, hi, c);
        BinByBox(item, lo, hi);
    };
    for (int32_t i = 0; i < k; ++i) {
        for (int32_t j = 0; j <= i + 1; ++j) lower[j] = point(i + 1, j);
        for (int32_t j = 0; j <= i; ++j) {
            binSmall(upper[j], lower[j], lower[j + 1]);
            if (j < i) binSmall(upper[j], upper[j + 1], lower[j + 1]);
        }
        std::swap(upper, lower);
    }
}

void VekGrid::BinQuadrilateral(CellItem item, const VekFace& f)
{
    // 1. Lattice steps from the edges at the base corner and the two others.
    const CG::vec3<float>* v = f.vertex;
    const int c = BaseCorner(f);
    auto edge = [&](int i) { return Length(v[(i + 1) & 3] - v[i & 3]); };
    const int32_t kA = std::min(LatticeSteps(std::max(edge(c), edge(c + 3)), minCellSize), kMaxResolution);
    const int32_t kB = std::min(LatticeSteps(std::max(edge(c + 1), edge(c + 2)), minCellSize), kMaxResolution);
    // 2. Lattice points P(i, j) in corner order 0..3, two rows at a time.
    auto point = [&](int32_t i, int32_t j) {
        const float a = static_cast<float>(i) / static_cast<float>(kA);
        const float b = static_cast<float>(j) / static_cast<float>(kB);
        const CG::vec3<float> near = v[0] + (v[1] - v[0]) * b;
        const CG::vec3<float> far = v[3] + (v[2] - v[3]) * b;
        return near * (1.0f - a) + far * a;
    };
    std::vector<CG::vec3<float>> upper(static_cast<size_t>(kB) + 1), lower(static_cast<size_t>(kB) + 1);
    for (int32_t j = 0; j <= kB; ++j) upper[j] = point(0, j);
    // 3. Every lattice cell is binned by the box of its four points.
    for (int32_t i = 0; i < kA; ++i) {
        for (int32_t j = 0; j <= kB; ++j) lower[j] = point(i + 1, j);
        for (int32_t j = 0; j < kB; ++j) {
            CG::vec3<float> lo = upper[j], hi = upper[j];
            Widen(lo, hi, upper[j + 1]);
            Widen(lo, hi, lower[j]);
            Widen(lo, hi, lower[j + 1]);
            BinByBox(item, lo, hi);
        }
        std::swap(upper, lower);
    }
}

void VekGrid::Insert(CellItem item, int32_t x, int32_t y, int32_t z)
{
    const size_t cell = static_cast<size_t>(z) * sliceSize + static_cast<size_t>(y) * resolution[0] + x;
    const int32_t count = cell < cellCounts_.size() ? cellCounts_[cell] : 0;
    Node*& head = heads_[cell];
    // 1. A plain cell: newest first; a face's sample boxes come one after
    //    another, so looking at the head is enough to keep it once.
    if (count <= kCrowdedCell) {
        if (head && head->item == item) return;
        Node* node = pool_->Take();
        node->next = head;
        node->item = item;
        head = node;
        return;
    }
    // 2. A crowded cell: its faces go to a nested grid over the cell's box.
    if (!head) {
        const int32_t index[3] = {x, y, z};
        CG::vec3<float> lo, hi;
        for (int i = 0; i < 3; ++i) {
            lo[i] = boundsMin[i] + static_cast<float>(index[i]) * cellSize[i];
            hi[i] = lo[i] + cellSize[i];
        }
        int32_t res[3];
        ResolutionRule(cellSize, count, kMaxResolution, res);
        std::unique_ptr<Holder> holder(new Holder());
        holder->grid.reset(new VekGrid(lo, hi, res));
        holder->faces.push_back(item);
        Node* node = pool_->Take();
        node->next = nullptr;
        node->item = reinterpret_cast<CellItem>(holder.get()) | kItemNested;
        head = node;
        holders_.push_back(std::move(holder));
        return;
    }
    assert(head->item & kItemNested);
    Holder* holder = reinterpret_cast<Holder*>(head->item & ~kItemTagMask);
    if (holder->faces.back() != item) holder->faces.push_back(item);
}

void VekGrid::BuildNestedGrids(bool count)
{
    for (const std::unique_ptr<Holder>& holder : holders_) {
        if (count) holder->grid->CountFaces(holder->faces);
        holder->grid->BinFaces(holder->faces);
        if (count) holder->grid->BuildNestedGrids(false);
    }
}

template <class F>
void VekGrid::ForEachCellInOrder(F f) const
{
    // Blocks in row-major order, cells row-major inside their block; the
    // cells an edge block lacks still take their places.
    const int32_t* n = blockResolution;
    uint32_t position = 0;
    for (int32_t bz = 0; bz < n[2]; ++bz)
        for (int32_t by = 0; by < n[1]; ++by)
            for (int32_t bx = 0; bx < n[0]; ++bx)
                for (int32_t lz = 0; lz < blockSize[2]; ++lz)
                    for (int32_t ly = 0; ly < blockSize[1]; ++ly)
                        for (int32_t lx = 0; lx < blockSize[0]; ++lx, ++position) {
                            const int32_t x = (bx << kBlockShift) + lx, y = (by << kBlockShift) + ly,
                                          z = (bz << kBlockShift) + lz;
                            const bool inside = x < resolution[0] && y < resolution[1] && z < resolution[2];
                            f(position, inside ? heads_[static_cast<size_t>(z) * sliceSize +
                                                        static_cast<size_t>(y) * resolution[0] + x]
                                               : nullptr);
                        }
}

void VekGrid::Flatten(RecordTable& table)
{
    // 1. The occupancy order: blocks of up to 8 cells a side.
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
    const size_t positions = static_cast<size_t>(blockStride[2]) * blockResolution[2];
    // 2. Occupancy of cells and blocks (for the walks to cross empty blocks
    //    at once) and, per occupied cell, its list length summed. The
    //    offsets are 32-bit; a structure beyond that is an allocation
    //    failure like any other.
    occupancy.assign((positions + 63) / 64, OccupancyWord{0, 0, 0});
    blockOccupied.assign(static_cast<size_t>(blockResolution[0]) * blockResolution[1] * blockResolution[2], 0);
    cellStart.clear();
    size_t total = 0, occupied = 0;
    ForEachCellInOrder([&](uint32_t p, const Node* head) {
        if ((p & 63) == 0) occupancy[p >> 6] = {0, static_cast<uint32_t>(occupied), static_cast<uint32_t>(total)};
        if (!head) return;
        occupancy[p >> 6].cells |= uint64_t(1) << (p & 63);
        blockOccupied[p / static_cast<uint32_t>(blockCells)] = 1;  // blocks are numbered in the same order
        ++occupied;
        cellStart.push_back(static_cast<uint32_t>(total));
        for (const Node* n = head; n; n = n->next) ++total;
        if (total > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    });
    cellStart.push_back(static_cast<uint32_t>(total));
    cellStart.shrink_to_fit();
    // 3. Entries in list order (newest first): a face's record number, or a
    //    holder's grid, flattened where it is met so its faces' records lie
    //    near their neighbours'.
    items.resize(total);
    size_t at = 0;
    ForEachCellInOrder([&](uint32_t, const Node* head) {
        for (const Node* n = head; n; n = n->next) {
            const CellItem item = n->item;
            if (item & kItemNested) {
                Holder* holder = reinterpret_cast<Holder*>(item & ~kItemTagMask);
                holder->grid->Flatten(table);
                items[at++] = kEntryNested | static_cast<uint32_t>(nestedGrids.size());
                nestedGrids.push_back(std::move(holder->grid));
            } else {
                items[at++] = table.Number(item);
            }
        }
    });
    GrowEmptyBoxes();
    // 4. The build-time state goes.
    holders_.clear();
    holders_.shrink_to_fit();
    std::vector<Node*>().swap(heads_);
    std::vector<int32_t>().swap(cellCounts_);
    pool_.reset();
}

}  // namespace vek
