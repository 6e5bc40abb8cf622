// Faces through the shared library: set-up, the point-in-face rule, the three
// ray tests with their exact limits, barycentric weights, and a cross-check
// of the ray tests against an independent double-precision intersector.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "support/test_support.h"

namespace {

using vektest::LibraryTest;
using V = CG::vec3<float>;

// A face that is not a surface, as a host's area light is.
class TestFace : public VekFace {
public:
    explicit TestFace(int type = 7) : type_(type) {}
    int Type() const override { return type_; }

    // Corners in order, normal from the first three by the right-hand rule,
    // then the library's own set-up.
    static TestFace Make(std::initializer_list<V> corners, int type = 7)
    {
        TestFace f(type);
        f.vertexCount = static_cast<int32_t>(corners.size());
        int i = 0;
        for (const V& c : corners) f.vertex[i++] = c;
        V n = CG::cross(f.vertex[1] - f.vertex[0], f.vertex[2] - f.vertex[0]);
        f.normal = n * (1.0f / std::sqrt(CG::dot(n, n)));
        f.SetBoundingBox();
        f.SetRaytraceInfo();
        return f;
    }

private:
    int type_;
};

HitInfo UntouchedHit()
{
    HitInfo h;
    std::memset(&h, 0xAB, sizeof h);
    return h;
}

bool SameBytes(const HitInfo& a, const HitInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(FaceTable, Modulo3NamesTheOtherAxesCyclically)
{
    const int32_t expected[5] = {0, 1, 2, 0, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(modulo3[i], expected[i]);
}

TEST(FaceSetUp, DefaultConstructionMainAxisBoundsAndPlane)
{
    TestFace empty;
    EXPECT_EQ(empty.boundsMin, V(1e38f, 1e38f, 1e38f));
    EXPECT_EQ(empty.boundsMax, V(-1e38f, -1e38f, -1e38f));
    EXPECT_EQ(empty.rayNumbers, nullptr);
    EXPECT_EQ(empty.flags, 0u);

    EXPECT_EQ(VekFace::GetMainAxis(V(1, 1, 1)), 0);
    EXPECT_EQ(VekFace::GetMainAxis(V(0, 1, 1)), 1);
    EXPECT_EQ(VekFace::GetMainAxis(V(1, 0, 2)), 2);
    EXPECT_EQ(VekFace::GetMainAxis(V(-3, 1, 2)), 0);
    EXPECT_EQ(VekFace::GetMainAxis(V(0.5f, -2, -2)), 1);
    EXPECT_EQ(VekFace::GetMainAxis(V(2, 2, -3)), 2);

    // A triangle's fourth corner is never read.
    TestFace t = TestFace::Make({V(1, 2, 3), V(4, -1, 3), V(2, 5, 3)});
    t.vertex[3] = V(100, -100, std::numeric_limits<float>::quiet_NaN());
    t.SetBoundingBox();
    EXPECT_EQ(t.boundsMin, V(1, -1, 3));
    EXPECT_EQ(t.boundsMax, V(4, 5, 3));
    EXPECT_EQ(t.mainAxis, 2);
    EXPECT_FLOAT_EQ(t.planeOffset, 3.0f);

    TestFace q = TestFace::Make({V(0, 0, 0), V(0, 2, 0), V(0, 2, 3), V(0, -1, 3)});
    EXPECT_EQ(q.boundsMin, V(0, -1, 0));
    EXPECT_EQ(q.boundsMax, V(0, 2, 3));
    EXPECT_EQ(q.mainAxis, 0);
}

TEST(FaceSetUp, CopiesShareRayMarksAndAssignmentKeepsTheType)
{
    TestFace a = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, 1);
    uint32_t marks[2] = {5, 6};
    a.rayNumbers = marks;
    TestFace copy(a);
    EXPECT_EQ(copy.rayNumbers, marks);
    EXPECT_EQ(copy.Type(), 1);

    TestFace other(2);
    static_cast<VekFace&>(other) = a;
    EXPECT_EQ(other.Type(), 2);
    EXPECT_EQ(other.rayNumbers, marks);
    EXPECT_EQ(other.vertex[2], a.vertex[2]);
    EXPECT_EQ(other.planeOffset, a.planeOffset);
}

TEST_F(LibraryTest, SetRayNumberZeroesThreadCountFreshMarks)
{
    // The marks come from the ray-number block right after this request;
    // dirty them first so that zeroing is what makes them 0.
    g_mainValueTable.threadCount = 8;
    int32_t* before = VekMainMemory_AllocateRaytraceNumber(4);
    for (int i = 4; i < 12; ++i) before[i] = -1;
    TestFace f = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    f.SetRayNumber();
    ASSERT_EQ(reinterpret_cast<int32_t*>(f.rayNumbers), before + 4);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f.rayNumbers[i], 0u) << i;
    EXPECT_EQ(VekMainMemory_AllocateRaytraceNumber(1), before + 12);
}

TEST(FaceInOut, FirstEdgeRuleDependsOnWinding)
{
    // Counter-clockwise seen from +z: a point on edge 0->1 is outside.
    TestFace ccw = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_FALSE(ccw.CheckInOut(V(0.5f, 0, 0)));
    EXPECT_TRUE(ccw.CheckInOut(V(0.25f, 0.25f, 0)));
    // Wound the other way the same point is inside.
    TestFace cw = TestFace::Make({V(0, 0, 0), V(0, 1, 0), V(1, 0, 0)});
    EXPECT_TRUE(cw.CheckInOut(V(0.5f, 0, 0)));
    EXPECT_TRUE(cw.CheckInOut(V(0.25f, 0.25f, 0)));
    // On another edge (1->2 of ccw): E(0->1) > 0 needs the rest strictly > 0.
    EXPECT_FALSE(ccw.CheckInOut(V(0.5f, 0.5f, 0)));
    EXPECT_TRUE(cw.CheckInOut(V(0.5f, 0.5f, 0)));
    // Corners: outside for ccw (E(0->1) = 0 at corner 0), inside for cw.
    EXPECT_FALSE(ccw.CheckInOut(V(0, 0, 0)));
    EXPECT_TRUE(cw.CheckInOut(V(0, 0, 0)));
    EXPECT_FALSE(ccw.CheckInOut(V(0.6f, 0.6f, 0)));
    EXPECT_FALSE(cw.CheckInOut(V(-0.01f, 0.2f, 0)));
}

TEST(FaceInOut, BoundsAreCheckedBeforeEdgesAndNaNIsOutside)
{
    TestFace f = TestFace::Make({V(0, 0, 0), V(2, 0, 0), V(0, 2, 0)});
    ASSERT_TRUE(f.CheckInOut(V(1.2f, 0.5f, 0)));
    // Shrunk bounds reject a point that the edge tests would accept.
    f.boundsMax.x = 1.0f;
    EXPECT_FALSE(f.CheckInOut(V(1.2f, 0.5f, 0)));
    f.SetBoundingBox();
    f.boundsMin.y = 0.6f;
    EXPECT_FALSE(f.CheckInOut(V(1.2f, 0.5f, 0)));
    f.SetBoundingBox();
    // The dropped axis (z) is not tested.
    EXPECT_TRUE(f.CheckInOut(V(1.2f, 0.5f, 50)));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(f.CheckInOut(V(nan, 0.5f, 0)));
    EXPECT_FALSE(f.CheckInOut(V(0.5f, nan, 0)));
}

TEST(FaceInOut, QuadrilateralInEitherWindingAndOtherAxes)
{
    // In the plane x = 2 (main axis 0, projection (y, z)).
    TestFace q = TestFace::Make({V(2, 0, 0), V(2, 1, 0), V(2, 1, 1), V(2, 0, 1)});
    ASSERT_EQ(q.mainAxis, 0);
    EXPECT_TRUE(q.CheckInOut(V(2, 0.5f, 0.5f)));
    EXPECT_TRUE(q.CheckInOut(V(2, 0.99f, 0.01f)));
    EXPECT_FALSE(q.CheckInOut(V(2, 1.01f, 0.5f)));
    TestFace r = TestFace::Make({V(2, 0, 0), V(2, 0, 1), V(2, 1, 1), V(2, 1, 0)});
    EXPECT_TRUE(r.CheckInOut(V(2, 0.5f, 0.5f)));
    EXPECT_FALSE(r.CheckInOut(V(2, 0.5f, 1.01f)));
    // In the plane y = -1 (main axis 1, projection (z, x)).
    TestFace s = TestFace::Make({V(0, -1, 0), V(0, -1, 1), V(1, -1, 1), V(1, -1, 0)});
    ASSERT_EQ(s.mainAxis, 1);
    EXPECT_TRUE(s.CheckInOut(V(0.3f, -1, 0.7f)));
    EXPECT_FALSE(s.CheckInOut(V(-0.3f, -1, 0.7f)));
}

TEST(FaceRay, ParallelThresholdIsAbsolute)
{
    TestFace f = TestFace::Make({V(-1, -1, 0), V(1, -1, 0), V(1, 1, 0), V(-1, 1, 0)});
    // In the plane: never a hit.
    EXPECT_FALSE(f.CheckIntersection(V(-2, 0, 0), V(1, 0, 0), -100, 100));
    // |normal . direction| exactly 0.001: parallel.
    EXPECT_FALSE(f.CheckIntersection(V(0, 0, -1), V(0, 0, 0.001f), 0, 1e6f));
    EXPECT_TRUE(f.CheckIntersection(V(0, 0, -1), V(0, 0, 0.0011f), 0, 1e6f));
    // A short direction straight at the face still counts as parallel:
    // the threshold does not scale with the direction's length.
    EXPECT_FALSE(f.CheckIntersection(V(0, 0, 1), V(0, 0, -0.0005f), 0, 1e6f));
    EXPECT_TRUE(f.CheckIntersection(V(0, 0, 1), V(0, 0, -1000), 0, 1));
}

TEST(FaceRay, IntervalIsOpenAndHitRecordIsFilledOnlyOnAHit)
{
    TestFace f = TestFace::Make({V(0, 0, 2), V(1, 0, 2), V(0, 1, 2)});
    const V origin(0.25f, 0.25f, 0), direction(0, 0, 2);  // t = 1 exactly
    EXPECT_FALSE(f.CheckIntersection(origin, direction, 1.0f, 5.0f));
    EXPECT_FALSE(f.CheckIntersection(origin, direction, 0.0f, 1.0f));
    EXPECT_TRUE(f.CheckIntersection(origin, direction, 0.999f, 1.001f));

    HitInfo hit = UntouchedHit();
    const HitInfo before = hit;
    EXPECT_FALSE(f.CheckIntersection(origin, direction, 1.0f, 5.0f, hit));
    EXPECT_TRUE(SameBytes(hit, before));
    f.CheckIntersection(origin, direction, 0.0f, 1.0f, 0, hit);
    EXPECT_TRUE(SameBytes(hit, before));

    ASSERT_TRUE(f.CheckIntersection(origin, direction, 0.0f, 5.0f, hit));
    EXPECT_EQ(hit.t, 1.0f);
    EXPECT_EQ(hit.point, V(0.25f, 0.25f, 2));
    EXPECT_EQ(hit.face, &f);
    // Only t, point and face are written.
    EXPECT_EQ(std::memcmp(hit.reserved, before.reserved, sizeof hit.reserved), 0);

    HitInfo third = UntouchedHit();
    f.CheckIntersection(origin, direction, 0.0f, 5.0f, 0, third);
    EXPECT_EQ(third.t, 1.0f);
    EXPECT_EQ(third.face, &f);
    // A miss beside the face.
    HitInfo miss = UntouchedHit();
    f.CheckIntersection(V(2, 2, 0), direction, 0.0f, 5.0f, 0, miss);
    EXPECT_TRUE(SameBytes(miss, before));
}

TEST(FaceRay, CullingIgnoresRaysThatDoNotArriveAgainstTheNormal)
{
    TestFace f = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});  // normal +z
    const V inside(0.2f, 0.2f, 0);
    // Travelling along the normal (from behind): culled, hit kept.
    HitInfo hit = UntouchedHit();
    const HitInfo before = hit;
    f.CheckIntersection(inside - V(0, 0, 1), V(0, 0, 1), 0.0f, 10.0f, 1, hit);
    EXPECT_TRUE(SameBytes(hit, before));
    // Without culling both sides hit.
    f.CheckIntersection(inside - V(0, 0, 1), V(0, 0, 1), 0.0f, 10.0f, 0, hit);
    EXPECT_EQ(hit.face, &f);
    EXPECT_EQ(hit.t, 1.0f);
    HitInfo front = UntouchedHit();
    f.CheckIntersection(inside + V(0, 0, 3), V(0, 0, -1), 0.0f, 10.0f, 1, front);
    EXPECT_EQ(front.face, &f);
    EXPECT_EQ(front.t, 3.0f);
    // Culling happens before the parallel test: a grazing ray along the
    // normal side is culled, one against it is parallel; neither hits.
    HitInfo grazing = UntouchedHit();
    f.CheckIntersection(inside + V(0, 0, 1), V(1, 0, -0.0005f), 0.0f, 1e6f, 1, grazing);
    EXPECT_TRUE(SameBytes(grazing, before));
}

