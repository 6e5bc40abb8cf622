// hierarchy_build.cpp - building the eight-wide hierarchy over the face
// records: top-down, each node taking the range of faces it covers and
// splitting it by the binned surface area heuristic, always opening the
// largest child next, until it has eight children or every child is a leaf
// of at most four faces.
//
// Departures from the textbook: splits are chosen on all three axes at once
// from one pass over the range; a range whose centres coincide, or a chain
// that grows too deep, is split evenly instead, so every build ends and no
// traversal's stack overflows. Box arithmetic that could overflow (areas,
// bin positions near the float limit) runs in double precision.
#include <emmintrin.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <new>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>

#include "core/platform.h"
#include "intersection/face_tests.h"
#include "intersection/hierarchy.h"

namespace vek {
namespace {

// Bins per axis of the split search.
constexpr int kBins = 32;
// Ranges of more faces than this bin a sample of them.
constexpr uint32_t kSampledRange = 16384;
// Boxes grow by this share of the largest coordinate magnitude along each
// axis: the rounding of a hit point (a few units in the last place of the
// coordinates involved) then never puts it outside the box of its face.
constexpr double kPadShare = 1.0 / (1 << 19);

// Half the surface area of the box [lo, hi], in double precision: extents
// near the float limit would overflow a float product; 0 when it is empty.
inline double HalfArea(const float lo[3], const float hi[3])
{
    const double x = double(hi[0]) - lo[0], y = double(hi[1]) - lo[1], z = double(hi[2]) - lo[2];
    if (!(x >= 0.0)) return 0.0;
    return x * y + y * z + z * x;
}

// The same of a box in vector lanes (the fourth lane unused).
inline double HalfArea(__m128 lo, __m128 hi)
{
    alignas(16) float a[4], b[4];
    _mm_store_ps(a, lo);
    _mm_store_ps(b, hi);
    return HalfArea(a, b);
}

struct Box {
    float lo[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                   std::numeric_limits<float>::infinity()};
    float hi[3] = {-std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                   -std::numeric_limits<float>::infinity()};

    void Grow(const float p[3])
    {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    double HalfArea() const { return vek::HalfArea(lo, hi); }
};

// A face as the build sorts it: its box and its record, 32 bytes, moved as
// a whole when a range is partitioned so that every pass reads its faces in
// order. Centres are kept doubled (lo + hi), which orders them the same.
struct PrimRef {
    float lo[3];
    uint32_t record;
    float hi[3];
    uint32_t bins;  // the bins of the last split search that binned it, a byte per axis

