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

bool Near(const V& a, const V& b, float tolerance)
{
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

TEST(FaceSetUp, MainAxisBoundsAndPlane)
{
    // The largest component by magnitude; ties go to the earlier axis.
    const std::pair<V, int> axes[] = {{V(1, 1, 1), 0}, {V(0, 1, 1), 1}, {V(-3, 1, 2), 0}, {V(0.5f, -2, -2), 1}, {V(2, 2, -3), 2}};
    for (const auto& [v, axis] : axes) EXPECT_EQ(VekFace::GetMainAxis(v), axis) << v.x << " " << v.y << " " << v.z;
    // A triangle's fourth corner is never read.
    TestFace t = TestFace::Make({V(1, 2, 3), V(4, -1, 3), V(2, 5, 3)});
    t.vertex[3] = V(100, -100, std::numeric_limits<float>::quiet_NaN());
    t.SetBoundingBox();
    EXPECT_EQ(t.boundsMin, V(1, -1, 3));
    EXPECT_EQ(t.boundsMax, V(4, 5, 3));
    EXPECT_EQ(t.mainAxis, 2);
    EXPECT_FLOAT_EQ(t.planeOffset, 3.0f);
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

TEST(FaceInOut, EdgeRuleWindingAxesBoundsAndNaN)
{
    // Counter-clockwise seen from +z, a point on edge 0->1 is outside; wound
    // the other way it is inside. E(0->1) > 0 needs the other edges strictly > 0.
    const TestFace ccw = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    const TestFace cw = TestFace::Make({V(0, 0, 0), V(0, 1, 0), V(1, 0, 0)});
    // In the plane x = 2 (projection (y, z)) and y = -1 (projection (z, x)).
    const TestFace quadX = TestFace::Make({V(2, 0, 0), V(2, 1, 0), V(2, 1, 1), V(2, 0, 1)});
    const TestFace quadXReversed = TestFace::Make({V(2, 0, 0), V(2, 0, 1), V(2, 1, 1), V(2, 1, 0)});
    const TestFace quadY = TestFace::Make({V(0, -1, 0), V(0, -1, 1), V(1, -1, 1), V(1, -1, 0)});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const TestFace& face;
        V point;
        bool inside;
    } cases[] = {
        {ccw, V(0.5f, 0, 0), false},     {cw, V(0.5f, 0, 0), true},        {ccw, V(0.25f, 0.25f, 0), true},
        {ccw, V(0.5f, 0.5f, 0), false},  {cw, V(0.5f, 0.5f, 0), true},     {ccw, V(0, 0, 0), false},
        {cw, V(0, 0, 0), true},          {cw, V(-0.01f, 0.2f, 0), false},  {ccw, V(0.25f, 0.25f, 50), true},
        {ccw, V(nan, 0.25f, 0), false},  {ccw, V(0.25f, nan, 0), false},
        {quadX, V(2, 0.99f, 0.01f), true}, {quadX, V(2, 1.01f, 0.5f), false},
        {quadXReversed, V(2, 0.5f, 0.5f), true}, {quadXReversed, V(2, 0.5f, 1.01f), false},
        {quadY, V(0.3f, -1, 0.7f), true}, {quadY, V(-0.3f, -1, 0.7f), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.face.CheckInOut(c.point), c.inside) << c.point.x << " " << c.point.y << " " << c.point.z;
    // Bounds are checked before the edges: shrunk, they reject a point the edges accept.
    TestFace f = TestFace::Make({V(0, 0, 0), V(2, 0, 0), V(0, 2, 0)});
    f.boundsMax.x = 1.0f;
    EXPECT_FALSE(f.CheckInOut(V(1.2f, 0.5f, 0)));
}

TEST(FaceRay, ParallelLimitOpenIntervalCullingAndTheHitRecord)
{
    TestFace f = TestFace::Make({V(0, 0, 2), V(1, 0, 2), V(0, 1, 2)});  // normal +z
    const V origin(0.25f, 0.25f, 0), direction(0, 0, 2);               // t = 1 exactly
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* what;
        V origin, direction;
        float tMin, tMax;
        bool hit;
    } cases[] = {
        {"open at tMin", origin, direction, 1.0f, 5.0f, false},
        {"open at tMax", origin, direction, 0.0f, 1.0f, false},
        {"inside the interval", origin, direction, 0.999f, 1.001f, true},
        {"in the plane", V(-1, 0.25f, 2), V(1, 0, 0), -100, 100, false},
        // The parallel limit 0.001 is absolute: it does not scale with the direction.
        {"|n . d| = 0.001", V(0.25f, 0.25f, 1), V(0, 0, 0.001f), 0, 1e6f, false},
        {"|n . d| = 0.0011", V(0.25f, 0.25f, 1), V(0, 0, 0.0011f), 0, 1e6f, true},
        {"long direction", V(0.25f, 0.25f, 3), V(0, 0, -1000), 0, 1, true},
        {"NaN origin", V(nan, 0.2f, 3), V(0, 0, -1), 0, 10, false},
        {"NaN direction", V(0.2f, 0.2f, 3), V(0, nan, -1), 0, 10, false},
        {"NaN tMin", V(0.2f, 0.2f, 3), V(0, 0, -1), nan, 10, false},
        {"infinite origin", V(0.2f, 0.2f, inf), V(0, 0, -1), 0, inf, false},
    };
    for (const auto& c : cases) EXPECT_EQ(f.CheckIntersection(c.origin, c.direction, c.tMin, c.tMax), c.hit) << c.what;

    // The record is written only on a hit, and then only t, point and face.
    HitInfo hit = UntouchedHit();
    const HitInfo before = hit;
    EXPECT_FALSE(f.CheckIntersection(origin, direction, 1.0f, 5.0f, hit));
    f.CheckIntersection(origin, direction, 0.0f, 1.0f, 0, hit);
    f.CheckIntersection(V(2, 2, 0), direction, 0.0f, 5.0f, 0, hit);   // beside the face
    EXPECT_TRUE(SameBytes(hit, before));
    ASSERT_TRUE(f.CheckIntersection(origin, direction, 0.0f, 5.0f, hit));
    EXPECT_EQ(hit.t, 1.0f);
    EXPECT_EQ(hit.point, V(0.25f, 0.25f, 2));
    EXPECT_EQ(hit.face, &f);
    EXPECT_EQ(std::memcmp(hit.reserved, before.reserved, sizeof hit.reserved), 0);

    // Culling ignores rays travelling along the normal (seen from behind),
    // before the parallel test.
    HitInfo culled = UntouchedHit();
    f.CheckIntersection(origin, direction, 0.0f, 10.0f, 1, culled);
    f.CheckIntersection(V(0.25f, 0.25f, 3), V(1, 0, 0.0005f), 0.0f, 1e6f, 1, culled);
    EXPECT_TRUE(SameBytes(culled, before));
    f.CheckIntersection(origin, direction, 0.0f, 10.0f, 0, culled);
    EXPECT_EQ(culled.face, &f);
    HitInfo front = UntouchedHit();
    f.CheckIntersection(V(0.25f, 0.25f, 5), V(0, 0, -1), 0.0f, 10.0f, 1, front);
    EXPECT_EQ(front.t, 3.0f);
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

TEST(FaceWeights, TriangleAndQuadrilateralHalves)
{
    // A tilted triangle with main axis 1: weights reproduce the point.
    TestFace g = TestFace::Make({V(0, 0, 0), V(0, 1, 3), V(4, 0.5f, 0)});
    ASSERT_EQ(g.mainAxis, 1);
    V w;
    EXPECT_TRUE(g.CalcWeight(g.vertex[0] * 0.2f + g.vertex[1] * 0.3f + g.vertex[2] * 0.5f, w));
    EXPECT_TRUE(Near(w, V(0.2f, 0.3f, 0.5f), 1e-5f));

    // A square's halves (0, 1, 3) and (2, 3, 1) on either side of the
    // diagonal 1-3 reproduce the corner values exactly.
    TestFace q = TestFace::Make({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    const V values[4] = {V(1, 2, 3), V(-4, 5, 6), V(7, -8, 9), V(10, 11, -12)};
    for (int k = 0; k < 4; ++k) {
        const bool half = q.CalcWeight(q.vertex[k], w);
        EXPECT_EQ(q.InterpolateParam(half, values, w), values[k]) << "corner " << k;
    }
    EXPECT_TRUE(q.CalcWeight(V(0.25f, 0.25f, 0), w));
    EXPECT_TRUE(Near(w, V(0.5f, 0.25f, 0.25f), 1e-6f));
    EXPECT_FALSE(q.CalcWeight(V(0.75f, 0.75f, 0), w));
    EXPECT_TRUE(Near(q.InterpolateParam(false, values, w), values[2] * 0.5f + values[3] * 0.25f + values[1] * 0.25f, 1e-5f));
    // Wound the other way the normal's sign turns the diagonal test with it.
    TestFace reversed = TestFace::Make({V(0, 0, 0), V(0, 1, 0), V(1, 1, 0), V(1, 0, 0)});
    EXPECT_TRUE(reversed.CalcWeight(V(0.25f, 0.25f, 0), w));
    EXPECT_FALSE(reversed.CalcWeight(V(0.75f, 0.75f, 0), w));
    // A face without projected area gives weights that are not finite.
    q.vertex[2] = V(2, 0, 0);
    q.vertex[3] = V(3, 0, 0);
    q.CalcWeight(V(0.5f, 0, 0), w);
    EXPECT_FALSE(std::isfinite(w.x) && std::isfinite(w.y));
}

}  // namespace