TEST(FaceRay, NonFiniteRaysNeverHit)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    TestFace f = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    EXPECT_FALSE(f.CheckIntersection(V(nan, 0.2f, 1), V(0, 0, -1), 0, 10));
    EXPECT_FALSE(f.CheckIntersection(V(0.2f, 0.2f, 1), V(0, nan, -1), 0, 10));
    EXPECT_FALSE(f.CheckIntersection(V(0.2f, 0.2f, 1), V(0, 0, -1), nan, 10));
    EXPECT_FALSE(f.CheckIntersection(V(0.2f, 0.2f, inf), V(0, 0, -1), 0, inf));
}

// Independent reference: Moeller-Trumbore in double precision, t in (0, 1e9).
bool ReferenceHit(const V& o, const V& d, const V& a, const V& b, const V& c, double& t, double& edgeMargin)
{
    const double ox = o.x, oy = o.y, oz = o.z, dx = d.x, dy = d.y, dz = d.z;
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    const double p[3] = {dy * e2[2] - dz * e2[1], dz * e2[0] - dx * e2[2], dx * e2[1] - dy * e2[0]};
    const double det = e1[0] * p[0] + e1[1] * p[1] + e1[2] * p[2];
    const double s[3] = {ox - a.x, oy - a.y, oz - a.z};
    const double u = (s[0] * p[0] + s[1] * p[1] + s[2] * p[2]) / det;
    const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2], s[0] * e1[1] - s[1] * e1[0]};
    const double v = (dx * q[0] + dy * q[1] + dz * q[2]) / det;
    t = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
    edgeMargin = std::min({u, v, 1.0 - u - v});
    return edgeMargin >= 0 && t > 0;
}