    float Centre(int k) const { return lo[k] + hi[k]; }
};

struct Range {
    uint32_t begin, end;
    Box box;      // of the faces
    Box centres;  // of their doubled centres
    uint32_t Count() const { return end - begin; }
};

bool Finite(const CG::vec3<float>& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Coordinates of a face's box are held within this magnitude, so sums of
// two stay finite; no face the scene places reaches it.
constexpr float kBoxLimit = 1e30f;

// The box of everything a ray can hit of a face. The face test puts a hit
// point on the face's plane, inside the corners' projection: so the box
// of the corners carried along the main axis onto the plane (a warped
// quadrilateral's plane leaves its corners' box). A record the test
// reproduces holds all of that itself; any other face adds its stored
// bounds (a billboard copy's cover every turn) and its corners.
Box FaceBox(const FaceRecord& r)
{
    Box b;
    const uintptr_t axis = r.face & kRecordAxisMask;
    const int n = (r.face & kRecordQuad) ? 4 : 3;
    const VekFace* f = nullptr;
    int w = static_cast<int>(axis);
    CG::vec3<float> normal = r.normal;
    double offset = r.planeOffset;
    if (axis == kRecordIndirect) {
        f = RecordFace(r);
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = f->boundsMin[k];
            b.hi[k] = f->boundsMax[k];
        }
        for (int i = 0; i < n; ++i)
            if (Finite(f->vertex[i])) b.Grow(&f->vertex[i].x);
        w = f->mainAxis;
        normal = f->normal;
        offset = f->planeOffset;
    }
    if (w >= 0 && w <= 2) {
        const int u = kAxisU[w], v = kAxisV[w];
        for (int i = 0; i < n; ++i) {
            const float cu = f ? f->vertex[i][u] : r.u[i], cv = f ? f->vertex[i][v] : r.v[i];
            const double onPlane = (offset - double(normal[u]) * cu - double(normal[v]) * cv) / double(normal[w]);
            if (!(std::fabs(onPlane) < double(kBoxLimit)) || !std::isfinite(cu) || !std::isfinite(cv)) continue;
            float p[3];
            p[u] = cu;
            p[v] = cv;
            p[w] = static_cast<float>(onPlane);
            b.Grow(p);
        }
    }
    for (int k = 0; k < 3; ++k) {
        b.lo[k] = std::max(b.lo[k], -kBoxLimit);
        b.hi[k] = std::min(b.hi[k], kBoxLimit);
    }
    return b;
}

// Subtrees are built as tasks, so that more than one thread can build
// them: a node's inner child of at least taskFaces faces becomes a task of
// its own, built into its own node array, which a parent names by a child
// of this count until the arrays are joined.
constexpr uint32_t kTaskChild = 0xffffffffu;
// Tasks are about a sixty-fourth of the faces, enough for two threads to
// share the last ones evenly, and never so small that taking one costs
// more than building it.
constexpr size_t kTasksAbout = 64;
constexpr uint32_t kTaskFacesLeast = 1024;

class Builder {
public:
    explicit Builder(const std::vector<FaceRecord>& records)
    {
        prims_.resize(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const Box b = FaceBox(records[i]);
            PrimRef& p = prims_[i];
            for (int k = 0; k < 3; ++k) {
                p.lo[k] = b.lo[k];
                p.hi[k] = b.hi[k];
            }
            p.record = static_cast<uint32_t>(i);
            p.bins = 0;
        }
    }

    // The range of every face, and the boxes' padding from its box.
    Range Open()
    {
        Range all = MakeRange(0, static_cast<uint32_t>(prims_.size()));
        for (int k = 0; k < 3; ++k)
            pad_[k] = static_cast<float>(kPadShare * std::max(std::fabs(double(all.box.lo[k])), std::fabs(double(all.box.hi[k]))));
        return all;
    }

    // The subtree of range into nodes, its root at nodes[index]; an inner
    // child of taskFaces faces or more goes to spawn(range, depth), which
    // returns the task's number.
    template <class Spawn>
    void BuildNode(std::vector<HierarchyNode>& nodes, const Range& range, int depth, uint32_t index,
                   uint32_t taskFaces, Spawn& spawn);

    // The records in leaf order: the record that goes to place k.
    std::vector<uint32_t> Order() const
    {
        std::vector<uint32_t> order(prims_.size());
        for (size_t k = 0; k < prims_.size(); ++k) order[k] = prims_[k].record;
        return order;
    }

private:
    Range MakeRange(uint32_t begin, uint32_t end) const
    {
        Range r{begin, end, Box(), Box()};
        Bounds bounds;
        for (uint32_t i = begin; i < end; ++i) bounds.Add(prims_[i]);
        bounds.Into(r);
        return r;
    }

    // A range's boxes grown face by face in vector lanes (the fourth lane
    // carries whatever follows the corners, unused).
    struct Bounds {
        __m128 lo = _mm_set1_ps(std::numeric_limits<float>::infinity());
        __m128 hi = _mm_set1_ps(-std::numeric_limits<float>::infinity());
        __m128 centreLo = lo, centreHi = hi;

        void Add(const PrimRef& p)
        {
            const __m128 a = _mm_loadu_ps(p.lo), b = _mm_loadu_ps(p.hi), c = _mm_add_ps(a, b);
            lo = _mm_min_ps(lo, a);
            hi = _mm_max_ps(hi, b);
            centreLo = _mm_min_ps(centreLo, c);
            centreHi = _mm_max_ps(centreHi, c);
        }
        void Into(Range& r) const
        {
            alignas(16) float v[4][4];
            _mm_store_ps(v[0], lo);
            _mm_store_ps(v[1], hi);
            _mm_store_ps(v[2], centreLo);
            _mm_store_ps(v[3], centreHi);
            for (int k = 0; k < 3; ++k) {
                r.box.lo[k] = v[0][k];
                r.box.hi[k] = v[1][k];
                r.centres.lo[k] = v[2][k];
                r.centres.hi[k] = v[3][k];
            }
        }
    };

