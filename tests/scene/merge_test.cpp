// Merging triangle pairs through the shared library: the tests a pair must
// pass, the quadrilateral made, release to the pool (slots, list, counter),
// twin links, and randomised scenes checked pair for pair against the plain
// walk of merge_reference.h.
#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "scene/merge_reference.h"
#include "scene/scene_test_support.h"

namespace {

using scenetest::Polygon;
using scenetest::SceneTest;
using scenetest::Surfaces;
using scenetest::V;

const V kUp(0, 0, 1);

// The signed area of a planar polygon seen along its normal.
double Area(const VekSurface& s)
{
    double x = 0, y = 0, z = 0;
    for (int i = 0; i < s.vertexCount; ++i) {
        const V& a = s.vertex[i];
        const V& b = s.vertex[(i + 1) % s.vertexCount];
        x += double(a.y) * b.z - double(a.z) * b.y;
        y += double(a.z) * b.x - double(a.x) * b.z;
        z += double(a.x) * b.y - double(a.y) * b.x;
    }
    return 0.5 * (x * s.normal.x + y * s.normal.y + z * s.normal.z);
}

TEST_F(SceneTest, ATrianglePairBecomesOneQuadrilateral)
{
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)});
    Polygon({V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    VekSurface* a = VekMemory_GetSurfaceList();
    const long releasedSlot = VekSurface_GetIndex(a->next);
    VekSurface_SimpleMergeAll();
    ASSERT_EQ(VekSurface_GetCount(), 1);
    ASSERT_EQ(VekMemory_GetSurfaceList(), a);
    EXPECT_EQ(a->next, nullptr);
    ASSERT_EQ(a->vertexCount, 4);
    const V expected[4] = {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a->vertex[i], expected[i]);
    EXPECT_EQ(a->normal, kUp);
    // The bounds cover the new corner.
    EXPECT_EQ(a->boundsMax, V(1, 1, 0));
    EXPECT_TRUE(a->CheckInOut(V(0.1f, 0.8f, 0)));

    // The released slot is handed out again, and the list's tail is right.
    EXPECT_EQ(Polygon({V(5, 0, 0), V(6, 0, 0), V(5, 1, 0)}), releasedSlot);
    EXPECT_EQ(a->next, scenetest::LastSurface());
    EXPECT_EQ(Polygon({V(7, 0, 0), V(8, 0, 0), V(7, 1, 0)}), 2);
    scenetest::ExpectConsistentSurfaceList();
    VekSurface_SimpleMergeAll();   // nothing more to merge among these
    EXPECT_EQ(VekSurface_GetCount(), 3);
}

TEST_F(SceneTest, NormalsAndMapCoordinatesTravelWithTheTakenCorner)
{
    std::vector<float> pa = scenetest::Flat({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)});
    std::vector<float> pb = scenetest::Flat({V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    std::vector<float> n = scenetest::Flat({kUp, kUp, kUp});
    std::vector<float> nb = scenetest::Flat({kUp, kUp, V(0.1f, 0, 1)});
    std::vector<float> uva = pa;
    std::vector<float> uvb = scenetest::Flat({V(0, 0, 0), V(1, 1, 0), V(0.25f, 0.75f, 0.5f)});
    VekSurface_Instanciate(3, pa.data(), n.data(), uva.data());
    VekSurface_Instanciate(3, pb.data(), nb.data(), uvb.data());
    VekSurface_SimpleMergeAll();
    ASSERT_EQ(VekSurface_GetCount(), 1);
    const VekSurface& q = *VekMemory_GetSurfaceList();
    EXPECT_EQ(q.mapCoord[3], V(0.25f, 0.75f, 0.5f));
    EXPECT_TRUE(scenetest::Near(q.vertexNormal[3], scenetest::Unit(V(0.1f, 0, 1)), 1e-6f));
    // A keeps its own flags: B's smooth bit is not carried over.
    EXPECT_EQ(q.flags, VEK_FACE_HAS_MAP_COORDS);
}

TEST_F(SceneTest, PairsMergeOnlyWhenEveryTestPasses)
{
    const float t = 3.0f * 3.14159265f / 180.0f;
    const struct {
        const char* what;
        V a[3], b[3];
        V bNormals[3];   // all zero: no corner normals given
        bool otherAttribute, merges;
    } cases[] = {
        {"other attribute", {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)}, {V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)}, {}, true, false},
        {"corner normal on the edge tilted by 3 degrees", {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)},
         {V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)}, {kUp, V(std::sin(t), 0, std::cos(t)), kUp}, false, false},
        {"planes 1.6 degrees apart", {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)}, {V(0, 0, 0), V(1, 1, 0), V(0, 1, 0.02f)}, {}, false, false},
        {"concave dart", {V(0, 0, 0), V(2, 0, 0), V(1, 0.5f, 0)}, {V(0, 0, 0), V(1, 0.5f, 0), V(1, 2, 0)}, {}, false, false},
        {"one shared corner", {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)}, {V(1, 1, 0), V(2, 1, 0), V(2, 2, 0)}, {}, false, false},
        {"three shared corners", {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)}, {V(1, 0, 0), V(1, 1, 0), V(0, 0, 0)}, {}, false, false},
        // The outline would run straight through a1: a triangle cut from its
        // top corner to the middle of its base.
        {"straight at a1", {V(1, 1, 0), V(1, 0, 0), V(0, 0, 0)}, {V(1, 0, 0), V(1, 1, 0), V(2, 0, 0)}, {}, false, false},
        // B runs along the shared edge in A's direction, on A's side: folded over A.
        {"folded", {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {V(0, 0, 0), V(1, 0, 0), V(2, 2, 0)}, {}, false, false},
        // Straight on at a0: the sign test gives exactly 0, which passes, and
        // the corner angle is 0, far from 179.
        {"straight at a0", {V(10, 0, 0), V(11, 0, 0), V(10.5f, 1, 0)}, {V(10.5f, 1, 0), V(11, 0, 0), V(12, 0, 0)}, {}, false, true},
    };
    for (const auto& c : cases) {
        Restart();
        const bool normals = c.bNormals[0] == kUp;
        Polygon({c.a[0], c.a[1], c.a[2]}, normals ? std::initializer_list<V>{kUp, kUp, kUp} : std::initializer_list<V>{});
        if (c.otherAttribute) {
            MakeAttribute("other");
            VekSurface_SetAttributeName(const_cast<char*>("other"));
        }
        Polygon({c.b[0], c.b[1], c.b[2]},
                normals ? std::initializer_list<V>{c.bNormals[0], c.bNormals[1], c.bNormals[2]} : std::initializer_list<V>{});
        VekSurface_SimpleMergeAll();
        ASSERT_EQ(VekSurface_GetCount(), c.merges ? 1 : 2) << c.what;
        for (VekSurface* s : Surfaces()) EXPECT_EQ(s->vertexCount, c.merges ? 4 : 3) << c.what;
    }
    const VekSurface& q = *VekMemory_GetSurfaceList();
    EXPECT_EQ(q.vertex[2], V(12, 0, 0));
    EXPECT_DOUBLE_EQ(Area(q), 1.0);
    EXPECT_EQ(q.boundsMax, V(12, 1, 0));
}

