// record_test.h - the ray-face test on packed face records, several records
// at a time: the one face test both traversals use (the grid's cells hand it
// their faces in fours, the hierarchy's leaves in fours or eights).
//
// Method: the face's own test (plane crossing, then the edge signs in the
// projection that drops the main axis), evaluated in vector lanes, one
// record per lane. Each lane performs exactly the scalar test's operations
// in the scalar test's order, and lane arithmetic is IEEE single precision
// like scalar arithmetic (no fused multiply-adds), so every lane's answer,
// t and point equal the face's own test bit for bit. Records that the
// packed copy cannot reproduce (billboard copies, odd faces) are reported as
// indirect and are tested through the face as it stands.
//
// The arithmetic is written once for any lane count; loading records into
// lanes is the instruction set's business (four lanes here, eight in the
// AVX2 traversals).
#pragma once

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

#include "intersection/face_tests.h"
#include "intersection/grid.h"

namespace vek {

template <int W>
struct LaneTypes;
template <>
struct LaneTypes<4> {
    typedef float F __attribute__((vector_size(16)));
    typedef int32_t M __attribute__((vector_size(16)));
};
template <>
struct LaneTypes<8> {
    typedef float F __attribute__((vector_size(32)));
    typedef int32_t M __attribute__((vector_size(32)));
};

// x in every lane (a broadcast, not an addition to zero: that would turn
// -0 into +0, and the lanes must hold the scalar test's very operands).
template <int W>
[[gnu::always_inline]] inline typename LaneTypes<W>::F Splat(float x);
template <>
[[gnu::always_inline]] inline LaneTypes<4>::F Splat<4>(float x)
{
    return LaneTypes<4>::F{x, x, x, x};
}
template <>
[[gnu::always_inline]] inline LaneTypes<8>::F Splat<8>(float x)
{
    // Four lanes, doubled: a broadcast in any instruction set.
    const LaneTypes<4>::F v = {x, x, x, x};
    return __builtin_shufflevector(v, v, 0, 1, 2, 3, 0, 1, 2, 3);
}

// Everything here that takes or gives eight-lane vectors is always inlined:
// compiled out of line for the baseline and called from AVX2 code, it would
// pass them by another convention than its caller's.
[[gnu::always_inline]] inline unsigned LaneBits(LaneTypes<4>::M m)
{
    return static_cast<unsigned>(_mm_movemask_ps(reinterpret_cast<__m128>(m)));
}
[[gnu::always_inline]] inline unsigned LaneBits(LaneTypes<8>::M m)
{
    const LaneTypes<4>::M lo = __builtin_shufflevector(m, m, 0, 1, 2, 3), hi = __builtin_shufflevector(m, m, 4, 5, 6, 7);
    return LaneBits(lo) | LaneBits(hi) << 4;
}

// W records side by side: plane, projected corners, and the tags of the
// face pointers' low bits.
template <int W>
struct FaceLanes {
    typename LaneTypes<W>::F nx, ny, nz, offset;
    typename LaneTypes<W>::F u[4], v[4];
    typename LaneTypes<W>::M tags;
};

// A ray broadcast to W lanes.
template <int W>
struct RayLanes {
    typename LaneTypes<W>::F o[3];
    typename LaneTypes<W>::F d[3];