TEST(FaceRay, AgreesWithAnIndependentIntersectorAwayFromEdges)
{
    // Random triangles and parallelograms (a, b, b + c - a, c), each judged
    // by the reference on its triangles; rays aimed near the face so that
    // hits and misses both occur often. Cases within rounding of an edge,
    // the plane or the parallel limit are left out.
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> coord(-5.0f, 5.0f), weight(-0.5f, 1.5f);
    int hits = 0, compared = 0;
    for (int n = 0; n < 20000; ++n) {
        const bool quad = n % 2 == 1;
        const V a(coord(rng), coord(rng), coord(rng)), b(coord(rng), coord(rng), coord(rng)),
            c(coord(rng), coord(rng), coord(rng));
        const V cr = CG::cross(b - a, c - a);
        if (CG::dot(cr, cr) < 1e-2f) continue;
        const V d4 = b + (c - a);
        TestFace f = quad ? TestFace::Make({a, b, d4, c}) : TestFace::Make({a, b, c});
        const V target = a + (b - a) * weight(rng) + (c - a) * weight(rng);
        const V o(coord(rng), coord(rng), coord(rng));
        const V d = (target - o) * (0.5f + 0.5f * static_cast<float>(n % 3));
        double t, margin, t2 = 0, margin2 = -1;
        bool expected = ReferenceHit(o, d, a, b, quad ? d4 : c, t, margin);
        if (quad) {
            expected = ReferenceHit(o, d, a, d4, c, t2, margin2) || expected;
            if (std::fabs(margin2) < 1e-3) continue;
        }
        if (std::fabs(margin) < 1e-3 || std::fabs(t) < 1e-3 || std::fabs(CG::dot(f.normal, d)) <= 0.01f) continue;
        HitInfo hit = UntouchedHit();
        const bool got = f.CheckIntersection(o, d, 0.0f, 1e9f, hit);
        ++compared;
        ASSERT_EQ(got, expected) << "case " << n;
        if (got) {
            ++hits;
            EXPECT_NEAR(hit.t, t, 1e-3 * std::max(1.0, std::fabs(t)));
        }
    }
    EXPECT_GT(compared, 12000);
    EXPECT_GT(hits, 2000) << compared;
    EXPECT_LT(hits, compared - 2000);
}