    // 2. Splits a range of more than one face in two non-empty ranges: by
    //    the surface area heuristic, or evenly along the widest spread of
    //    centres (by place when the centres coincide).
    void Split(const Range& range, Range& left, Range& right, bool even)
    {
        if (!even && BinnedSplit(range, left, right)) return;
        const uint32_t middle = range.begin + range.Count() / 2;
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (double(range.centres.hi[k]) - range.centres.lo[k] > double(range.centres.hi[axis]) - range.centres.lo[axis])
                axis = k;
        if (range.centres.hi[axis] > range.centres.lo[axis])
            std::nth_element(prims_.begin() + range.begin, prims_.begin() + middle, prims_.begin() + range.end,
                             [axis](const PrimRef& a, const PrimRef& b) { return a.Centre(axis) < b.Centre(axis); });
        left = MakeRange(range.begin, middle);
        right = MakeRange(middle, range.end);
    }

    // The surface area heuristic over up to kBins bins per axis, from one pass over
    // the range; the range is then partitioned in place, the two sides' boxes
    // grown on the way. False when the centres coincide on every axis.
    bool BinnedSplit(const Range& range, Range& left, Range& right)
    {
        // Fewer bins for fewer faces (four, and one more per twenty faces, as
        // in Embree's builder): a small range's split then costs little more
        // than its faces, and splits as well as a full sweep would.
        const int nb = std::min(kBins, 4 + static_cast<int>(std::min<uint32_t>(range.Count() / 20, kBins)));
        float scale[3];
        bool spread = false;
        for (int k = 0; k < 3; ++k) {
            const float extent = range.centres.hi[k] - range.centres.lo[k];
            scale[k] = extent > 0.0f ? static_cast<float>(nb) * (1.0f - 1e-6f) / extent : 0.0f;
            spread |= extent > 0.0f;
        }
        if (!spread) return false;
        auto binOf = [&](const PrimRef& p, int k) {
            const float at = (p.Centre(k) - range.centres.lo[k]) * scale[k];
            return std::min(nb - 1, std::max(0, static_cast<int>(at)));
        };
        // 1. Every face into its bin on all three axes at once, in vector
        //    lanes (the fourth lane carries the record number along,
        //    unused). Neighbouring faces mostly fall into the same bins, so
        //    even and odd faces grow bins of their own, merged after: two
        //    chains of minima instead of one.
        constexpr int kSets = 2;
        __m128 binLo[kSets][3][kBins], binHi[kSets][3][kBins];
        uint32_t binCount[3][kBins] = {};
        {
            for (int set = 0; set < kSets; ++set)
                for (int k = 0; k < 3; ++k)
                    for (int b = 0; b < nb; ++b) {
                        binLo[set][k][b] = _mm_set1_ps(std::numeric_limits<float>::infinity());
                        binHi[set][k][b] = _mm_set1_ps(-std::numeric_limits<float>::infinity());
                    }
            const __m128 origin = _mm_setr_ps(range.centres.lo[0], range.centres.lo[1], range.centres.lo[2], 0.0f);
            const __m128 factor = _mm_setr_ps(scale[0], scale[1], scale[2], 0.0f);
            const __m128i last = _mm_set1_epi32(nb - 1);
            auto binFace = [&](int set, uint32_t i) {
                const __m128 lo = _mm_loadu_ps(prims_[i].lo), hi = _mm_loadu_ps(prims_[i].hi);
                __m128i bin = _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(_mm_add_ps(lo, hi), origin), factor));
                // Clamped into [0, nb - 1] (SSE2 has no 32-bit min/max).
                bin = _mm_and_si128(bin, _mm_cmpgt_epi32(bin, _mm_setzero_si128()));
                const __m128i over = _mm_cmpgt_epi32(bin, last);
                bin = _mm_or_si128(_mm_and_si128(over, last), _mm_andnot_si128(over, bin));
                alignas(16) int32_t at[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(at), bin);
                prims_[i].bins = static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16);
                for (int k = 0; k < 3; ++k) {
                    binLo[set][k][at[k]] = _mm_min_ps(binLo[set][k][at[k]], lo);
                    binHi[set][k][at[k]] = _mm_max_ps(binHi[set][k][at[k]], hi);
                    ++binCount[k][at[k]];
                }
            };
            // A large range bins a sample of its faces (every fourth): the
            // split it finds is as good, and the partition below still
            // places every face. The sampled faces are the range's own, so
            // both sides of the split found are not empty.
            const uint32_t step = range.Count() > kSampledRange ? 4 : 1;
            uint32_t i = range.begin;
            for (; i + step < range.end; i += 2 * step) {
                binFace(0, i);
                binFace(1, i + step);
            }
            if (i < range.end) binFace(0, i);
            for (int k = 0; k < 3; ++k)
                for (int b = 0; b < nb; ++b) {
                    binLo[0][k][b] = _mm_min_ps(binLo[0][k][b], binLo[1][k][b]);
                    binHi[0][k][b] = _mm_max_ps(binHi[0][k][b], binHi[1][k][b]);
                }
        }
        // 2. Sweeps from both sides: the cheapest split after some bin. A
        //    range too large for one leaf is split however it compares with
        //    keeping it whole.
        double bestCost = std::numeric_limits<double>::infinity();
        int bestAxis = -1, bestBin = -1;
        for (int k = 0; k < 3; ++k) {
            if (scale[k] == 0.0f) continue;
            double rightArea[kBins];
            uint32_t rightCount[kBins];
            const __m128 none = _mm_set1_ps(std::numeric_limits<float>::infinity());
            __m128 lo = none, hi = _mm_sub_ps(_mm_setzero_ps(), none);
            uint32_t n = 0;
            for (int b = nb - 1; b > 0; --b) {
                lo = _mm_min_ps(lo, binLo[0][k][b]);
                hi = _mm_max_ps(hi, binHi[0][k][b]);
                n += binCount[k][b];
                rightArea[b] = HalfArea(lo, hi);
                rightCount[b] = n;
            }
            lo = none;
            hi = _mm_sub_ps(_mm_setzero_ps(), none);
            n = 0;
            for (int b = 0; b < nb - 1; ++b) {
                lo = _mm_min_ps(lo, binLo[0][k][b]);
                hi = _mm_max_ps(hi, binHi[0][k][b]);
                n += binCount[k][b];
                if (n == 0 || rightCount[b + 1] == 0) continue;
                const double cost = HalfArea(lo, hi) * n + rightArea[b + 1] * rightCount[b + 1];
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = k;
                    bestBin = b;
                }
            }
        }
        if (bestAxis < 0) return false;
        // 3. The partition, both sides' boxes grown as the faces pass. A
        //    range binned whole finds each face's bin where binning left it.
        const int shift = 8 * bestAxis;
        const bool sampled = range.Count() > kSampledRange;
        auto sideOf = [&](const PrimRef& p) {
            return sampled ? binOf(p, bestAxis) : static_cast<int>(p.bins >> shift & 0xff);
        };
        //    From both ends at once: only faces on the wrong side move.
        Bounds leftBounds, rightBounds;
        uint32_t i = range.begin, j = range.end;
        for (;;) {
            while (i < j && sideOf(prims_[i]) <= bestBin) leftBounds.Add(prims_[i++]);
            while (i < j && sideOf(prims_[j - 1]) > bestBin) rightBounds.Add(prims_[--j]);
            if (i == j) break;
            std::swap(prims_[i], prims_[j - 1]);
            leftBounds.Add(prims_[i++]);
            rightBounds.Add(prims_[--j]);
        }
        left = Range{range.begin, i, Box(), Box()};
        right = Range{i, range.end, Box(), Box()};
        leftBounds.Into(left);
        rightBounds.Into(right);
        return true;
    }

    std::vector<PrimRef> prims_;
    float pad_[3] = {0, 0, 0};
};