    [[gnu::always_inline]] RayLanes(const CG::vec3<float>& origin, const CG::vec3<float>& direction)
    {
        for (int k = 0; k < 3; ++k) {
            o[k] = Splat<W>(origin[k]);
            d[k] = Splat<W>(direction[k]);
        }
    }
};

// What a test found: hit lanes with their parameter and point, and the
// lanes whose records are to be tested through their faces.
template <int W>
struct FaceHits {
    typename LaneTypes<W>::F t;
    typename LaneTypes<W>::F p[3];
    unsigned hits = 0;
    unsigned indirect = 0;
};

// The scalar library's std::min and std::max, lane by lane (the same
// operand chosen in every case, NaN included).
template <class F>
[[gnu::always_inline]] inline F LaneMin(F a, F b)
{
    return b < a ? b : a;
}
template <class F>
[[gnu::always_inline]] inline F LaneMax(F a, F b)
{
    return a < b ? b : a;
}

// E(A, B) for corners a and b in every lane.
template <int W>
[[gnu::always_inline]] inline typename LaneTypes<W>::F EdgeValue(const FaceLanes<W>& f, int a, int b,
                                                                 typename LaneTypes<W>::F pu,
                                                                 typename LaneTypes<W>::F pv)
{
    return (f.u[b] - f.u[a]) * (pv - f.v[a]) - (f.v[b] - f.v[a]) * (pu - f.u[a]);
}

// Tests the records in lanes (bit i of lanes: lane i holds one) with
// tMin < t < tMax, passing over faces that do not face the ray when cull is
// set.
template <int W>
[[gnu::always_inline]] inline void TestFaceLanes(const FaceLanes<W>& f, const RayLanes<W>& ray, float tMin, float tMax,
                                                 bool cull, unsigned lanes, FaceHits<W>& out)
{
    typedef typename LaneTypes<W>::F F;
    typedef typename LaneTypes<W>::M M;
    const M axis = f.tags & static_cast<int32_t>(kRecordAxisMask);
    out.indirect = LaneBits(axis == static_cast<int32_t>(kRecordIndirect)) & lanes;
    lanes &= ~out.indirect;
    out.hits = 0;
    // 1. The plane: parallel rays (|n . d| at most the threshold) miss, and
    //    t must lie strictly inside (tMin, tMax).
    const F denom = f.nx * ray.d[0] + f.ny * ray.d[1] + f.nz * ray.d[2];
    const F t = (f.offset - (f.nx * ray.o[0] + f.ny * ray.o[1] + f.nz * ray.o[2])) / denom;
    const F absDenom = reinterpret_cast<F>(reinterpret_cast<M>(denom) & 0x7fffffff);
    M ok = ~(absDenom <= kParallelEpsilon) & (tMin < t) & (t < tMax);
    if (cull) ok &= denom < 0.0f;
    if (!(LaneBits(ok) & lanes)) return;
    // 2. The point, and the two coordinates the projection keeps.
    const F px = ray.o[0] + t * ray.d[0], py = ray.o[1] + t * ray.d[1], pz = ray.o[2] + t * ray.d[2];
    const F pu = axis == 0 ? py : (axis == 1 ? pz : px);
    const F pv = axis == 0 ? pz : (axis == 1 ? px : py);
    // 3. The projected bounds, before any edge.
    const F uLo = LaneMin(LaneMin(f.u[0], f.u[1]), LaneMin(f.u[2], f.u[3]));
    const F uHi = LaneMax(LaneMax(f.u[0], f.u[1]), LaneMax(f.u[2], f.u[3]));
    const F vLo = LaneMin(LaneMin(f.v[0], f.v[1]), LaneMin(f.v[2], f.v[3]));
    const F vHi = LaneMax(LaneMax(f.v[0], f.v[1]), LaneMax(f.v[2], f.v[3]));
    ok &= ~((pu < uLo) | (pu > uHi) | (pv < vLo) | (pv > vHi));
    if (!(LaneBits(ok) & lanes)) return;
    // 4. Edge values E(A, B) = (B.u - A.u)(p.v - A.v) - (B.v - A.v)(p.u - A.u);
    //    a triangle's third corner repeats as the fourth, so its closing
    //    edge is edge 3 -> 0 and edge 2 -> 3 is left out.
    const F e01 = EdgeValue(f, 0, 1, pu, pv), e12 = EdgeValue(f, 1, 2, pu, pv), e23 = EdgeValue(f, 2, 3, pu, pv),
            e30 = EdgeValue(f, 3, 0, pu, pv);
    // 5. The first edge decides the winding: all others strictly positive
    //    after a positive first edge, else all at most zero.
    const M triangle = (f.tags & static_cast<int32_t>(kRecordQuad)) == 0;
    const M positive = (e12 > 0.0f) & (e30 > 0.0f) & (triangle | (e23 > 0.0f));
    const M negative = (e12 <= 0.0f) & (e30 <= 0.0f) & (triangle | (e23 <= 0.0f));
    ok &= e01 > 0.0f ? positive : negative;
    out.hits = LaneBits(ok) & lanes;
    out.t = t;
    out.p[0] = px;
    out.p[1] = py;
    out.p[2] = pz;
}

// One record in all four lanes (no transposes: each field broadcast).
[[gnu::always_inline]] inline void LoadFaceLanes(const FaceRecord& r, FaceLanes<4>& f)
{
    f.nx = Splat<4>(r.normal.x);
    f.ny = Splat<4>(r.normal.y);
    f.nz = Splat<4>(r.normal.z);
    f.offset = Splat<4>(r.planeOffset);
    for (int k = 0; k < 4; ++k) {
        f.u[k] = Splat<4>(r.u[k]);
        f.v[k] = Splat<4>(r.v[k]);
    }
    const int32_t tags = static_cast<int32_t>(r.face & 0xffffffffu);
    f.tags = LaneTypes<4>::M{tags, tags, tags, tags};
}

// Four records into lanes (r[0 .. 3], any records; a lane not to be tested
// may repeat another).
[[gnu::always_inline]] inline void LoadFaceLanes(const FaceRecord* const r[4], FaceLanes<4>& f)
{
    __m128 a0 = _mm_load_ps(&r[0]->normal.x), a1 = _mm_load_ps(&r[1]->normal.x), a2 = _mm_load_ps(&r[2]->normal.x),
           a3 = _mm_load_ps(&r[3]->normal.x);
    _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
    __m128 b0 = _mm_load_ps(r[0]->u), b1 = _mm_load_ps(r[1]->u), b2 = _mm_load_ps(r[2]->u), b3 = _mm_load_ps(r[3]->u);
    _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
    __m128 c0 = _mm_load_ps(r[0]->v), c1 = _mm_load_ps(r[1]->v), c2 = _mm_load_ps(r[2]->v), c3 = _mm_load_ps(r[3]->v);
    _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
    // Only the face pointers' low halves: two interleaves.
    const __m128 d0 = _mm_load_ps(reinterpret_cast<const float*>(&r[0]->face)),
                 d1 = _mm_load_ps(reinterpret_cast<const float*>(&r[1]->face)),
                 d2 = _mm_load_ps(reinterpret_cast<const float*>(&r[2]->face)),
                 d3 = _mm_load_ps(reinterpret_cast<const float*>(&r[3]->face));
    const __m128 tags = _mm_movelh_ps(_mm_unpacklo_ps(d0, d1), _mm_unpacklo_ps(d2, d3));
    f.nx = a0;
    f.ny = a1;
    f.nz = a2;
    f.offset = a3;
    f.u[0] = b0;
    f.u[1] = b1;
    f.u[2] = b2;
    f.u[3] = b3;
    f.v[0] = c0;
    f.v[1] = c1;
    f.v[2] = c2;
    f.v[3] = c3;
    f.tags = reinterpret_cast<LaneTypes<4>::M>(tags);
}

}  // namespace vek