TEST_F(SceneTest, TheFirstPartnerInListOrderWins)
{
    VekSurface_SimpleMergeAll();  // an empty list
    EXPECT_EQ(VekSurface_GetCount(), 0);
    // C could pair with A too, but B comes first; C then pairs with D.
    Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)});   // A
    Polygon({V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)});   // B: shares the diagonal
    Polygon({V(1, 0, 0), V(0, 0, 0), V(1, -1, 0)});  // C: shares A's edge 0-1
    Polygon({V(0, 0, 0), V(0, -1, 0), V(1, -1, 0)}); // D: shares C's edge
    VekSurface* a = VekMemory_GetSurfaceList();
    VekSurface* c = a->next->next;
    VekSurface_SimpleMergeAll();
    std::vector<VekSurface*> all = Surfaces();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], a);
    EXPECT_EQ(all[1], c);
    EXPECT_EQ(a->vertex[3], V(0, 1, 0));
    EXPECT_EQ(c->vertexCount, 4);
    EXPECT_DOUBLE_EQ(Area(*c), 1.0);
    scenetest::ExpectConsistentSurfaceList();
}

TEST_F(SceneTest, NoTwinNamesAReleasedSurface)
{
    // Two double-sided triangles: fronts merge with fronts, backs with backs,
    // and the two quadrilaterals stay each other's twins. A single-sided A
    // absorbing the front of a double-sided B leaves B's back without a twin.
    for (bool bothDouble : {true, false}) {
        Restart();
        Polygon({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0)}, {}, bothDouble);
        Polygon({V(0, 0, 0), V(1, 1, 0), V(0, 1, 0)}, {}, true);
        VekSurface_SimpleMergeAll();
        std::vector<VekSurface*> all = Surfaces();
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0]->vertexCount, 4);
        EXPECT_EQ(all[1]->flags & VEK_FACE_BACK_SIDE, VEK_FACE_BACK_SIDE);
        EXPECT_EQ(all[1]->vertexCount, bothDouble ? 4 : 3);
        EXPECT_EQ(all[1]->twin, bothDouble ? all[0] : nullptr);
        EXPECT_DOUBLE_EQ(Area(*all[1]), bothDouble ? 1.0 : 0.5);
        scenetest::ExpectConsistentSurfaceList();
    }
}

