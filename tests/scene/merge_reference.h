// merge_reference.h - an independent answer for the merge tests: the plain
// walk over a snapshot of the surface list, every triangle against every
// later one, written from the merge rules (same attribute record, normals
// within 0.999999, exactly two corner pairs closer than 1e-10 squared with
// agreeing corner normals, B running against A along the edge, both outline
// corners convex and below 179 degrees). It shares no code with the library
// and knows nothing of how the library finds its candidates; the arithmetic
// is the rules' own (single precision, compared in double), so the answers
// agree bit for bit, near-duplicates at the tolerance included.
#pragma once

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "Vek.h"

namespace reference {

using V = CG::vec3<float>;

// A surface as the merge sees it, and what becomes of it.
struct Face {
    VekSurface* record;
    const VekAttribute* attribute;
    int count;
    V vertex[4], vertexNormal[4], mapCoord[4];
    V normal;
    VekSurface* twin;
    bool released = false;
};

inline std::vector<Face> Snapshot()
{
    std::vector<Face> faces;
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        Face f{s, s->attribute, s->vertexCount, {}, {}, {}, s->normal, s->twin};
        std::copy(s->vertex, s->vertex + 4, f.vertex);
        std::copy(s->vertexNormal, s->vertexNormal + 4, f.vertexNormal);
        std::copy(s->mapCoord, s->mapCoord + 4, f.mapCoord);
        faces.push_back(f);
    }
    return faces;
}

inline bool SameDirection(const V& a, const V& b) { return static_cast<double>(CG::dot(a, b)) > 0.999999; }

inline bool SameCorner(const V& a, const V& b)
{
    const V d = a - b;
    return static_cast<double>(CG::dot(d, d)) < 1e-10;
}

inline V DividedByLength(const V& v)
{
    const float length = std::sqrt(CG::dot(v, v));
    return length > 0.0f ? V(v.x / length, v.y / length, v.z / length) : v;
}

// The outline's corner between two edge vectors: below 179 degrees and not
// turning against A's normal (exactly 0 passes).
inline bool Convex(const V& first, const V& second, const V& normal)
{
    const V e1 = DividedByLength(first), e2 = DividedByLength(second);
    const float c = std::min(1.0f, std::max(-1.0f, CG::dot(e1, e2)));
    if (std::acos(c) * 180.0f / 3.1415927f > 179.0f) return false;
    return !(CG::dot(CG::cross(e1, e2), normal) < 0.0f);
}

// B merged into A if every rule holds.
inline bool TryMerge(Face& A, const Face& B)
{
    if (B.attribute != A.attribute || B.count != 3 || !SameDirection(A.normal, B.normal)) return false;
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (SameCorner(A.vertex[i], B.vertex[j]) && SameDirection(A.vertexNormal[i], B.vertexNormal[j]))
                pairs.emplace_back(i, j);
    if (pairs.size() < 2 || pairs.size() == 3) return false;
    auto [a0, b0] = pairs[0];
    auto [a1, b1] = pairs[1];
    if (a0 == a1 || b0 == b1) return false;   // one corner paired twice: no edge
    if (a0 == 0 && a1 == 2) std::swap(a0, a1), std::swap(b0, b1);
    const int p = (a0 + 2) % 3, x = (b0 + 1) % 3, q = (b1 + 2) % 3;
    if (x == b1) return false;   // B folded over A
    if (!Convex(A.vertex[a0] - A.vertex[p], B.vertex[x] - B.vertex[b0], A.normal)) return false;
    if (!Convex(A.vertex[p] - A.vertex[a1], B.vertex[q] - B.vertex[b1], A.normal)) return false;
    // a0, x, a1, p around from a0.
    for (int k = 2; k > a0; --k) {
        A.vertex[k + 1] = A.vertex[k];
        A.vertexNormal[k + 1] = A.vertexNormal[k];
        A.mapCoord[k + 1] = A.mapCoord[k];
    }
    A.vertex[a0 + 1] = B.vertex[x];
    A.vertexNormal[a0 + 1] = B.vertexNormal[x];
    A.mapCoord[a0 + 1] = B.mapCoord[x];
    A.count = 4;
    return true;
}

// Every triangle, in list order, takes the first later triangle that merges;
// the other side of a released B forgets it.
inline void MergeAll(std::vector<Face>& faces)
{
    std::map<const VekSurface*, size_t> byRecord;
    for (size_t k = 0; k < faces.size(); ++k) byRecord[faces[k].record] = k;
    for (size_t a = 0; a < faces.size(); ++a) {
        if (faces[a].released || faces[a].count != 3) continue;
        for (size_t b = a + 1; b < faces.size(); ++b) {
            if (faces[b].released || !TryMerge(faces[a], faces[b])) continue;
            faces[b].released = true;
            auto other = byRecord.find(faces[b].twin);
            if (other != byRecord.end() && faces[b].twin != faces[b].record &&
                faces[other->second].twin == faces[b].record)
                faces[other->second].twin = nullptr;
            break;
        }
    }
}

}  // namespace reference