// 1. The node at index for the range: children opened largest first.
template <class Spawn>
void Builder::BuildNode(std::vector<HierarchyNode>& nodes, const Range& range, int depth, uint32_t index,
                        uint32_t taskFaces, Spawn& spawn)
{
    Range children[kNodeWidth];
    int count = 1;
    children[0] = range;
    // Even splits once the remaining levels could no longer hold the
    // range otherwise: each halves it, so log2 of the count levels do.
    const int levelsLeft = kHierarchyDepth - depth - 1;
    const bool even = levelsLeft < 2 + static_cast<int>(std::log2(double(range.Count()) + 1.0) / 3.0) + 1;
    while (count < kNodeWidth) {
        // The largest box opens next (the most populous one when splitting
        // evenly, so that every child shrinks).
        int open = -1;
        double largest = -1.0;
        for (int c = 0; c < count; ++c) {
            if (children[c].Count() <= static_cast<uint32_t>(kLeafSplit)) continue;
            const double area = even ? double(children[c].Count()) : children[c].box.HalfArea();
            if (area > largest) {
                largest = area;
                open = c;
            }
        }
        if (open < 0) break;
        Range left, right;
        Split(children[open], left, right, even);
        children[open] = left;
        children[count++] = right;
    }
    // 2. Children: leaves of consecutive records, tasks of their own, or
    //    nodes placed side by side (a ray often visits several children of
    //    a node, and then finds them close together).
    uint64_t child[kNodeWidth] = {};
    uint32_t next = static_cast<uint32_t>(nodes.size());
    for (int c = 0; c < count; ++c) {
        const uint32_t faces = children[c].Count();
        if (faces <= static_cast<uint32_t>(kLeafMost))
            child[c] = MakeChild(children[c].begin, faces);
        else if (faces >= taskFaces)
            child[c] = MakeChild(spawn(children[c], depth + 1), kTaskChild);
        else
            child[c] = MakeChild(next++, 0);
    }
    nodes.resize(next);
    // 3. The node, then its inner children's subtrees.
    HierarchyNode& node = nodes[index];
    for (int c = 0; c < kNodeWidth; ++c) {
        for (int k = 0; k < 3; ++k) {
            if (c < count) {
                node.lower[k][c] = children[c].box.lo[k] - pad_[k];
                node.upper[k][c] = children[c].box.hi[k] + pad_[k];
            } else {
                node.lower[k][c] = std::numeric_limits<float>::infinity();
                node.upper[k][c] = -std::numeric_limits<float>::infinity();
            }
        }
        node.child[c] = c < count ? child[c] : 0;
    }
    for (int c = 0; c < count; ++c)
        if (ChildCount(child[c]) == 0)
            BuildNode(nodes, children[c], depth + 1, ChildIndex(child[c]), taskFaces, spawn);
}