// A randomised scene: a side x side grid of cells of the given size around
// origin, some grid points lifted off the plane, each cell cut into two
// triangles along a random diagonal (or kept as one quadrilateral), the
// triangles' corners rotated, some reversed, doubled or double-sided, two
// attributes, tilted corner normals, and corners moved by about 1e-5 so that
// shared corners fall on both sides of the tolerance. The list is shuffled
// unless inOrder.
struct RandomScene {
    float cellSize;
    V origin;
    int side;
    bool inOrder;
};

void BuildRandomScene(const RandomScene& scene, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto chance = [&](float p) { return unit(rng) < p; };
    const int n = scene.side + 1;
    std::vector<float> lift(n * n);
    for (float& h : lift) h = chance(0.1f) ? 0.3f * scene.cellSize : 0.0f;
    auto point = [&](int x, int y) {
        return V(scene.origin.x + scene.cellSize * x, scene.origin.y + scene.cellSize * y, scene.origin.z + lift[y * n + x]);
    };
    struct Shape {
        std::vector<V> corners, normals;
        bool other, doubled;
    };
    std::vector<Shape> shapes;
    const float t = 3.0f * 3.14159265f / 180.0f;
    for (int y = 0; y < scene.side; ++y) {
        for (int x = 0; x < scene.side; ++x) {
            const V p00 = point(x, y), p10 = point(x + 1, y), p11 = point(x + 1, y + 1), p01 = point(x, y + 1);
            if (chance(0.05f)) {
                shapes.push_back({{p00, p10, p11, p01}, {}, false, false});
                continue;
            }
            const bool diagonal = chance(0.5f);
            const std::array<V, 3> halves[2] = {diagonal ? std::array<V, 3>{p00, p10, p11} : std::array<V, 3>{p00, p10, p01},
                                                diagonal ? std::array<V, 3>{p00, p11, p01} : std::array<V, 3>{p10, p11, p01}};
            for (const auto& half : halves) {
                Shape shape{{}, {}, chance(0.15f), chance(0.1f)};
                const int r = static_cast<int>(rng() % 3);
                for (int k = 0; k < 3; ++k) {
                    V c = half[(r + k) % 3];
                    // Near-duplicates: 0.9e-5 to 1.1e-5 away along one axis.
                    if (chance(0.15f)) c[rng() % 3] += (chance(0.5f) ? 1 : -1) * (0.9e-5f + 0.2e-5f * unit(rng));
                    shape.corners.push_back(c);
                }
                if (chance(0.05f)) std::swap(shape.corners[1], shape.corners[2]);
                if (chance(0.3f)) {
                    shape.normals.assign(3, kUp);
                    if (chance(0.3f)) shape.normals[rng() % 3] = V(std::sin(t), 0, std::cos(t));
                }
                shapes.push_back(shape);
                if (chance(0.02f)) shapes.push_back(shape);   // an exact copy: three shared corners
            }
        }
    }
    if (!scene.inOrder) std::shuffle(shapes.begin(), shapes.end(), rng);
    for (const Shape& shape : shapes) {
        VekSurface_SetAttributeName(const_cast<char*>(shape.other ? "other" : "mat"));
        std::vector<float> p, nn;
        for (const V& c : shape.corners) p.insert(p.end(), {c.x, c.y, c.z});
        for (const V& c : shape.normals) nn.insert(nn.end(), {c.x, c.y, c.z});
        const long count = static_cast<long>(shape.corners.size());
        float* normals = nn.empty() ? nullptr : nn.data();
        if (shape.doubled)
            VekSurface_InstanciateDouble(count, p.data(), normals, nullptr);
        else
            VekSurface_Instanciate(count, p.data(), normals, nullptr);
    }
}

