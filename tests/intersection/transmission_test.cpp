// Transmission searches: the occluder cache, the segment's open ends, lights
// beyond the cache, and second maps (the random scenes compare the factors
// themselves with a brute-force reference).
#include <string>

#include "intersection/intersection_fixture.h"

namespace ixtest {
namespace {

class Transmission : public IntersectionTest {
protected:
    void SetUp() override
    {
        IntersectionTest::SetUp();
        Attribute("half", V3(0.5f, 0.5f, 0.5f));
        Attribute("opaque", V3(0, 0, 0));
        // A large half-transparent pane at z = 1, an opaque square at z = 3
        // over [0, 1]^2, and one that casts no shadow at z = 4.
        Polygon({V3(-10, -10, 1), V3(10, -10, 1), V3(10, 10, 1), V3(-10, 10, 1)}, "half");
        opaque_ = Polygon({V3(0, 0, 3), V3(1, 0, 3), V3(1, 1, 3), V3(0, 1, 3)}, "opaque");
        noShadow_ = Polygon({V3(-10, -10, 4), V3(10, -10, 4), V3(10, 10, 4), V3(-10, 10, 4)}, "opaque", VEK_FACE_NO_SHADOW);
        Polygon({V3(-10, -10, -5), V3(10, -10, -5), V3(10, 10, 5)}, "half");
        Prepare();
    }
    VekSurface* opaque_ = nullptr;
    VekSurface* noShadow_ = nullptr;
};

TEST_F(Transmission, OpaqueFaceBlocksAndIsRememberedPerLight)
{
    const V3 from(0.5f, 0.5f, 0.5f), up(0, 0, 4);
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 1), V3(0, 0, 0));
    // The cached occluder answers again; skipped, it does not.
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 1), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(from, up, opaque_, nullptr, 1), V3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, opaque_, 1), V3(0.5f, 0.5f, 0.5f));
    // A ray beside it after the cache held it: the walk decides.
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 1), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(V3(2, 2, 0.5f), up, nullptr, nullptr, 1), V3(0.5f, 0.5f, 0.5f));
    // Lights beyond the cache (and negative ones) search without it.
    for (long light : {4L, 1000L, -1L}) {
        EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, light), V3(0, 0, 0));
        EXPECT_EQ(VekIntersection_Search(from, up, opaque_, nullptr, light), V3(0.5f, 0.5f, 0.5f));
    }
    // Reset forgets, and grows the cache on demand.
    VekIntersection_Reset(1);
    VekIntersection_SkyLightReset(64);
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 63), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 63), V3(0, 0, 0));
    vektest::ExpectVekError(VEK_ERROR_MEMORY, [] { VekIntersection_Reset(1L << 40); });
    EXPECT_EQ(VekIntersection_Search(from, up, nullptr, nullptr, 63), V3(0, 0, 0));
}

TEST_F(Transmission, CastingNoShadowCountsAsTheFlagsStoodAtPreparation)
{
    // Through the no-shadow plane at z = 4, which the search neither stops
    // at nor marks.
    const uint32_t mark = noShadow_->rayNumbers[0];
    EXPECT_EQ(VekIntersection_Search(V3(2, 2, 3.5f), V3(0, 0, 1), nullptr, nullptr, 0), V3(1, 1, 1));
    EXPECT_EQ(noShadow_->rayNumbers[0], mark);
    // Flags and materials written into the faces take effect at the next
    // preparation, both ways.
    noShadow_->flags &= ~VEK_FACE_NO_SHADOW;
    opaque_->flags |= VEK_FACE_NO_SHADOW;
    const V3 down(0.5f, 0.5f, 0.5f), up(0, 0, 3);
    EXPECT_EQ(VekIntersection_Search(V3(2, 2, 3.5f), V3(0, 0, 1), nullptr, nullptr, 0), V3(1, 1, 1));
    EXPECT_EQ(VekIntersection_Search(down, up, nullptr, nullptr, 0), V3(0, 0, 0));
    Prepare();
    EXPECT_EQ(VekIntersection_Search(V3(2, 2, 3.5f), V3(0, 0, 1), nullptr, nullptr, 0), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(down, up, nullptr, nullptr, 0), V3(0.5f, 0.5f, 0.5f));
}

TEST_F(Transmission, SegmentExcludesBothEnds)
{
    // The opaque square is at z = 3: a segment ending on it, or starting on it.
    EXPECT_EQ(VekIntersection_Search(V3(0.5f, 0.5f, 2), V3(0, 0, 1), nullptr, nullptr, 0), V3(1, 1, 1));
    EXPECT_EQ(VekIntersection_Search(V3(0.5f, 0.5f, 3), V3(0, 0, 0.5f), nullptr, nullptr, 0), V3(1, 1, 1));
    EXPECT_EQ(VekIntersection_Search(V3(0.5f, 0.5f, 2), V3(0, 0, 1.001f), nullptr, nullptr, 0), V3(0, 0, 0));
}

// A second map: its texel, inverted or not, blended into the factor; a texel
// that lets nothing through stops the search.
TEST_F(IntersectionTest, SecondMapTexelsBecomeTheFactor)
{
    const unsigned char pixels[6] = {128, 64, 255, 0, 0, 0};  // two RGB texels side by side
    VekMap_Instanciate("shade", nullptr);
    VekMap_BindImage("shade", 2, 1, 3, pixels);
    float mapCoords[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    for (long invert : {0L, 1L}) {
        const std::string name = "mapped" + std::to_string(invert);
        V3 half(0.5f, 0.5f, 0.5f);
        VekAttribute_SetTransparency(&half.x);
        VekAttribute_SetMap(VEK_MAP_2, const_cast<char*>("shade"));
        VekAttribute_SetMapEditParams(VEK_MAP_2, invert, 1, 1.0f);  // mode 1, ratio 1: the texel itself
        VekAttribute_Instanciate(const_cast<char*>(name.c_str()));
        const float z = static_cast<float>(invert);
        Polygon({V3(0, 0, z), V3(2, 0, z), V3(2, 2, z), V3(0, 2, z)}, name.c_str(), 0, false, mapCoords);
    }
    Attribute("half", V3(0.5f, 0.5f, 0.5f));
    Polygon({V3(50, -5, -3), V3(60, -5, -3), V3(60, 5, 3)}, "half");
    Prepare();
    auto byte = [](float b) { return b * 0.003921568f; };
    // Through the left texel of the plain map (z = 0) only, then of both.
    EXPECT_EQ(VekIntersection_Search(V3(0.5f, 1, -0.5f), V3(0, 0, 1), nullptr, nullptr, 0),
              V3(byte(128), byte(64), byte(255)));
    EXPECT_EQ(VekIntersection_SearchDirection(V3(0.5f, 1, -0.5f), V3(0, 0, 1), nullptr, 0),
              V3(byte(128) * byte(255 - 128), byte(64) * byte(255 - 64), byte(255) * byte(0)));
    // The right texel: black stops everything, inverted it is all but clear.
    EXPECT_EQ(VekIntersection_Search(V3(1.5f, 1, -0.5f), V3(0, 0, 1), nullptr, nullptr, 0), V3(0, 0, 0));
    EXPECT_EQ(VekIntersection_Search(V3(1.5f, 1, 0.5f), V3(0, 0, 1), nullptr, nullptr, 0),
              V3(byte(255), byte(255), byte(255)));
}

}  // namespace
}  // namespace ixtest
