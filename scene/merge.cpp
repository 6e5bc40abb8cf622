// merge.cpp - joining pairs of triangles that share an edge into convex
// quadrilaterals, to reduce the number of faces the grid holds.
//
// Method: for each triangle A in list order, take the first later triangle
// B that carries the same attribute, lies in the same plane, meets A along
// an edge with matching corner normals, and whose union with A is a convex
// quadrilateral. B's free corner becomes A's fourth corner and B goes back to
// the surface pool. The plain method walks the rest of the list for every A;
// here a spatial hash of the triangles' corners (corner_index.h) names the
// few later triangles with a corner near one of A's, and those are tried in
// list order. Any B that passes shares two of A's corners, so it is among
// them, and the first of them that passes is the walk's B: the merged list
// is the walk's, pair for pair, in about linear time.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "VekBezierSurface.h"
#include "VekMemory.h"
#include "VekSurface.h"
#include "core/memory.h"
#include "core/report.h"
#include "scene/corner_index.h"

namespace vek {
namespace {

// Cosine above which two unit normals count as one direction (about 0.08
// degrees), compared in double precision.
constexpr double kSameDirection = 0.999999;
// Squared distance below which two corners count as one (1e-5 apart).
constexpr double kSameCornerSquared = 1e-10;
// A corner of the merged outline turning by more than this many degrees
// doubles back on itself.
constexpr float kMaxCornerDegrees = 179.0f;
constexpr float kPi = 3.1415927f;

// The edge A and B share, found by corner pairs.
struct SharedEdge {
    int a0, a1;  // A's corners on the edge; a1 follows a0 in A's order
    int b0, b1;  // the B corners that match a0 and a1
    int p;       // A's third corner: before a0 and after a1
    int x;       // B's corner after b0: the corner that A takes over
    int q;       // B's corner before b1 (x for two triangles wound alike)
};

double Dot(const CG::vec3<float>& a, const CG::vec3<float>& b) { return static_cast<double>(CG::dot(a, b)); }

// Test 3: the corner pairs (i, j) where A's corner i and B's corner j
// coincide with agreeing corner normals, collected in (i, j) order; exactly
// two pairs of distinct corners make an edge. Test 4 then orders the edge
// along A and names the remaining corners.
bool FindSharedEdge(const VekSurface& A, const VekSurface& B, SharedEdge& e)
{
    int pairA[2], pairB[2];
    int pairs = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const CG::vec3<float> d = A.vertex[i] - B.vertex[j];
            if (!(static_cast<double>(CG::dot(d, d)) < kSameCornerSquared)) continue;
            if (!(Dot(A.vertexNormal[i], B.vertexNormal[j]) > kSameDirection)) continue;
            if (pairs < 2) {
                pairA[pairs] = i;
                pairB[pairs] = j;
            }
            ++pairs;
        }
    }
    // One shared corner is no edge; three mean B lies on A.
    if (pairs < 2 || pairs == 3) return false;
    // Corners closer than 1e-5 can pair one corner twice: that is no edge.
    if (pairA[0] == pairA[1] || pairB[0] == pairB[1]) return false;

    e.a0 = pairA[0], e.b0 = pairB[0];
    e.a1 = pairA[1], e.b1 = pairB[1];
    if (e.a0 == 0 && e.a1 == 2) {
        std::swap(e.a0, e.a1);
        std::swap(e.b0, e.b1);
    }
    e.p = (e.a0 + 2) % 3;
    e.x = (e.b0 + 1) % 3;
    e.q = (e.b1 + 2) % 3;
    // B must run along the edge against A (b1 then b0). When b1 follows b0,
    // B lies folded over A on the same side of the edge, and its corner x
    // would be b1 itself: the merged outline would repeat a corner.
    return e.x != e.b1;
}

CG::vec3<float> DivideByLength(const CG::vec3<float>& v)
{
    const float length = std::sqrt(CG::dot(v, v));
    if (!(length > 0.0f)) return v;
    return CG::vec3<float>(v.x / length, v.y / length, v.z / length);
}