TEST(FaceWeights, TriangleWeightsAndInterpolation)
{
    TestFace f = TestFace::Make({V(0, 0, 0), V(2, 0, 0), V(0, 2, 0)});
    V w;
    EXPECT_TRUE(f.CalcWeight(V(0.5f, 0.5f, 0), w));
    EXPECT_FLOAT_EQ(w.x, 0.5f);
    EXPECT_FLOAT_EQ(w.y, 0.25f);
    EXPECT_FLOAT_EQ(w.z, 0.25f);
    const V values[3] = {V(1, 0, 0), V(0, 10, 0), V(0, 0, 100)};
    const V r = f.InterpolateParam(true, values, w);
    EXPECT_FLOAT_EQ(r.x, 0.5f);
    EXPECT_FLOAT_EQ(r.y, 2.5f);
    EXPECT_FLOAT_EQ(r.z, 25.0f);
    // The half flag does not matter for a triangle.
    EXPECT_EQ(f.InterpolateParam(false, values, w), r);

    // A tilted triangle with main axis 1: weights reproduce the point.
    TestFace g = TestFace::Make({V(0, 0, 0), V(0, 1, 3), V(4, 0.5f, 0)});
    ASSERT_EQ(g.mainAxis, 1);
    const V p = g.vertex[0] * 0.2f + g.vertex[1] * 0.3f + g.vertex[2] * 0.5f;
    EXPECT_TRUE(g.CalcWeight(p, w));
    EXPECT_NEAR(w.x, 0.2f, 1e-5f);
    EXPECT_NEAR(w.y, 0.3f, 1e-5f);
    EXPECT_NEAR(w.z, 0.5f, 1e-5f);
}

