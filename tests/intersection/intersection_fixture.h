// intersection_fixture.h - what the intersection tests share: building scenes
// through the exported scene calls, an area light of the test's own, and
// brute-force references that test every face with the same exported
// single-precision face tests the engine uses.
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "support/test_support.h"

// Test hook of the library (no header declares it): sets a thread's ray
// counter in the prepared grid, so tests reach the end of the ray numbering
// without two billion queries.
VEK_API void VekTest_SetRayCounter(long thread, unsigned long value);

namespace ixtest {

using V3 = CG::vec3<float>;

// The library's area light, laid out as a face by the test as a host does.
using TestAreaLight = VekAreaLight;

inline V3 Normalized(const V3& v)
{
    const float l = std::sqrt(CG::dot(v, v));
    return V3(v.x / l, v.y / l, v.z / l);
}

// Scene building and the references, on top of the library fixture.
class IntersectionTest : public vektest::LibraryTest {
protected:
    void TearDown() override
    {
        VekIntersection_End();
        vektest::LibraryTest::TearDown();
    }

    // An attribute with a grey or coloured transparency.
    static void Attribute(const char* name, V3 transparency)
    {
        VekAttribute_SetTransparency(&transparency.x);
        VekAttribute_Instanciate(const_cast<char*>(name));
    }

    // A polygon with the given attribute and flags; null when the scene
    // refused the shape.
    static VekSurface* Polygon(std::vector<V3> corners, const char* attribute, unsigned long flags = 0,
                               bool twoSided = false, float* mapCoords = nullptr)
    {
        VekSurface_SetAttributeName(const_cast<char*>(attribute));
        VekSurface_SetFlags(flags);
        const int32_t before = g_mainStatusTable.surfaceCount;
        const long count = static_cast<long>(corners.size());
        const long index = twoSided ? VekSurface_InstanciateDouble(count, &corners[0].x, nullptr, mapCoords)
                                    : VekSurface_Instanciate(count, &corners[0].x, nullptr, mapCoords);
        VekSurface_SetFlags(0);
        return g_mainStatusTable.surfaceCount > before ? VekSurface_GetAddress(index) : nullptr;
    }

    TestAreaLight* AreaLight(std::vector<V3> corners)
    {
        lights_.emplace_back(new TestAreaLight());
        TestAreaLight* l = lights_.back().get();
        l->vertexCount = static_cast<int32_t>(corners.size());
        for (size_t i = 0; i < corners.size(); ++i) l->vertex[i] = corners[i];
        l->normal = Normalized(CG::cross(l->vertex[1] - l->vertex[0], l->vertex[2] - l->vertex[0]));
        l->SetRaytraceInfo();
        l->SetBoundingBox();
        l->SetRayNumber();
        return l;
    }

    // Gives every surface its ray marks and registers it and every area
    // light; elements_ then holds what the grid holds, billboards as their
    // two copies.
    void RegisterAll()
    {
        for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
            s->SetRayNumber();
            VekIntersection_RegisterSurface(s);
            if (s->IsBillboard()) {
                elements_.push_back(s->twin);
                elements_.push_back(s->twin->twin);
            } else if (!(s->flags & VEK_FACE_BACK_SIDE)) {
                elements_.push_back(s);
            }
        }
        for (auto& l : lights_) {
            VekIntersection_RegisterArealight(l.get());
            elements_.push_back(l.get());
        }
    }

    void Prepare()
    {
        VekIntersection_Initialize();
        RegisterAll();
        VekIntersection_PrepareEnvironment();
        VekIntersection_Reset(4);
    }