// Tests 5 and 6: the corner of the merged outline between two edge vectors
// is neither (almost) straight back nor turned against A's normal. The
// cosine is held to [-1, 1] so that rounding past -1 cannot turn an exactly
// reversed pair into a NaN angle that passes.
bool ConvexCorner(const CG::vec3<float>& first, const CG::vec3<float>& second, const CG::vec3<float>& normal)
{
    const CG::vec3<float> e1 = DivideByLength(first);
    const CG::vec3<float> e2 = DivideByLength(second);
    const float cosine = std::clamp(CG::dot(e1, e2), -1.0f, 1.0f);
    if (std::acos(cosine) * 180.0f / kPi > kMaxCornerDegrees) return false;
    return !(CG::dot(CG::cross(e1, e2), normal) < 0.0f);
}

// Tests 1 to 6, in order; on success e describes the merge.
bool Mergeable(const VekSurface& A, const VekSurface& B, SharedEdge& e)
{
    // 1. Same material record, and B is still a triangle.
    if (B.attribute != A.attribute || B.vertexCount != 3) return false;
    // 2. One plane orientation.
    if (!(Dot(A.normal, B.normal) > kSameDirection)) return false;
    // 3-4. A shared edge, ordered along A.
    if (!FindSharedEdge(A, B, e)) return false;
    // 5. The corner at a0: A's edge arriving from p, B's edge leaving to x.
    if (!ConvexCorner(A.vertex[e.a0] - A.vertex[e.p], B.vertex[e.x] - B.vertex[e.b0], A.normal)) return false;
    // 6. The corner at a1: both edges leave it, towards p and towards q.
    return ConvexCorner(A.vertex[e.p] - A.vertex[e.a1], B.vertex[e.q] - B.vertex[e.b1], A.normal);
}

void CopyCorner(VekSurface& to, int place, const VekSurface& from, int corner)
{
    to.vertex[place] = from.vertex[corner];
    to.vertexNormal[place] = from.vertexNormal[corner];
    to.mapCoord[place] = from.mapCoord[corner];
}

// A takes B's corner x after a0: a0, x, a1, p read around from a0. The plane,
// flags and links stay A's; only the bounds grow to the new corner, since the
// grid relies on a face's bounds covering its corners.
void Absorb(VekSurface& A, const VekSurface& B, const SharedEdge& e)
{
    // 1. Free place a0 + 1, moving the later corners up, the last first.
    for (int k = 2; k > e.a0; --k) CopyCorner(A, k + 1, A, k);
    // 2. B's corner x goes there.
    CopyCorner(A, e.a0 + 1, B, e.x);
    // 3.
    A.vertexCount = 4;
    A.SetBoundingBox();
}

// The other side of a double-sided B loses its link to B, which is about to
// be released: no surface may keep naming a record the pool will hand out
// again.
void ForgetTwin(VekSurface& B)
{
    if (B.twin && B.twin != &B && B.twin->twin == &B) B.twin->twin = nullptr;
    B.twin = nullptr;
}

using Absorbed = std::vector<std::pair<const VekSurface*, VekSurface*>>;  // (released, absorbed into)

// A Bezier patch's triangle table names its triangles; an entry whose
// triangle was merged away then names the quadrilateral that absorbed it.
void RedirectBezierTables(Absorbed& absorbed)
{
    VekBezierSurface* patch = BezierList();
    if (absorbed.empty() || !patch) return;
    std::sort(absorbed.begin(), absorbed.end());
    for (; patch; patch = patch->next) {
        if (!patch->triangles) continue;
        const size_t entries = 2 * static_cast<size_t>(patch->uSteps) * static_cast<size_t>(patch->vSteps);
        for (size_t k = 0; k < entries; ++k) {
            const VekSurface* s = patch->triangles[k];
            auto found = std::lower_bound(absorbed.begin(), absorbed.end(), s,
                                          [](const Absorbed::value_type& a, const VekSurface* key) { return a.first < key; });
            if (found != absorbed.end() && found->first == s) patch->triangles[k] = found->second;
        }
    }
}

