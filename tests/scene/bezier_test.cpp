// Bezier patches through the shared library: the density rule, the triangle
// table, positions and normals against an independent de Casteljau
// evaluation in double precision, refusals, degenerate nets, and the
// triangle table after a merge.
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "scene/scene_test_support.h"

namespace {

using scenetest::SceneTest;
using scenetest::Surfaces;
using scenetest::V;

struct D3 {
    double x, y, z;
};
D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator*(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
D3 Cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Length(D3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// A control net as a host passes it: uCount points per row, row after row.
struct Net {
    int uCount, vCount;
    std::vector<float> points;

    D3 At(int i, int r) const
    {
        const float* p = &points[3 * (r * uCount + i)];
        return {p[0], p[1], p[2]};
    }

    // de Casteljau: repeated linear interpolation, no binomials.
    static D3 Casteljau(std::vector<D3> p, double t)
    {
        for (size_t n = p.size() - 1; n > 0; --n)
            for (size_t i = 0; i < n; ++i) p[i] = p[i] * (1 - t) + p[i + 1] * t;
        return p[0];
    }
    D3 Point(double u, double v) const
    {
        std::vector<D3> q;
        for (int r = 0; r < vCount; ++r) {
            std::vector<D3> row;
            for (int i = 0; i < uCount; ++i) row.push_back(At(i, r));
            q.push_back(Casteljau(row, u));
        }
        return Casteljau(q, v);
    }
    // Unit normal from central differences of Point (one-sided at the ends).
    D3 Normal(double u, double v) const
    {
        const double h = 1e-6;
        auto diff = [&](double a, double b, bool alongU) {
            const double lo = std::max(0.0, (alongU ? a : b) - h), hi = std::min(1.0, (alongU ? a : b) + h);
            const D3 p1 = alongU ? Point(hi, b) : Point(a, hi), p0 = alongU ? Point(lo, b) : Point(a, lo);
            return (p1 - p0) * (1.0 / (hi - lo));
        };
        const D3 n = Cross(diff(u, v, true), diff(u, v, false));
        return n * (1.0 / Length(n));
    }
    long Instanciate(const float* corners = nullptr) const
    {
        return VekBezierSurface_Instanciate(uCount, vCount, points.data(), corners);
    }
};

Net Planar(int uCount, int vCount, float width, float height)
{
    Net n{uCount, vCount, {}};
    for (int r = 0; r < vCount; ++r)
        for (int i = 0; i < uCount; ++i)
            n.points.insert(n.points.end(),
                            {width * float(i) / float(uCount - 1), height * float(r) / float(vCount - 1), 0.0f});
    return n;
}

// A curved net: a wave over the unit square.
Net Wavy(int uCount, int vCount)
{
    Net n = Planar(uCount, vCount, 1.0f, 1.0f);
    for (int r = 0; r < vCount; ++r)
        for (int i = 0; i < uCount; ++i) n.points[3 * (r * uCount + i) + 2] = 0.3f * std::sin(1.7f * i + 0.9f * r);
    return n;
}

VekBezierSurface* Patch(long slot) { return VekBezierSurface_GetAddress(slot); }

// Grid point (i, j) of corner k of table entry e, as the triangle table lays them out.
void GridPointOf(const VekBezierSurface& b, int e, int k, int& i, int& j)
{
    const int cell = e / 2;
    i = cell % b.uSteps;
    j = cell / b.uSteps;
    static const int kFirst[3][2] = {{0, 0}, {1, 0}, {0, 1}}, kSecond[3][2] = {{1, 0}, {1, 1}, {0, 1}};
    const int(*offsets)[2] = e % 2 ? kSecond : kFirst;
    i += offsets[k][0];
    j += offsets[k][1];
}

// Every corner of every triangle sits on the patch at its grid point with
// the patch's normal there.
void ExpectOnThePatch(const Net& net, const VekBezierSurface& b, double positionTolerance, double normalTolerance)
{
    for (int e = 0; e < 2 * b.uSteps * b.vSteps; ++e) {
        const VekSurface* s = b.triangles[e];
        ASSERT_NE(s, nullptr) << e;
        for (int k = 0; k < 3; ++k) {
            int i, j;
            GridPointOf(b, e, k, i, j);
            const double u = float(i) * b.uStepSize, v = float(j) * b.vStepSize;
            const D3 p = net.Point(u, v), n = net.Normal(u, v);
            EXPECT_NEAR(s->vertex[k].x, p.x, positionTolerance) << e << " " << k;
            EXPECT_NEAR(s->vertex[k].y, p.y, positionTolerance);
            EXPECT_NEAR(s->vertex[k].z, p.z, positionTolerance);
            EXPECT_NEAR(s->vertexNormal[k].x, n.x, normalTolerance) << e << " " << k;
            EXPECT_NEAR(s->vertexNormal[k].y, n.y, normalTolerance);
            EXPECT_NEAR(s->vertexNormal[k].z, n.z, normalTolerance);
        }
        // Counter-clockwise in (u, v): the face normal agrees with Tu x Tv.
        EXPECT_GT(CG::dot(s->normal, s->vertexNormal[0]), 0.0f);
    }
}

TEST_F(SceneTest, AUnitSquarePatchMakesFiftyFlatTriangles)
{
    const Net net = Planar(2, 2, 1, 1);
    const float corners[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(net.Instanciate(corners), 0);
    EXPECT_EQ(g_mainStatusTable.bezierSurfaceCount, 1);
    EXPECT_EQ(VekSurface_GetCount(), 50);
    const VekBezierSurface& b = *Patch(0);
    EXPECT_EQ(VekBezierSurface_GetIndex(Patch(0)), 0);
    EXPECT_EQ(b.uCount, 2);
    EXPECT_EQ(b.vCount, 2);
    EXPECT_EQ(b.uSteps, 5);
    EXPECT_EQ(b.vSteps, 5);
    EXPECT_EQ(b.uStepSize, 1.0f / 5);
    EXPECT_EQ(b.attribute, material);
    EXPECT_EQ(std::memcmp(b.controlPoints, net.points.data(), 12 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(b.cornerVectors, corners, sizeof corners), 0);

    // The table follows the list: cell k holds entries 2k and 2k + 1.
    std::vector<VekSurface*> all = Surfaces();
    ASSERT_EQ(all.size(), 50u);
    for (int e = 0; e < 50; ++e) ASSERT_EQ(b.triangles[e], all[e]);
    EXPECT_TRUE(scenetest::Near(b.triangles[0]->vertex[1], V(0.2f, 0, 0), 1e-7f));
    EXPECT_TRUE(scenetest::Near(b.triangles[0]->vertex[2], V(0, 0.2f, 0), 1e-7f));
    EXPECT_TRUE(scenetest::Near(b.triangles[1]->vertex[1], V(0.2f, 0.2f, 0), 1e-7f));
    EXPECT_TRUE(scenetest::Near(b.triangles[2 * b.uSteps]->vertex[0], V(0, 0.2f, 0), 1e-7f));
    for (VekSurface* s : all) {
        EXPECT_EQ(s->normal, V(0, 0, 1));
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s->vertexNormal[k], V(0, 0, 1));
        EXPECT_EQ(s->flags, 0u);  // no map coordinates, not smooth
    }
    ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(net, b, 1e-6, 1e-6));
}

TEST_F(SceneTest, DensityFollowsTheLongestNetEdgeTimesTheEdgeCount)
{
    const struct {
        std::vector<float> row;  // one row; the second row is the same moved 0.1 along y
        int uSteps;
    } cases[] = {
        {{0, 0, 0, 1, 0, 0, 1.5f, 0, 0}, 10},  // 3 points, longest 1
        {{0, 0, 0, 0.5f, 0, 0}, 2},
        {{0, 0, 0, 0.2f, 0, 0}, 1},
        {{0, 0, 0, 0.19f, 0, 0}, 1},
        {{0, 0, 0, 0.3f, 0.4f, 0, 0.3f, 0.4f, 0.1f}, 5},  // longest 0.5 (3-4-5) times 2 edges
    };
    for (const auto& c : cases) {
        Net n{static_cast<int>(c.row.size() / 3), 2, c.row};
        for (size_t k = 0; k < c.row.size(); k += 3) n.points.insert(n.points.end(), {c.row[k], c.row[k + 1] + 0.1f, c.row[k + 2]});
        const VekBezierSurface& b = *Patch(n.Instanciate());
        EXPECT_EQ(b.uSteps, c.uSteps);
        EXPECT_EQ(b.vSteps, 1);  // 0.1 apart: half a cell, at least one
        EXPECT_EQ(b.vStepSize, 1.0f);
    }
}

TEST_F(SceneTest, AnEvenlySpacedNetIsTheFlatSquare)
{
    const Net net = Planar(4, 4, 1, 1);
    const VekBezierSurface& b = *Patch(net.Instanciate());
    ASSERT_EQ(b.uSteps, 5);
    ASSERT_EQ(b.vSteps, 5);
    ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(net, b, 1e-6, 1e-6));
    // The grid's corners are the net's corners.
    EXPECT_EQ(b.triangles[0]->vertex[0], V(0, 0, 0));
    EXPECT_EQ(b.triangles[2 * 4]->vertex[1], V(1, 0, 0));
    EXPECT_EQ(b.triangles[2 * 20]->vertex[2], V(0, 1, 0));
    EXPECT_EQ(b.triangles[2 * 24 + 1]->vertex[1], V(1, 1, 0));
}

TEST_F(SceneTest, CurvedPatchesMatchAnIndependentEvaluation)
{
    for (auto size : {std::pair<int, int>(5, 4), std::pair<int, int>(6, 2), std::pair<int, int>(3, 7)}) {
        const Net net = Wavy(size.first, size.second);
        const VekBezierSurface& b = *Patch(net.Instanciate());
        ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(net, b, 2e-6, 2e-3));
    }
    // Six points per row whose y and z agree: the weights 1, 5, 10, 10, 5, 1
    // sum to one, so every grid point keeps that y and z.
    Net six{6, 2, {}};
    for (int r = 0; r < 2; ++r)
        for (int i = 0; i < 6; ++i) six.points.insert(six.points.end(), {0.3f * i, 5.0f, 7.0f + r});
    const VekBezierSurface& b = *Patch(six.Instanciate());
    ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(six, b, 1e-5, 1e-4));
    for (int e = 0; e < 2 * b.uSteps * b.vSteps; e += 2) {
        EXPECT_NEAR(b.triangles[e]->vertex[0].y, 5.0f, 1e-5f);
        EXPECT_NEAR(b.triangles[e]->vertex[1].y, 5.0f, 1e-5f);
    }
}