    // A randomised room: walls and furniture of large quadrilaterals, long
    // thin diagonal needles, a soup of triangles, a finely tessellated sphere
    // (crowded cells with nested grids), a tiny dense cluster (grids of the
    // third level), two-sided panels, billboards, faces that cast no shadow
    // and area lights. Transparencies are powers of two so that products do
    // not depend on their order.
    void BuildRoom(unsigned seed, int sphereBands = 40)
    {
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        Attribute("opaque", V3(0, 0, 0));
        Attribute("half", V3(0.5f, 0.5f, 0.5f));
        Attribute("tint", V3(0.5f, 0.25f, 0.75f));
        const char* kinds[3] = {"opaque", "half", "tint"};
        auto kind = [&] { return kinds[rng() % 3]; };
        const float X = 200, Y = 160, Z = 60;
        Shell(V3(X, Y, Z), {"opaque", "half", "tint", "half"});
        // Furniture: boxes of six quadrilaterals.
        for (int b = 0; b < 12; ++b) {
            const V3 lo(uni(5, X - 40), uni(5, Y - 40), 0);
            const V3 hi(lo.x + uni(4, 30), lo.y + uni(4, 30), uni(3, 25));
            const char* k = kind();
            Polygon({V3(lo.x, lo.y, hi.z), V3(hi.x, lo.y, hi.z), V3(hi.x, hi.y, hi.z), V3(lo.x, hi.y, hi.z)}, k);
            Polygon({V3(lo.x, lo.y, lo.z), V3(hi.x, lo.y, lo.z), V3(hi.x, lo.y, hi.z), V3(lo.x, lo.y, hi.z)}, k);
            Polygon({V3(lo.x, hi.y, lo.z), V3(lo.x, hi.y, hi.z), V3(hi.x, hi.y, hi.z), V3(hi.x, hi.y, lo.z)}, k);
            Polygon({V3(lo.x, lo.y, lo.z), V3(lo.x, lo.y, hi.z), V3(lo.x, hi.y, hi.z), V3(lo.x, hi.y, lo.z)}, k);
            Polygon({V3(hi.x, lo.y, lo.z), V3(hi.x, hi.y, lo.z), V3(hi.x, hi.y, hi.z), V3(hi.x, lo.y, hi.z)}, k);
        }
        // Long thin diagonal needles across the room.
        for (int n = 0; n < 16; ++n) {
            const V3 a(uni(1, X - 1), uni(1, Y - 1), uni(1, Z - 1)), b(uni(1, X - 1), uni(1, Y - 1), uni(1, Z - 1));
            Polygon({a, b, b + V3(uni(0.1f, 0.6f), uni(-0.5f, 0.5f), uni(0.1f, 0.6f))}, kind());
        }
        // A soup of triangles, some casting no shadow.
        for (int n = 0; n < 400; ++n) {
            const V3 c(uni(2, X - 2), uni(2, Y - 2), uni(2, Z - 2));
            const float s = uni(0.5f, 12);
            Polygon({c, c + V3(uni(-s, s), uni(-s, s), uni(-s, s)), c + V3(uni(-s, s), uni(-s, s), uni(-s, s))},
                    kind(), n % 7 == 0 ? VEK_FACE_NO_SHADOW : 0);
        }
        // Two-sided panels.
        for (int n = 0; n < 10; ++n) {
            const V3 c(uni(10, X - 10), uni(10, Y - 10), uni(5, Z - 10));
            Polygon({c, c + V3(6, 0, 0), c + V3(6, 1, 5), c + V3(0, 1, 5)}, kind(), 0, true);
        }
        // Billboards: vertical quadrilaterals.
        for (int n = 0; n < 10; ++n) {
            const V3 c(uni(10, X - 10), uni(10, Y - 10), 0);
            Polygon({c, c + V3(4, 1, 0), c + V3(4, 1, 9), c + V3(0, 0, 9)}, kind(), VEK_FACE_BILLBOARD);
        }
        // A finely tessellated sphere and a tiny dense cluster.
        sphereCentre_ = V3(120, 70, 20);
        Sphere(sphereCentre_, 7.0f, sphereBands, "half");
        clusterCentre_ = V3(60.3f, 110.7f, 30.1f);
        for (int n = 0; n < 1500; ++n) {
            const V3 c = clusterCentre_ + V3(uni(-0.02f, 0.02f), uni(-0.02f, 0.02f), uni(-0.02f, 0.02f));
            Polygon({c, c + V3(uni(0.001f, 0.01f), 0, uni(-0.005f, 0.005f)), c + V3(0, uni(0.001f, 0.01f), 0.003f)},
                    kind());
        }
        // Area lights under the ceiling.
        for (int n = 0; n < 4; ++n) {
            const V3 c(uni(10, X - 20), uni(10, Y - 20), Z - 1);
            AreaLight({c, c + V3(0, 8, 0), c + V3(8, 8, 0), c + V3(8, 0, 0)});
        }
    }

    // The room [0, size]: floor, ceiling and the walls at y = 0 and x = 0,
    // with these attributes in that order.
    void Shell(const V3& size, const std::array<const char*, 4>& attributes)
    {
        const float X = size.x, Y = size.y, Z = size.z;
        room_ = {V3(0, 0, 0), size};
        Polygon({V3(0, 0, 0), V3(X, 0, 0), V3(X, Y, 0), V3(0, Y, 0)}, attributes[0]);
        Polygon({V3(0, 0, Z), V3(0, Y, Z), V3(X, Y, Z), V3(X, 0, Z)}, attributes[1]);
        Polygon({V3(0, 0, 0), V3(0, 0, Z), V3(X, 0, Z), V3(X, 0, 0)}, attributes[2]);
        Polygon({V3(0, 0, 0), V3(0, Y, 0), V3(0, Y, Z), V3(0, 0, Z)}, attributes[3]);
    }

