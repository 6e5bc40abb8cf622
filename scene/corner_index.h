// corner_index.h - a spatial hash of triangle corners, for finding the
// triangles that may share a corner with a given one.
//
// Space is cut into cubic cells 2^-15 (about 3.05e-5) wide, more than twice
// the 1e-5 by which two corners that count as one may lie apart. So per axis
// the other corner lies in the same cell or in the neighbour on the side of
// the cell's nearer face: the 8 cells around a point hold every corner that
// can be shared with it. Coordinates of 2^24 and beyond are floats at least
// 2 apart, where shared corners are equal: they are keyed by their bits and
// have no neighbours. The cells are hashed into buckets held in one array
// (counting sort), each entry a triangle's position in the list the index
// was built from. A query may report a triangle more than once, and
// triangles in other cells that share a bucket; the caller's own tests sort
// them out.
#pragma once

#include <cstdint>
#include <vector>

#include "VekSurface.h"

namespace vek {

class CornerIndex {
public:
    // Indexes the corners of every triangle (vertexCount 3) of surfaces;
    // positions in surfaces are what queries report. Throws std::bad_alloc
    // when the arrays cannot be had or the list is too long to number.
    explicit CornerIndex(const std::vector<VekSurface*>& surfaces);

    // The buckets of the 8 cells around p, for Visit below. Their entries
    // number the corners there, and possibly a few more.
    struct Around {
        uint32_t bucket[8];
        int count;
        size_t entries;
    };
    Around Near(const CG::vec3<float>& p) const;

    // visit(position) for every entry of the buckets.
    template <class F>
    void Visit(const Around& around, F&& visit) const
    {
        for (int k = 0; k < around.count; ++k) {
            const uint32_t b = around.bucket[k];
            for (uint32_t e = bucketStart_[b]; e < bucketStart_[b + 1]; ++e) visit(entries_[e]);
        }
    }

private:
    uint32_t Bucket(const int64_t key[3]) const;

    int shift_ = 63;                     // bucket = hash >> shift_
    std::vector<uint32_t> bucketStart_;  // entries of bucket b: [bucketStart_[b], bucketStart_[b + 1])
    std::vector<uint32_t> entries_;      // list positions of triangles, by bucket
};

}  // namespace vek