TEST_F(SceneTest, ThirtyTwoPointsEachWayEvaluateWithLargeBinomials)
{
    // Degree 31: B(31, 15) * 17 does not fit 32 bits. A small net keeps the
    // grid coarse.
    Net net = Wavy(32, 32);
    for (size_t k = 0; k < net.points.size(); ++k) net.points[k] *= 0.05f;
    const VekBezierSurface& b = *Patch(net.Instanciate());
    EXPECT_LT(b.uSteps * b.vSteps, 20);
    ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(net, b, 1e-6, 1e-3));
}

TEST_F(SceneTest, CountsOutsideTwoToThirtyTwoNullAndNonFinitePointsMakeNoRecord)
{
    const Net big = Planar(32, 32, 0.1f, 0.1f);  // enough values for any count below
    for (auto counts : {std::pair<long, long>(1, 2), {2, 1}, {33, 2}, {2, 33}, {0, 0}, {-1, 4}, {1L << 40, 2}}) {
        vektest::ClearWarning();
        EXPECT_EQ(VekBezierSurface_Instanciate(counts.first, counts.second, big.points.data(), nullptr), -1);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
        EXPECT_STREQ(VekMain_GetWarningString(), "VekBezierSurface_Instanciate");
    }
    vektest::ClearWarning();
    EXPECT_EQ(VekBezierSurface_Instanciate(2, 2, nullptr, nullptr), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);

    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        Net net = Planar(3, 3, 1, 1);
        net.points[3 * 8 + 2] = bad;
        vektest::ClearWarning();
        EXPECT_EQ(net.Instanciate(), -1);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    }
    EXPECT_EQ(g_mainStatusTable.bezierSurfaceCount, 0);
    EXPECT_EQ(VekSurface_GetCount(), 0);
    EXPECT_EQ(VekBezierSurface_GetAddress(-1), nullptr);
}