// The records in leaf order: record order[k] goes to place k. Gathered
// into new storage (advised to take large pages before it is written), the
// reads fetched a few places ahead, as they fall anywhere.
void ReorderRecords(std::vector<FaceRecord>& records, std::vector<uint32_t>& placeInList,
                    const std::vector<uint32_t>& order)
{
    constexpr size_t kAhead = 8;
    std::vector<FaceRecord> ordered;
    ordered.reserve(records.size());
    platform::AdviseLargePages(ordered.data(), ordered.capacity() * sizeof(FaceRecord));
    std::vector<uint32_t> places(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
        if (k + kAhead < order.size()) __builtin_prefetch(&records[order[k + kAhead]]);
        ordered.push_back(records[order[k]]);
        places[k] = placeInList[order[k]];
    }
    records.swap(ordered);
    placeInList.swap(places);
}

}  // namespace

struct HierarchyBuild::State {
    // A subtree to build: its range, its depth and the nodes it is built
    // into, its root first.
    struct Task {
        Range range;
        int depth;
        std::vector<HierarchyNode> nodes;
    };

    std::mutex lock;
    std::condition_variable changed;
    std::unique_ptr<Builder> builder;
    std::vector<FaceRecord>* records = nullptr;
    std::vector<uint32_t>* placeInList = nullptr;
    uint32_t taskFaces = 0;
    std::deque<Task> tasks;        // by number; a deque keeps every task in place as more are added
    std::vector<uint32_t> waiting; // tasks no thread has taken yet
    size_t unfinished = 0;         // tasks not yet built
    bool started = false, failed = false;

    uint32_t Spawn(const Range& range, int depth)
    {
        std::lock_guard<std::mutex> hold(lock);
        tasks.push_back(Task{range, depth, {}});
        const uint32_t number = static_cast<uint32_t>(tasks.size() - 1);
        waiting.push_back(number);
        ++unfinished;
        changed.notify_one();
        return number;
    }
};

