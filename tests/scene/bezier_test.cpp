// Bezier patches through the shared library: the density rule, the triangle
// table, positions and normals against an independent de Casteljau
// evaluation in double precision, refusals, degenerate nets, and the
// triangle table after a merge.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "scene/scene_test_support.h"

namespace {

using scenetest::SceneTest;
using scenetest::Surfaces;
using scenetest::V;

using D3 = CG::vec3<double>;

// A control net as a host passes it: uCount points per row, row after row.
struct Net {
    int uCount, vCount;
    std::vector<float> points;

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
            for (int i = 0; i < uCount; ++i) {
                const float* p = &points[3 * (r * uCount + i)];
                row.emplace_back(p[0], p[1], p[2]);
            }
            q.push_back(Casteljau(row, u));
        }
        return Casteljau(q, v);
    }
    // Unit normal from central differences of Point (one-sided at the ends).
    D3 Normal(double u, double v) const
    {
        const double h = 1e-6;
        const double u0 = std::max(0.0, u - h), u1 = std::min(1.0, u + h);
        const double v0 = std::max(0.0, v - h), v1 = std::min(1.0, v + h);
        const D3 n = CG::cross((Point(u1, v) - Point(u0, v)) * (1 / (u1 - u0)), (Point(u, v1) - Point(u, v0)) * (1 / (v1 - v0)));
        return n * (1 / std::sqrt(CG::dot(n, n)));
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
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(s->vertex[k][a], p[a], positionTolerance) << e << " " << k;
                EXPECT_NEAR(s->vertexNormal[k][a], n[a], normalTolerance) << e << " " << k;
            }
        }
        // Counter-clockwise in (u, v): the face normal agrees with Tu x Tv.
        EXPECT_GT(CG::dot(s->normal, s->vertexNormal[0]), 0.0f);
    }
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

TEST_F(SceneTest, PatchesMatchAnIndependentEvaluation)
{
    // Flat and curved nets, and degree 31 each way, where B(31, 15) * 17 does
    // not fit 32 bits (a small net keeps that grid coarse).
    Net big = Wavy(32, 32);
    for (float& x : big.points) x *= 0.05f;
    // Six points per row whose y and z agree: the weights 1, 5, 10, 10, 5, 1
    // sum to one, so every grid point keeps that y and z.
    Net six{6, 2, {}};
    for (int r = 0; r < 2; ++r)
        for (int i = 0; i < 6; ++i) six.points.insert(six.points.end(), {0.3f * i, 5.0f, 7.0f + r});
    const struct {
        Net net;
        double position, normal;
    } cases[] = {{Planar(2, 2, 1, 1), 1e-6, 1e-6}, {Planar(4, 4, 1, 1), 1e-6, 1e-6}, {Wavy(5, 4), 2e-6, 2e-3},
                 {Wavy(6, 2), 2e-6, 2e-3},         {Wavy(3, 7), 2e-6, 2e-3},         {six, 1e-5, 1e-4},
                 {big, 1e-6, 1e-3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.net.uCount << " x " << c.net.vCount);
        const VekBezierSurface& b = *Patch(c.net.Instanciate());
        ASSERT_NO_FATAL_FAILURE(ExpectOnThePatch(c.net, b, c.position, c.normal));
    }
    EXPECT_EQ(Patch(0)->uSteps * Patch(0)->vSteps, 25);
    EXPECT_EQ(Patch(0)->attribute, material);
    EXPECT_EQ(Patch(0)->triangles[0]->flags, 0u);  // no map coordinates, not smooth
    EXPECT_LT(Patch(6)->uSteps * Patch(6)->vSteps, 20);
}

TEST_F(SceneTest, BadCountsNullAndNonFinitePointsMakeNoRecord)
{
    const Net big = Planar(32, 32, 0.1f, 0.1f);  // enough values for any count below
    for (auto counts : {std::pair<long, long>(1, 2), {2, 33}, {1L << 40, 2}}) {
        vektest::ClearWarning();
        EXPECT_EQ(VekBezierSurface_Instanciate(counts.first, counts.second, big.points.data(), nullptr), -1);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
        EXPECT_STREQ(VekMain_GetWarningString(), "VekBezierSurface_Instanciate");
    }
    vektest::ClearWarning();
    EXPECT_EQ(VekBezierSurface_Instanciate(2, 2, nullptr, nullptr), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    Net net = Planar(3, 3, 1, 1);
    net.points[3 * 8 + 2] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(net.Instanciate(), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
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
    float corners[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const VekBezierSurface& b = *Patch(net.Instanciate(corners));
    net.points[0] = corners[0] = 99;
    EXPECT_EQ(b.controlPoints[0].x, 0.0f);
    EXPECT_EQ(b.cornerVectors[0], V(1, 2, 3));
    EXPECT_EQ(b.cornerVectors[3], V(10, 11, 12));

    VekSurface_SetAttributeName(const_cast<char*>("nowhere"));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [&] { net.Instanciate(); }), "VekSurface_Instanciate");
    EXPECT_EQ(g_mainStatusTable.bezierSurfaceCount, 2);
    EXPECT_EQ(VekSurface_GetCount(), 8);
    const VekBezierSurface& failed = *Patch(1);
    EXPECT_EQ(failed.attribute, nullptr);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(failed.cornerVectors[k], V(0, 0, 0));
    for (int e = 0; e < 2 * failed.uSteps * failed.vSteps; ++e) EXPECT_EQ(failed.triangles[e], nullptr);
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
