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
#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <new>
#include <cstdlib>

#include "core/platform.h"
#include "intersection/face_tests.h"
#include "intersection/hierarchy.h"

namespace vek {
namespace {

// Bins per axis of the split search.
constexpr int kBins = 32;
// Boxes grow by this share of the largest coordinate magnitude along each
// axis: the rounding of a hit point (a few units in the last place of the
// coordinates involved) then never puts it outside the box of its face.
constexpr double kPadShare = 1.0 / (1 << 19);
// Relative costs of a node visit and a face test in the split search.
constexpr double kNodeCost = 1.0;
constexpr double kFaceCost = 1.0;

struct Box {
    float lo[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                   std::numeric_limits<float>::infinity()};
    float hi[3] = {-std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                   -std::numeric_limits<float>::infinity()};

    void Grow(const Box& b)
    {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], b.lo[k]);
            hi[k] = std::max(hi[k], b.hi[k]);
        }
    }
    void Grow(const float p[3])
    {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    // Half the surface area, in double: extents near the float limit
    // would overflow a float product.
    double HalfArea() const
    {
        const double x = double(hi[0]) - lo[0], y = double(hi[1]) - lo[1], z = double(hi[2]) - lo[2];
        if (!(x >= 0.0)) return 0.0;  // empty
        return x * y + y * z + z * x;
    }
};

struct Range {
    uint32_t begin, end;
    Box box;      // of the faces
    Box centres;  // of their box centres
    uint32_t Count() const { return end - begin; }
};