    void Sphere(V3 centre, float radius, int bands, const char* attribute)
    {
        auto at = [&](int i, int j) {
            const float theta = 3.14159265f * static_cast<float>(i) / static_cast<float>(bands);
            const float phi = 6.2831853f * static_cast<float>(j) / static_cast<float>(2 * bands);
            return centre + V3(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)) *
                                radius;
        };
        for (int i = 0; i < bands; ++i)
            for (int j = 0; j < 2 * bands; ++j) {
                if (i > 0) Polygon({at(i, j), at(i + 1, j), at(i, j + 1)}, attribute);
                if (i + 1 < bands) Polygon({at(i, j + 1), at(i + 1, j), at(i + 1, j + 1)}, attribute);
            }
    }

    // Ray origins inside the room, directions random or aimed at the crowded
    // objects.
    struct TestRay {
        V3 origin, direction;
    };
    std::vector<TestRay> Rays(unsigned seed, int count)
    {
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        std::vector<TestRay> rays;
        for (int n = 0; n < count; ++n) {
            const V3 o(uni(room_.lo.x + 0.5f, room_.hi.x - 0.5f), uni(room_.lo.y + 0.5f, room_.hi.y - 0.5f),
                       uni(room_.lo.z + 0.5f, room_.hi.z - 0.5f));
            V3 target;
            switch (n % 4) {
            case 0: target = sphereCentre_ + V3(uni(-8, 8), uni(-8, 8), uni(-8, 8)); break;
            case 1: target = clusterCentre_ + V3(uni(-0.03f, 0.03f), uni(-0.03f, 0.03f), uni(-0.03f, 0.03f)); break;
            default: target = o + V3(uni(-1, 1), uni(-1, 1), uni(-1, 1)); break;
            }
            rays.push_back({o, Normalized(target - o)});
        }
        return rays;
    }

    // References: every element, newest first (the grid's order within a
    // cell, which decides between faces hit at exactly the same distance).
    struct RefHit {
        bool hit = false;
        HitInfo info{};
    };

    RefHit NearestReference(const V3& o, const V3& d, float tMin, long cull, bool trace, const VekFace* skip) const
    {
        RefHit best;
        best.info.t = 1e38f;
        for (auto it = elements_.rbegin(); it != elements_.rend(); ++it) {
            const VekFace* f = *it;
            if (trace && ((f->flags & VEK_FACE_BILLBOARD_SHADOW) || f == skip)) continue;
            if (!trace && f->Type() != 0) continue;
            HitInfo h{};
            h.t = 1e38f;
            f->CheckIntersection(o, d, tMin, best.info.t, cull, h);
            if (h.t < best.info.t) {
                best.info = h;
                best.hit = true;
            }
        }
        return best;
    }

    std::vector<std::pair<const VekFace*, float>> AllHitsReference(const V3& o, const V3& d, const VekFace* skip,
                                                                   float tMin) const
    {
        std::vector<std::pair<const VekFace*, float>> hits;
        for (const VekFace* f : elements_) {
            if ((f->flags & VEK_FACE_BILLBOARD_SHADOW) || f == skip) continue;
            HitInfo h{};
            if (f->CheckIntersection(o, d, tMin, INFINITY, h)) hits.emplace_back(f, h.t);
        }
        std::sort(hits.begin(), hits.end());
        return hits;
    }

    V3 TransmissionReference(const V3& o, const V3& d, const VekFace* skip, const VekFace* skip2, float tMin,
                             float tMax) const
    {
        V3 factor(1, 1, 1);
        for (const VekFace* f : elements_) {
            if (f->Type() != 0 || f == skip || f == skip2 || (f->flags & VEK_FACE_NO_SHADOW)) continue;
            if (!f->CheckIntersection(o, d, tMin, tMax)) continue;
            const V3 tr = static_cast<const VekSurface*>(f)->attribute->transparency;
            if (tr.x + tr.y + tr.z < 1e-10f) return V3(0, 0, 0);
            factor = V3(factor.x * tr.x, factor.y * tr.y, factor.z * tr.z);
        }
        return factor;
    }

    // Grid and reference agree: both miss, or both hit at the same distance
    // and point, on the same face or on one that the grid's face ties with.
    void ExpectSameNearest(long found, const HitInfo& grid, const RefHit& ref, const V3& o, const V3& d,
                           float tMin, long cull) const
    {
        ASSERT_EQ(found != 0, ref.hit);
        if (!ref.hit) return;
        EXPECT_EQ(grid.t, ref.info.t);
        EXPECT_EQ(grid.point, ref.info.point);
        if (grid.face != ref.info.face) {
            HitInfo tie{};
            tie.t = 1e38f;
            grid.face->CheckIntersection(o, d, tMin, 1e38f, cull, tie);
            EXPECT_EQ(tie.t, ref.info.t) << "a different face at another distance";
        }
    }

    struct Box {
        V3 lo, hi;
    };
    Box room_{};
    V3 sphereCentre_{}, clusterCentre_{};
    std::vector<const VekFace*> elements_;
    std::vector<std::unique_ptr<TestAreaLight>> lights_;
};

}  // namespace ixtest
