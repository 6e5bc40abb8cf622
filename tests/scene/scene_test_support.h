// scene_test_support.h - what the scene tests share: a started library with
// one current attribute, polygon helpers, and a check that the surface
// list, its slot numbers and surfaceCount agree.
#pragma once

#include <cmath>
#include <initializer_list>
#include <set>
#include <vector>

#include "support/test_support.h"

namespace scenetest {

using V = CG::vec3<float>;

// The library started, an attribute "mat" made and named for surfaces.
class SceneTest : public vektest::LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        material = MakeAttribute("mat");
        VekSurface_SetAttributeName(const_cast<char*>("mat"));
    }

    // A fresh scene within one test.
    void Restart()
    {
        TearDown();
        SetUp();
    }

    static VekAttribute* MakeAttribute(const char* name)
    {
        VekAttribute_Instanciate(const_cast<char*>(name));
        VekAttribute* a = VekMemory_GetAttributeList();
        while (a->next) a = a->next;
        return a;
    }

    VekAttribute* material = nullptr;
};

// Corners as a flat float array, as a host passes them.
inline std::vector<float> Flat(std::initializer_list<V> corners)
{
    std::vector<float> out;
    for (const V& c : corners) out.insert(out.end(), {c.x, c.y, c.z});
    return out;
}

inline long Polygon(std::initializer_list<V> corners, std::initializer_list<V> normals = {}, bool doubleSided = false)
{
    std::vector<float> p = Flat(corners), n = Flat(normals);
    float* np = normals.size() ? n.data() : nullptr;
    const long count = static_cast<long>(corners.size());
    return doubleSided ? VekSurface_InstanciateDouble(count, p.data(), np, nullptr)
                       : VekSurface_Instanciate(count, p.data(), np, nullptr);
}

inline std::vector<VekSurface*> Surfaces()
{
    std::vector<VekSurface*> out;
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) out.push_back(s);
    return out;
}

inline VekSurface* LastSurface()
{
    std::vector<VekSurface*> all = Surfaces();
    return all.empty() ? nullptr : all.back();
}

// The list, the counter and the slot lookups describe the same surfaces,
// and every twin names a listed surface that names it back.
inline void ExpectConsistentSurfaceList()
{
    std::vector<VekSurface*> all = Surfaces();
    EXPECT_EQ(static_cast<long>(all.size()), VekSurface_GetCount());
    std::set<long> slots;
    std::set<VekSurface*> listed(all.begin(), all.end());
    for (VekSurface* s : all) {
        const long slot = VekSurface_GetIndex(s);
        EXPECT_EQ(VekSurface_GetAddress(slot), s);
        EXPECT_TRUE(slots.insert(slot).second) << "slot " << slot << " twice";
        if (s->twin) {
            EXPECT_TRUE(listed.count(s->twin)) << "twin names a surface that is not in the list";
            EXPECT_EQ(s->twin->twin, s);
        }
    }
}

inline bool Near(const V& a, const V& b, float tolerance)
{
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

inline V Unit(const V& v) { return v * (1.0f / std::sqrt(CG::dot(v, v))); }

}  // namespace scenetest