TEST_F(SceneTest, RandomScenesMergeExactlyAsThePlainWalk)
{
    const RandomScene scenes[] = {
        {1.0f, V(-6, -6, 0), 12, false},        {1.0f, V(-10, -10, 2), 20, true},
        {3e-5f, V(-3e-4f, 1e-4f, 0), 20, false},   // cells a few tolerances wide
        {0.7f, V(-1e-3f, 0, -1e-3f), 16, false}, {1e6f, V(-1e7f, 3e7f, 0), 10, false},
        {1e29f, V(-1e30f, 1e30f, 0), 10, false},   // beyond any grid of tolerance-sized cells
    };
    std::mt19937 rng(13);
    long merged = 0;
    for (int round = 0; round < 3; ++round) {
        for (const RandomScene& scene : scenes) {
            Restart();
            MakeAttribute("other");
            BuildRandomScene(scene, rng);
            std::vector<reference::Face> expected = reference::Snapshot();
            reference::MergeAll(expected);
            merged += std::count_if(expected.begin(), expected.end(), [](const reference::Face& f) { return f.released; });
            VekSurface_SimpleMergeAll();

            // Survivors in list order: the same records with the same corners.
            std::vector<VekSurface*> all = Surfaces();
            size_t k = 0;
            for (const reference::Face& f : expected) {
                if (f.released) continue;
                ASSERT_LT(k, all.size()) << scene.cellSize;
                const VekSurface& s = *all[k++];
                ASSERT_EQ(&s, f.record) << "scene " << scene.cellSize << " survivor " << k - 1;
                ASSERT_EQ(s.vertexCount, f.count) << "scene " << scene.cellSize << " survivor " << k - 1;
                for (int i = 0; i < f.count; ++i) {
                    EXPECT_EQ(s.vertex[i], f.vertex[i]);
                    EXPECT_EQ(s.vertexNormal[i], f.vertexNormal[i]);
                    EXPECT_EQ(s.mapCoord[i], f.mapCoord[i]);
                    for (int k = 0; k < 3; ++k)   // the bounds cover every corner
                        EXPECT_TRUE(s.boundsMin[k] <= s.vertex[i][k] && s.vertex[i][k] <= s.boundsMax[k]);
                }
                EXPECT_EQ(s.twin, f.twin);
            }
            EXPECT_EQ(k, all.size());
            scenetest::ExpectConsistentSurfaceList();
        }
    }
    EXPECT_GT(merged, 1000);
}

}  // namespace
