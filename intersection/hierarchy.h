// hierarchy.h - the bounding volume hierarchy that the nearest-hit queries
// and the transmission searches traverse. The grid answers what depends on
// the order cells are crossed in (every hit, in walk order); the hierarchy
// answers what does not (the nearest hit, the light that passes), faster:
// a ray visits a few boxes instead of every cell along its way.
//
// Nodes are eight wide, their child boxes stored axis by axis so that one
// ray meets all eight in a few vector operations. Leaves are runs of up to
// eight consecutive face records (the records are ordered leaf by leaf), and
// every face sits in exactly one leaf, so no query needs face marks. Boxes
// are the faces' own (a billboard copy's box already covers every turn), a
// little enlarged so that no rounding of a test ever hides a face the face
// test would hit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VekFace.h"
#include "intersection/grid.h"

namespace vek {

constexpr int kNodeWidth = 8;
// Faces per leaf at most: one test of eight lanes, or two of four.
constexpr int kLeafMost = 8;
// A child with more faces than this is split while its node has room.
constexpr int kLeafSplit = 4;
// Levels at most; deep chains are cut by even splits long before, so a
// traversal's stack has room for every pending child.
constexpr int kHierarchyDepth = 48;
constexpr int kTraversalStack = kHierarchyDepth * (kNodeWidth - 1) + 1;

// A child: an inner node's index (count 0), or a leaf's first record and
// its count of consecutive records.
inline uint64_t MakeChild(uint32_t index, uint32_t count) { return uint64_t(count) << 32 | index; }
inline uint32_t ChildIndex(uint64_t child) { return static_cast<uint32_t>(child); }
inline uint32_t ChildCount(uint64_t child) { return static_cast<uint32_t>(child >> 32); }

struct alignas(64) HierarchyNode {
    float lower[3][kNodeWidth];  // child boxes, axis by axis; an empty slot's box is empty
    float upper[3][kNodeWidth];
    uint64_t child[kNodeWidth];
};
static_assert(sizeof(HierarchyNode) == 256, "a node is four cache lines");

struct Hierarchy {
    std::vector<HierarchyNode> nodes;  // nodes[0] is the root; empty without faces
};

// A build of the hierarchy over the face records (binned surface area
// heuristic) that threads can share: one thread starts it, any thread may
// then work on it (each returns when no subtree is left to take, or at once
// if the build has not started or a worker failed), and one thread
// finishes it after every worker has returned. Finish puts the records in
// leaf order, each one's place in the face list (placeInList) alongside,
// so that the grids, renumbered to match, share the one record array; both
// vectors must stay until then.
class HierarchyBuild {
public:
    HierarchyBuild();
    ~HierarchyBuild();
    HierarchyBuild(const HierarchyBuild&) = delete;
    HierarchyBuild& operator=(const HierarchyBuild&) = delete;

    void Start(std::vector<FaceRecord>& records, std::vector<uint32_t>& placeInList);
    void Work();
    void Finish(Hierarchy& out);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vek