TEST(FaceWeights, QuadrilateralHalvesReproduceCornerValuesExactly)
{
    TestFace q = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    const V values[4] = {V(1, 2, 3), V(-4, 5, 6), V(7, -8, 9), V(10, 11, -12)};
    V w;
    for (int k = 0; k < 4; ++k) {
        const bool half = q.CalcWeight(q.vertex[k], w);
        EXPECT_EQ(q.InterpolateParam(half, values, w), values[k]) << "corner " << k;
    }
    // The 0-side of the diagonal 1-3: weights of corners 0, 1, 3.
    EXPECT_TRUE(q.CalcWeight(V(0.25f, 0.25f, 0), w));
    EXPECT_FLOAT_EQ(w.x, 0.5f);
    EXPECT_FLOAT_EQ(w.y, 0.25f);
    EXPECT_FLOAT_EQ(w.z, 0.25f);
    // The 2-side: weights of corners 2, 3, 1.
    EXPECT_FALSE(q.CalcWeight(V(0.75f, 0.75f, 0), w));
    EXPECT_FLOAT_EQ(w.x, 0.5f);
    EXPECT_FLOAT_EQ(w.y, 0.25f);
    EXPECT_FLOAT_EQ(w.z, 0.25f);
    const V r = q.InterpolateParam(false, values, w);
    EXPECT_FLOAT_EQ(r.x, 0.5f * 7 + 0.25f * 10 + 0.25f * -4);
    // Wound the other way (normal -z), the normal's sign turns the diagonal
    // test with it: the point near corner 0 is still in half (0, 1, 3).
    TestFace reversed = TestFace::Make({V(0, 0, 0), V(0, 1, 0), V(1, 1, 0), V(1, 0, 0)});
    ASSERT_LT(reversed.normal.z, 0.0f);
    EXPECT_TRUE(reversed.CalcWeight(V(0.25f, 0.25f, 0), w));
    EXPECT_FALSE(reversed.CalcWeight(V(0.75f, 0.75f, 0), w));
}

TEST(FaceWeights, ZeroProjectedAreaGivesNonFiniteWeights)
{
    TestFace f = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    f.vertex[2] = V(2, 0, 0);  // collapsed onto edge 0-1
    V w;
    f.CalcWeight(V(0.5f, 0, 0), w);
    EXPECT_FALSE(std::isfinite(w.x) && std::isfinite(w.y));
}

}  // namespace