HierarchyBuild::HierarchyBuild() : state_(new State) {}

HierarchyBuild::~HierarchyBuild() = default;

void HierarchyBuild::Start(std::vector<FaceRecord>& records, std::vector<uint32_t>& placeInList)
{
    State& s = *state_;
    std::unique_ptr<Builder> builder(new Builder(records));
    const Range all = builder->Open();
    std::lock_guard<std::mutex> hold(s.lock);
    s.builder = std::move(builder);
    s.records = &records;
    s.placeInList = &placeInList;
    s.taskFaces = std::max(kTaskFacesLeast, static_cast<uint32_t>(records.size() / kTasksAbout));
    s.started = true;
    if (!records.empty()) {
        s.tasks.push_back(State::Task{all, 0, {}});
        s.waiting.push_back(0);
        s.unfinished = 1;
    }
    s.changed.notify_all();
}

void HierarchyBuild::Work()
{
    State& s = *state_;
    auto spawn = [&s](const Range& range, int depth) { return s.Spawn(range, depth); };
    for (;;) {
        State::Task* task = nullptr;
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.changed.wait(hold, [&s] { return s.failed || !s.started || !s.waiting.empty() || s.unfinished == 0; });
            if (s.failed || !s.started || s.waiting.empty()) return;
            // The largest subtree waiting goes first, so that no thread is
            // left with a large one at the end.
            size_t pick = 0;
            for (size_t w = 1; w < s.waiting.size(); ++w)
                if (s.tasks[s.waiting[w]].range.Count() > s.tasks[s.waiting[pick]].range.Count()) pick = w;
            task = &s.tasks[s.waiting[pick]];
            s.waiting.erase(s.waiting.begin() + static_cast<std::ptrdiff_t>(pick));
        }
        try {
            task->nodes.emplace_back();
            s.builder->BuildNode(task->nodes, task->range, task->depth, 0, s.taskFaces, spawn);
        } catch (...) {
            std::lock_guard<std::mutex> hold(s.lock);
            s.failed = true;
            s.changed.notify_all();
            throw;
        }
        std::lock_guard<std::mutex> hold(s.lock);
        if (--s.unfinished == 0) s.changed.notify_all();
    }
}

void HierarchyBuild::Finish(Hierarchy& out)
{
    State& s = *state_;
    out.nodes.clear();
    if (s.tasks.empty()) return;
    // 1. Each task's nodes take their place depth first from the root, in
    //    child order, so the layout never depends on which thread built
    //    what, or when.
    std::vector<uint32_t> base(s.tasks.size()), order;
    order.reserve(s.tasks.size());
    size_t total = 0;
    struct Placing {
        State& s;
        std::vector<uint32_t>& base;
        std::vector<uint32_t>& order;
        size_t& total;
        void operator()(uint32_t t)
        {
            base[t] = static_cast<uint32_t>(total);
            order.push_back(t);
            total += s.tasks[t].nodes.size();
            for (const HierarchyNode& node : s.tasks[t].nodes)
                for (uint64_t child : node.child)
                    if (ChildCount(child) == kTaskChild) (*this)(ChildIndex(child));
        }
    } placing{s, base, order, total};
    placing(0);
    // 2. Into storage of the final size, advised to take large pages before
    //    it is written, every inner child renamed to its place there.
    out.nodes.reserve(total);
    platform::AdviseLargePages(out.nodes.data(), out.nodes.capacity() * sizeof(HierarchyNode));
    for (uint32_t t : order) {
        for (HierarchyNode node : s.tasks[t].nodes) {
            for (uint64_t& child : node.child) {
                if (ChildCount(child) == kTaskChild)
                    child = MakeChild(base[ChildIndex(child)], 0);
                else if (ChildCount(child) == 0 && child != 0)
                    child = MakeChild(base[t] + ChildIndex(child), 0);
            }
            out.nodes.push_back(node);
        }
        std::vector<HierarchyNode>().swap(s.tasks[t].nodes);
    }
    // 3. The records in leaf order.
    ReorderRecords(*s.records, *s.placeInList, s.builder->Order());
    s.builder.reset();
}

}  // namespace vek
