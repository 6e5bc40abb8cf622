// corner_index.cpp - the corner hash: cell keys, buckets, and the counting
// sort that lays the buckets out in one array.
#include "scene/corner_index.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/checked.h"

namespace vek {
namespace {

// Cells per unit of length: cells 2^-15 wide, more than twice the 1e-5 that
// separates corners counted as one, and a power of two, so that scaling a
// coordinate to cell units is exact.
constexpr double kCellsPerUnit = 32768.0;
// From here on floats are at least 2 apart: shared corners are equal, and
// cell units would pass the 64-bit range further out.
constexpr float kGridLimit = 16777216.0f;
// Keys of coordinates beyond kGridLimit start above every cell key (2^39),
// so the two kinds never meet in one cell.
constexpr int64_t kFarKeys = int64_t(1) << 40;
// Buckets per entry at least; more buckets mean fewer foreign entries met.
constexpr uint64_t kBucketsPerEntry = 1;
constexpr uint32_t kMaxPosition = UINT32_MAX - 1;

// The cell of one coordinate, and the side (-1, +1) of the neighbour that
// may hold a corner shared with it; 0 when there is none.
void CellOf(float x, int64_t& key, int& side)
{
    if (std::fabs(x) < kGridLimit) {
        const double scaled = static_cast<double>(x) * kCellsPerUnit;
        const double cell = std::floor(scaled);
        key = static_cast<int64_t>(cell);
        side = scaled - cell < 0.5 ? -1 : 1;
        return;
    }
    // Beyond the grid, and not-a-number: the float's own bits.
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int64_t magnitude = kFarKeys + (bits & 0x7fffffffu);
    key = (bits >> 31) ? -magnitude : magnitude;
    side = 0;
}

uint64_t Mix(uint64_t h)
{
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    h ^= h >> 27;
    h *= 0x81dadef4bc2dd44dull;
    return h ^ (h >> 33);
}

}  // namespace

uint32_t CornerIndex::Bucket(const int64_t key[3]) const
{
    const uint64_t h = Mix(static_cast<uint64_t>(key[0]) * 0x9e3779b97f4a7c15ull +
                           static_cast<uint64_t>(key[1]) * 0xc2b2ae3d27d4eb4full +
                           static_cast<uint64_t>(key[2]) * 0x165667b19e3779f9ull);
    return shift_ >= 64 ? 0 : static_cast<uint32_t>(h >> shift_);
}

CornerIndex::CornerIndex(const std::vector<VekSurface*>& surfaces)
{
    // Positions and entry numbers are 32-bit.
    uint64_t triangles = 0, corners, wanted;
    for (const VekSurface* s : surfaces) triangles += s->vertexCount == 3;
    if (surfaces.size() > kMaxPosition || !CheckedMul(triangles, 3, corners) || corners > kMaxPosition ||
        !CheckedMul(corners, kBucketsPerEntry, wanted))
        throw std::bad_alloc();
    // A power of two of buckets, taken from the hash's top bits.
    int bits = 0;
    while ((uint64_t(1) << bits) < wanted) ++bits;
    shift_ = 64 - bits;
    const size_t buckets = size_t(1) << bits;

    // 1. Each corner's bucket, and how many corners each bucket gets.
    std::vector<uint32_t> bucketOf;
    bucketOf.reserve(corners);
    bucketStart_.assign(buckets + 1, 0);
    for (const VekSurface* s : surfaces) {
        if (s->vertexCount != 3) continue;
        for (int i = 0; i < 3; ++i) {
            int64_t key[3];
            int side;
            for (int k = 0; k < 3; ++k) CellOf(s->vertex[i][k], key[k], side);
            bucketOf.push_back(Bucket(key));
            ++bucketStart_[bucketOf.back()];
        }
    }
    // 2. Where each bucket ends.
    for (size_t b = 1; b < buckets; ++b) bucketStart_[b] += bucketStart_[b - 1];
    bucketStart_[buckets] = static_cast<uint32_t>(corners);
    // 3. The entries, from the last corner back, each bucket filled from its
    //    end: the buckets keep list order, and their ends become their starts.
    entries_.resize(corners);
    size_t corner = corners;
    for (size_t position = surfaces.size(); position-- > 0;) {
        if (surfaces[position]->vertexCount != 3) continue;
        for (int i = 0; i < 3; ++i) entries_[--bucketStart_[bucketOf[--corner]]] = static_cast<uint32_t>(position);
    }
}

CornerIndex::Around CornerIndex::Near(const CG::vec3<float>& p) const
{
    int64_t key[3];
    int side[3];
    for (int k = 0; k < 3; ++k) CellOf(p[k], key[k], side[k]);
    Around around{{}, 0, 0};
    // The cell itself and its neighbours on the nearer side of each axis;
    // cells that share a bucket are visited once.
    for (int corner = 0; corner < 8; ++corner) {
        int64_t cell[3];
        bool exists = true;
        for (int k = 0; k < 3; ++k) {
            const bool step = (corner >> k) & 1;
            exists = exists && (!step || side[k] != 0);
            cell[k] = key[k] + (step ? side[k] : 0);
        }
        if (!exists) continue;
        const uint32_t b = Bucket(cell);
        bool seen = false;
        for (int j = 0; j < around.count; ++j) seen = seen || around.bucket[j] == b;
        if (seen) continue;
        around.bucket[around.count++] = b;
        around.entries += bucketStart_[b + 1] - bucketStart_[b];
    }
    return around;
}

}  // namespace vek