TEST_F(SceneTest, HugePatchesAreHeldAt1024CellsEachWay)
{
    vektest::ClearWarning();
    const Net wide = Planar(2, 2, 1000, 0.1f);
    const VekBezierSurface& b = *Patch(wide.Instanciate());
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_OUT_OF_RANGE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekBezierSurface_Instanciate");
    EXPECT_EQ(b.uSteps, 1024);
    EXPECT_EQ(b.vSteps, 1);
    EXPECT_EQ(VekSurface_GetCount(), 2048);
    ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(wide, b, 1e-3, 1e-6));

    // An extent whose neighbour differences overflow: held at the cap, and
    // whatever triangles come out of it are whole surfaces or null entries.
    Net overflow{2, 2, {-3e38f, 0, 0, 3e38f, 0, 0, -3e38f, 0.1f, 0, 3e38f, 0.1f, 0}};
    const VekBezierSurface& o = *Patch(overflow.Instanciate());
    EXPECT_EQ(o.uSteps, 1024);
    EXPECT_EQ(o.vSteps, 1);
    std::set<VekSurface*> listed;
    for (VekSurface* s : Surfaces()) listed.insert(s);
    long made = 0;
    for (int e = 0; e < 2 * 1024; ++e) {
        if (!o.triangles[e]) continue;
        ++made;
        EXPECT_TRUE(listed.count(o.triangles[e]));
    }
    EXPECT_EQ(VekSurface_GetCount(), 2048 + made);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, DegenerateNetsLeaveNullEntriesForRejectedTriangles)
{
    // Every point the same: one cell whose two triangles are rejected.
    Net point{3, 3, {}};
    for (int k = 0; k < 9; ++k) point.points.insert(point.points.end(), {1, 2, 3});
    const VekBezierSurface& p = *Patch(point.Instanciate());
    EXPECT_EQ(p.uSteps, 1);
    EXPECT_EQ(p.triangles[0], nullptr);
    EXPECT_EQ(p.triangles[1], nullptr);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekSurface_Instanciate");
    EXPECT_EQ(g_mainStatusTable.bezierSurfaceCount, 1);
    EXPECT_EQ(VekSurface_GetCount(), 0);

    // The top row collapsed to one point: the cells along it lose their
    // second triangle (two coinciding corners), the rest are whole.
    Net cone = Planar(3, 3, 1, 1);
    for (int i = 0; i < 3; ++i) std::memcpy(&cone.points[3 * (6 + i)], &cone.points[3 * 7], 3 * sizeof(float));
    const VekBezierSurface& c = *Patch(cone.Instanciate());
    int nulls = 0;
    for (int e = 0; e < 2 * c.uSteps * c.vSteps; ++e) {
        const bool topRowSecond = e / 2 / c.uSteps == c.vSteps - 1 && e % 2 == 1;
        EXPECT_EQ(c.triangles[e] == nullptr, topRowSecond) << e;
        nulls += c.triangles[e] == nullptr;
    }
    EXPECT_EQ(VekSurface_GetCount(), 2 * c.uSteps * c.vSteps - nulls);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, APatchKeepsItsOwnCopyAndItsRecordSurvivesAMissingAttribute)
{
    Net net = Planar(2, 2, 0.4f, 0.4f);
    const VekBezierSurface& b = *Patch(net.Instanciate());
    net.points[0] = 99;
    EXPECT_EQ(b.controlPoints[0].x, 0.0f);
    net.points[0] = 0;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(b.cornerVectors[k], V(0, 0, 0));

    VekSurface_SetAttributeName(const_cast<char*>("nowhere"));
    const long surfaces = VekSurface_GetCount();
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { net.Instanciate(); }), "VekSurface_Instanciate");
    EXPECT_EQ(g_mainStatusTable.bezierSurfaceCount, 2);
    EXPECT_EQ(VekSurface_GetCount(), surfaces);
    const VekBezierSurface& failed = *Patch(1);
    EXPECT_EQ(failed.attribute, nullptr);
    EXPECT_EQ(failed.uSteps, 2);
    for (int e = 0; e < 8; ++e) EXPECT_EQ(failed.triangles[e], nullptr);
}

TEST_F(SceneTest, MergingAFlatPatchRedirectsItsTableToTheQuadrilaterals)
{
    const VekBezierSurface& b = *Patch(Planar(2, 2, 1, 1).Instanciate());
    VekSurface_SimpleMergeAll();
    ASSERT_EQ(VekSurface_GetCount(), 25);
    std::vector<VekSurface*> all = Surfaces();
    for (int cell = 0; cell < 25; ++cell) {
        EXPECT_EQ(b.triangles[2 * cell], all[cell]);
        EXPECT_EQ(b.triangles[2 * cell + 1], all[cell]);
        EXPECT_EQ(all[cell]->vertexCount, 4);
    }
    scenetest::ExpectConsistentSurfaceList();
}

}  // namespace