// The surface list by position, as it was when the merge began, with links
// between the positions still listed, so that a B found through the index
// can be unlinked from its current predecessor.
class ListByPosition {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // Throws std::bad_alloc when the arrays cannot be had or the list is
    // too long for 32-bit positions.
    ListByPosition()
    {
        for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) surfaces_.push_back(s);
        if (surfaces_.size() >= kNone) throw std::bad_alloc();
        const uint32_t n = static_cast<uint32_t>(surfaces_.size());
        previous_.resize(n);
        next_.resize(n);
        for (uint32_t k = 0; k < n; ++k) {
            previous_[k] = k == 0 ? kNone : k - 1;
            next_[k] = k + 1 == n ? kNone : k + 1;
        }
        listed_.assign(n, 1);
    }

    const std::vector<VekSurface*>& Surfaces() const { return surfaces_; }
    bool Listed(uint32_t k) const { return listed_[k] != 0; }

    // Unlinks the surface at k and returns it to the pool (surfaceCount - 1).
    void Release(uint32_t k)
    {
        const uint32_t before = previous_[k], after = next_[k];
        ReleaseSurface(before == kNone ? nullptr : surfaces_[before], surfaces_[k]);
        if (before != kNone) next_[before] = after;
        if (after != kNone) previous_[after] = before;
        listed_[k] = 0;
    }

private:
    std::vector<VekSurface*> surfaces_;
    std::vector<uint32_t> previous_, next_;
    std::vector<uint8_t> listed_;
};

// A's candidates: the listed triangles after position a with a corner in the
// cells around one of A's corners, in list order. A partner shares two
// distinct corners with A, so the corner whose cells hold the most entries
// (the hub of a fan, say) can be left out: the partner is also near one of
// the other two.
void Candidates(const CornerIndex& index, const ListByPosition& list, uint32_t a, std::vector<uint32_t>& out)
{
    const VekSurface& A = *list.Surfaces()[a];
    CornerIndex::Around around[3];
    int busiest = 0;
    for (int i = 0; i < 3; ++i) {
        around[i] = index.Near(A.vertex[i]);
        if (around[i].entries > around[busiest].entries) busiest = i;
    }
    out.clear();
    for (int i = 0; i < 3; ++i) {
        if (i == busiest) continue;
        index.Visit(around[i], [&](uint32_t b) {
            if (b > a && list.Listed(b)) out.push_back(b);
        });
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace
}  // namespace vek

void VekSurface_SimpleMergeAll()
{
    constexpr const char* kName = "VekSurface_SimpleMergeAll";
    // Only Bezier tables need to know who absorbed whom.
    const bool trackAbsorbed = vek::BezierList() != nullptr;
    vek::Absorbed absorbed;
    std::vector<uint32_t> candidates;
    // The list by position and the index of its triangles' corners, made
    // before anything changes: without them nothing is merged.
    std::unique_ptr<vek::ListByPosition> list;
    std::unique_ptr<vek::CornerIndex> index;
    try {
        list = std::make_unique<vek::ListByPosition>();
        index = std::make_unique<vek::CornerIndex>(list->Surfaces());
        if (trackAbsorbed) absorbed.reserve(list->Surfaces().size() / 2);
        candidates.reserve(64);
    } catch (const std::bad_alloc&) {
        vek::Fail(VEK_ERROR_MEMORY, kName);
    }
    // Each triangle A in list order takes the first candidate that passes.
    bool complete = true;
    try {
        const std::vector<VekSurface*>& surfaces = list->Surfaces();
        for (uint32_t a = 0; a < surfaces.size(); ++a) {
            VekSurface* A = surfaces[a];
            if (!list->Listed(a) || A->vertexCount != 3) continue;
            vek::Candidates(*index, *list, a, candidates);
            for (uint32_t b : candidates) {
                VekSurface* B = surfaces[b];
                vek::SharedEdge edge;
                if (!vek::Mergeable(*A, *B, edge)) continue;
                vek::Absorb(*A, *B, edge);
                vek::ForgetTwin(*B);
                if (trackAbsorbed) absorbed.emplace_back(B, A);
                // 4. Unlink B and return it to the pool (surfaceCount - 1).
                list->Release(b);
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        // A candidate list outgrew its room: the merges made so far stand.
        complete = false;
    }
    // Bezier tables name the quadrilaterals of the merges made.
    vek::RedirectBezierTables(absorbed);
    if (!complete) vek::Fail(VEK_ERROR_MEMORY, kName);
}