bool Finite(const CG::vec3<float>& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The box of everything a ray can hit of a face: its stored bounds (a
// billboard copy's cover every turn), its corners, and the corners carried
// along the main axis onto its plane, which is where the face test puts a
// hit point (a warped quadrilateral's plane leaves its corners' box).
Box FaceBox(const FaceRecord& r)
{
    const VekFace& f = *RecordFace(r);
    Box b;
    for (int k = 0; k < 3; ++k) {
        b.lo[k] = f.boundsMin[k];
        b.hi[k] = f.boundsMax[k];
    }
    const int n = (r.face & kRecordQuad) ? 4 : 3;
    for (int i = 0; i < n; ++i)
        if (Finite(f.vertex[i])) b.Grow(&f.vertex[i].x);
    const int w = f.mainAxis;
    if (w < 0 || w > 2) return b;
    const int u = kAxisU[w], v = kAxisV[w];
    for (int i = 0; i < n; ++i) {
        const CG::vec3<float>& c = f.vertex[i];
        const double onPlane =
            (double(f.planeOffset) - double(f.normal[u]) * c[u] - double(f.normal[v]) * c[v]) / double(f.normal[w]);
        if (!(std::fabs(onPlane) < double(std::numeric_limits<float>::max())) || !Finite(c)) continue;
        float p[3] = {c.x, c.y, c.z};
        p[w] = static_cast<float>(onPlane);
        b.Grow(p);
    }
    return b;
}

class Builder {
public:
    Builder(const std::vector<FaceRecord>& records, std::vector<HierarchyNode>& nodes) : nodes_(nodes)
    {
        const size_t n = records.size();
        boxes_.resize(n);
        centres_.resize(3 * n);
        refs_.resize(n);
        bins_.resize(3 * n);
        for (size_t i = 0; i < n; ++i) {
            boxes_[i] = FaceBox(records[i]);
            for (int k = 0; k < 3; ++k) centres_[3 * i + k] = boxes_[i].lo[k] * 0.5f + boxes_[i].hi[k] * 0.5f;
            refs_[i] = static_cast<uint32_t>(i);
        }
    }

    void Build()
    {
        Range all = MakeRange(0, static_cast<uint32_t>(refs_.size()));
        for (int k = 0; k < 3; ++k)
            pad_[k] = static_cast<float>(kPadShare * std::max(std::fabs(double(all.box.lo[k])), std::fabs(double(all.box.hi[k]))));
        nodes_.reserve(refs_.size() / 8 + 1);
        BuildNode(all, 0);
    }

    // The records in leaf order: refs()[k] is the record that goes to place k.
    const std::vector<uint32_t>& Refs() const { return refs_; }

private:
    Range MakeRange(uint32_t begin, uint32_t end) const
    {
        Range r{begin, end, Box(), Box()};
        for (uint32_t i = begin; i < end; ++i) {
            r.box.Grow(boxes_[refs_[i]]);
            r.centres.Grow(&centres_[3 * size_t(refs_[i])]);
        }
        return r;
    }

    // 1. A node for the range: children opened largest first.
    uint32_t BuildNode(const Range& range, int depth)
    {
        static const uint32_t SPLITX = getenv("XSPLIT") ? atoi(getenv("XSPLIT")) : kLeafSplit;
        static const uint32_t MOSTX = getenv("XMOST") ? atoi(getenv("XMOST")) : kLeafMost;
        const uint32_t index = static_cast<uint32_t>(nodes_.size());
        nodes_.emplace_back();
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
                if (children[c].Count() <= SPLITX) continue;
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
        // 2. Children: leaves of consecutive records, or nodes of their own.
        uint64_t child[kNodeWidth] = {};
        for (int c = 0; c < count; ++c) {
            if (children[c].Count() <= MOSTX)
                child[c] = MakeChild(children[c].begin, children[c].Count());
            else
                child[c] = MakeChild(BuildNode(children[c], depth + 1), 0);
        }
        // 3. The node, written once its children exist (nodes_ may have moved).
        HierarchyNode& node = nodes_[index];
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
        return index;
    }

    // 2. Splits a range of more than one face in two non-empty ranges.
    void Split(const Range& range, Range& left, Range& right, bool even)
    {
        uint32_t middle = range.begin;
        if (!even) middle = BinnedSplit(range);
        if (middle == range.begin || middle == range.end) {
            // Even split along the widest spread of centres (by index when
            // the centres coincide).
            middle = range.begin + range.Count() / 2;
            int axis = 0;
            for (int k = 1; k < 3; ++k)
                if (double(range.centres.hi[k]) - range.centres.lo[k] >
                    double(range.centres.hi[axis]) - range.centres.lo[axis])
                    axis = k;
            if (range.centres.hi[axis] > range.centres.lo[axis])
                std::nth_element(refs_.begin() + range.begin, refs_.begin() + middle, refs_.begin() + range.end,
                                 [&](uint32_t a, uint32_t b) { return centres_[3 * size_t(a) + axis] < centres_[3 * size_t(b) + axis]; });
        }
        left = MakeRange(range.begin, middle);
        right = MakeRange(middle, range.end);
    }

    // The surface area heuristic over kBins bins per axis; returns where the
    // partitioned range splits (begin when no split helps or none exists).
    uint32_t BinnedSplit(const Range& range)
    {
        struct Bin {
            Box box;
            uint32_t count = 0;
        };
        Bin bins[3][kBins];
        double scale[3];
        for (int k = 0; k < 3; ++k) {
            const double extent = double(range.centres.hi[k]) - range.centres.lo[k];
            scale[k] = extent > 0.0 ? kBins * (1.0 - 1e-6) / extent : 0.0;
        }
        // One pass bins every face on all three axes.
        for (uint32_t i = range.begin; i < range.end; ++i) {
            const uint32_t ref = refs_[i];
            const float* c = &centres_[3 * size_t(ref)];
            for (int k = 0; k < 3; ++k) {
                const double at = (double(c[k]) - range.centres.lo[k]) * scale[k];
                const int b = std::min(kBins - 1, std::max(0, static_cast<int>(at)));
                bins_[3 * size_t(ref) + k] = static_cast<uint8_t>(b);
                bins[k][b].box.Grow(boxes_[ref]);
                ++bins[k][b].count;
            }
        }
        // Sweeps from both sides: the cost of splitting after bin b.
        double bestCost = double(range.Count()) * kFaceCost * range.box.HalfArea();
        int bestAxis = -1, bestBin = -1;
        for (int k = 0; k < 3; ++k) {
            if (scale[k] == 0.0) continue;
            double rightArea[kBins];
            uint32_t rightCount[kBins];
            Box acc;
            uint32_t n = 0;
            for (int b = kBins - 1; b > 0; --b) {
                acc.Grow(bins[k][b].box);
                n += bins[k][b].count;
                rightArea[b] = acc.HalfArea();
                rightCount[b] = n;
            }
            acc = Box();
            n = 0;
            for (int b = 0; b < kBins - 1; ++b) {
                acc.Grow(bins[k][b].box);
                n += bins[k][b].count;
                if (n == 0 || rightCount[b + 1] == 0) continue;
                const double cost = kNodeCost * range.box.HalfArea() +
                                    kFaceCost * (acc.HalfArea() * n + rightArea[b + 1] * rightCount[b + 1]);
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = k;
                    bestBin = b;
                }
            }
        }
        // A range too large for a leaf is split even when the heuristic
        // prefers to keep it whole: take its best split regardless.
        if (bestAxis < 0) return range.begin;
        auto* first = refs_.data() + range.begin;
        auto* cut = std::partition(first, refs_.data() + range.end, [&](uint32_t ref) {
            return bins_[3 * size_t(ref) + bestAxis] <= bestBin;
        });
        return static_cast<uint32_t>(cut - refs_.data());
    }

    std::vector<HierarchyNode>& nodes_;
    std::vector<Box> boxes_;
    std::vector<float> centres_;
    std::vector<uint32_t> refs_;
    std::vector<uint8_t> bins_;  // per face and axis, its bin in the current split search
    float pad_[3] = {0, 0, 0};
};

// Moves record refs[k] to place k for every k, in place, cycle by cycle.
void ReorderRecords(std::vector<FaceRecord>& records, const std::vector<uint32_t>& refs)
{
    std::vector<bool> placed(records.size(), false);
    for (size_t start = 0; start < records.size(); ++start) {
        if (placed[start]) continue;
        const FaceRecord first = records[start];
        size_t at = start;
        for (;;) {
            placed[at] = true;
            const size_t from = refs[at];
            if (from == start) {
                records[at] = first;
                break;
            }
            records[at] = records[from];
            at = from;
        }
    }
}

// Every grid's face entries follow their records to their new places.
void Renumber(VekGrid& grid, const std::vector<uint32_t>& placeOf)
{
    for (uint32_t& entry : grid.items)
        if (!(entry & kEntryNested)) entry = placeOf[entry];
    for (const std::unique_ptr<VekGrid>& nested : grid.nestedGrids) Renumber(*nested, placeOf);
}

}  // namespace

void BuildHierarchy(VekGrid& top, Hierarchy& out)
{
    out.nodes.clear();
    if (top.records.empty()) return;
    std::vector<uint32_t> refs;
    {
        Builder builder(top.records, out.nodes);
        builder.Build();
        refs = builder.Refs();
    }
    out.nodes.shrink_to_fit();
    std::vector<uint32_t> placeOf(refs.size());
    for (size_t k = 0; k < refs.size(); ++k) placeOf[refs[k]] = static_cast<uint32_t>(k);
    ReorderRecords(top.records, refs);
    Renumber(top, placeOf);
    platform::AdviseLargePages(top.records.data(), top.records.size() * sizeof(FaceRecord));
    platform::AdviseLargePages(out.nodes.data(), out.nodes.size() * sizeof(HierarchyNode));
}

}  // namespace vek
