// The eight kinds of light: the index rules, the energy floor, every check
// and correction, the derived values against hand-computed answers, the
// area light as a face the ray tests hit, general lights sharing a file,
// and the release of everything at End (AddressSanitizer sees any leak).
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "light_test_support.h"

using lighttest::kIdentity;
using lighttest::OwnIes;
using vektest::ClearWarning;

class LightKindsTest : public vektest::LibraryTest {};

namespace {

float kEnergy[3] = {1, 2, 3};
float kOrigin[3] = {0, 0, 0};

template <class Block>
Block& BlockOf(_VekLight* light)
{
    return *static_cast<Block*>(light->parameters);
}

_VekLight* LastLight()
{
    _VekLight* light = VekMemory_GetLightList();
    while (light && light->next) light = light->next;
    return light;
}

}  // namespace

TEST_F(LightKindsTest, LightIndexRules)
{
    EXPECT_EQ(VekLight_InstanciatePointLight(kEnergy, kOrigin, 0, 1), 1);
    VekLight_SetCurrentLightIndex(41);
    float up[3] = {0, 0, 1};
    EXPECT_EQ(VekLight_InstanciateDirectionalLight(kEnergy, up), 42);
    // The sky takes no index and leaves the counter alone.
    EXPECT_EQ(VekLight_InstanciateSkyLight(kEnergy, 10, 40), 0);
    EXPECT_EQ(LastLight()->index, 0);
    EXPECT_EQ(LastLight()->type, VEK_LIGHT_SKY);
    EXPECT_EQ(VekLight_InstanciatePointLight(kEnergy, kOrigin, 0, 1), 43);
    // Failures leave it alone too.
    float same[3] = {1, 1, 1};
    EXPECT_EQ(VekLight_InstanciateLinearLight(kEnergy, same, same, 1), -1);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithFile(kEnergy, kOrigin, "/missing.ies", const_cast<float*>(kIdentity)), -1);
    EXPECT_EQ(VekLight_InstanciatePointLight(kEnergy, kOrigin, 0, 1), 44);
    EXPECT_EQ(g_mainStatusTable.lightCount, 5);
    // Past the largest index the counter wraps instead of overflowing.
    VekLight_SetCurrentLightIndex(INT32_MAX);
    EXPECT_EQ(VekLight_InstanciatePointLight(kEnergy, kOrigin, 0, 1), INT32_MIN);
}

TEST_F(LightKindsTest, EnergyFloorAndNullArguments)
{
    // Energies are floored at 1e-6 silently, a NaN component too.
    float energy[3] = {0, -1, 5}, nan[3] = {NAN, 1, 1}, v[] = {0, 90}, h[] = {0}, c[] = {1, 1};
    ClearWarning();
    EXPECT_EQ(BlockOf<_VekPointLight>(VekLight_InstanciatePointLightInternal(energy, kOrigin, 0, 1)).energy,
              CG::vec3<float>(1e-6f, 1e-6f, 5));
    EXPECT_EQ(BlockOf<_VekGeneralLight>(VekLight_InstanciateGeneralLightInternal(
                  nan, kOrigin, const_cast<float*>(kIdentity), 1, 1, 2, v, 1, h, c)).energy.x, 1e-6f);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    // A null three-float argument makes nothing.
    EXPECT_EQ(VekLight_InstanciatePointLight(nullptr, kOrigin, 0, 1), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_EQ(VekLight_InstanciateSpotLight(kEnergy, kOrigin, nullptr, 10, 5, 0, 1), -1);
    EXPECT_EQ(VekLight_InstanciateShadeDirectionalLight(kEnergy, kOrigin, nullptr, 0, 1, 1), -1);
    EXPECT_EQ(VekLight_InstanciateSkyLight(nullptr, 10, 40), -1);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithFile(kEnergy, kOrigin, OwnIes("half.ies").c_str(), nullptr), -1);
    EXPECT_EQ(g_mainStatusTable.lightCount, 2);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 1);
}

TEST_F(LightKindsTest, PointAndSpotChecks)
{
    ClearWarning();
    auto& p = BlockOf<_VekPointLight>(VekLight_InstanciatePointLightInternal(kEnergy, kOrigin, 5, 2));
    EXPECT_EQ(p.rangeMax, 5.0f);   // a range ending before it starts is closed
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekLight_InstanciatePointLight");
    EXPECT_EQ(BlockOf<_VekPointLight>(VekLight_InstanciatePointLightInternal(kEnergy, kOrigin, -1, 3)).rangeMin, 0.0f);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_OUT_OF_RANGE);

    // A cutoff inside the half-intensity angle is raised to it; cosines come
    // from the corrected angles.
    float axis[3] = {0, 0, -4};
    ClearWarning();
    auto& s = BlockOf<_VekSpotLight>(VekLight_InstanciateSpotLightInternal(kEnergy, kOrigin, axis, 20, 30, 0, 1));
    EXPECT_EQ(s.cutoffAngle, 30.0f);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekLight_InstanciateSpotLight");
    EXPECT_EQ(s.direction, CG::vec3<float>(0, 0, -1));
    EXPECT_FLOAT_EQ(s.cosCutoff, std::cos(30 * M_PI / 180));
    // The falloff halves the intensity at the half-intensity angle.
    auto& t = BlockOf<_VekSpotLight>(VekLight_InstanciateSpotLightInternal(kEnergy, kOrigin, axis, 80, 60, 0, 1));
    EXPECT_FLOAT_EQ(t.cosHalfIntensity, 0.5f);
    EXPECT_NEAR(std::pow(t.cosHalfIntensity, t.falloffExponent), 0.5, 1e-6);
    // Degenerate half-intensity angles: a needle and an even spread.
    const std::pair<float, float> degenerate[] = {{0, FLT_MAX}, {95, 0}};
    for (const auto& [half, exponent] : degenerate) {
        ClearWarning();
        auto& d = BlockOf<_VekSpotLight>(VekLight_InstanciateSpotLightInternal(kEnergy, kOrigin, axis, 120, half, 0, 1));
        EXPECT_EQ(d.falloffExponent, exponent);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    }
}

TEST_F(LightKindsTest, LinearAndShadeLights)
{
    float a[3] = {1, 2, 3}, b[3] = {4, 6, 3}, inf[3] = {INFINITY, 0, 0};
    EXPECT_EQ(VekLight_InstanciateLinearLight(kEnergy, a, b, 7), 1);
    EXPECT_EQ(BlockOf<_VekLinearLight>(LastLight()).length, 5.0f);
    // Too short, or a corner that is not finite: a bad shape, no light.
    for (float* end : {a, inf}) {
        ClearWarning();
        EXPECT_EQ(VekLight_InstanciateLinearLight(kEnergy, a, end, 1), -1);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    }
    EXPECT_EQ(g_mainStatusTable.lightCount, 1);
    // Checked shade values are clamped with a warning.
    float d[3] = {3, 0, 4}, shade[3] = {2, 0, 0};
    auto& checked = BlockOf<_VekShadeDirectionalLight>(
        VekLight_InstanciateShadeDirectionalLightInternal(kEnergy, d, shade, 1, 0.5f, 3));
    EXPECT_EQ(checked.shadeRatio, 1.0f);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_OUT_OF_RANGE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekLight_InstanciateShadeDirectionalLight");
}

TEST_F(LightKindsTest, AreaLightIsAFaceThatRaysHit)
{
    float energy[3] = {4, 8, 2};
    float square[12] = {0, 0, 2, 1, 0, 2, 1, 1, 2, 0, 1, 2};
    EXPECT_EQ(VekLight_InstanciateAreaLight(energy, 4, square, 1), 1);
    auto& a = BlockOf<VekAreaLight>(LastLight());
    EXPECT_FLOAT_EQ(a.area, 1.0f);
    EXPECT_EQ(a.energyDensity, CG::vec3<float>(4, 8, 2));
    EXPECT_EQ(a.Type(), VEK_FACE_TYPE_AREA_LIGHT);
    EXPECT_EQ(a.boundsMax, CG::vec3<float>(1, 1, 2));
    EXPECT_EQ(a.flags, 0u);
    EXPECT_EQ(a.rayNumbers, nullptr);   // the host gives the marks
    a.SetRayNumber();
    HitInfo hit{};
    EXPECT_TRUE(a.CheckIntersection(CG::vec3<float>(0.5f, 0.5f, 0), CG::vec3<float>(0, 0, 1), 0, 10, hit));
    EXPECT_FLOAT_EQ(hit.t, 2.0f);
    EXPECT_EQ(hit.face, &a);

    float triangle[9] = {0, 0, 0, 2, 0, 0, 0, 3, 0};
    VekLight_InstanciateAreaLight(energy, 3, triangle, 0);
    EXPECT_FLOAT_EQ(BlockOf<VekAreaLight>(LastLight()).energyDensity.x, 4.0f / 3);

    // No light from other corner counts, a polygon without area or no corners.
    float line[12] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0};
    const std::pair<long, float*> refused[] = {{5, square}, {2, square}, {4, line}, {4, nullptr}};
    for (const auto& [count, corners] : refused) {
        ClearWarning();
        EXPECT_EQ(VekLight_InstanciateAreaLight(energy, count, corners, 1), -1);
        EXPECT_NE(VekMain_GetWarning(), VEK_WARNING_NONE);
    }
    EXPECT_EQ(g_mainStatusTable.lightCount, 2);
}

TEST_F(LightKindsTest, SkySamplingDirections)
{
    float energy[3] = {1, 0.5f, 0};
    EXPECT_EQ(VekLight_InstanciateSkyLight(energy, 10, 40), 0);
    auto& sky = BlockOf<_VekSkyLight>(LastLight());
    ASSERT_EQ(sky.directionCount, 271);
    EXPECT_EQ(sky.skyEnergy, CG::vec3<float>(2, 1, 1e-6f));
    // Ring by ring: equal elevation within a ring, counts as computed by hand.
    const int rings[] = {40, 39, 38, 35, 32, 28, 23, 18, 12, 6};
    for (int r = 0, k = 0; r < 10; ++r)
        for (int n = 0; n < rings[r]; ++n, ++k) {
            const auto& d = sky.directions[k];
            EXPECT_NEAR(d.z, std::sin(r * M_PI / 20), 1e-6) << r;
            EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z, 1.0f, 1e-6);
        }
    EXPECT_EQ(sky.directions[0], CG::vec3<float>(1, 0, 0));
    for (int n = 0; n < 271; ++n) EXPECT_FLOAT_EQ(sky.directionEnergies[n].x, 2.0f / 271);

    // No elevation steps: the one ring has no defined elevation and no direction.
    VekLight_InstanciateSkyLight(energy, 0, 40);
    EXPECT_EQ(BlockOf<_VekSkyLight>(LastLight()).directionCount, 0);
    // Negative counts take the defaults, with a warning.
    ClearWarning();
    VekLight_InstanciateSkyLight(energy, -1, -5);
    auto& fallback = BlockOf<_VekSkyLight>(LastLight());
    EXPECT_EQ(fallback.elevationSteps, 10);
    EXPECT_EQ(fallback.azimuthSteps, 40);
    EXPECT_EQ(fallback.directionCount, 271);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekLight_InstanciateSkyLight");
}

// Directions of the counts, ring by ring in single precision, as the
// sampling is defined.
long SkyDirections(int32_t elevationSteps, int32_t azimuthSteps)
{
    const float step = 1.5707964f / static_cast<float>(elevationSteps);
    long count = 0;
    for (long r = 0; r <= elevationSteps; ++r) {
        const float ring = static_cast<float>(azimuthSteps) * std::cos(static_cast<float>(r) * step);
        if (ring >= 1.0f) count += static_cast<long>(ring);
    }
    return count;
}

TEST_F(LightKindsTest, SkyCountsWithinTheBudgetAreKeptLargerOnesHeld)
{
    constexpr long kBudget = 1 << 22;
    float energy[3] = {1, 1, 1};
    // Fine counts that fit are kept as given, without a warning.
    ClearWarning();
    VekLight_InstanciateSkyLight(energy, 10, 2500);
    const auto& fine = BlockOf<_VekSkyLight>(LastLight());
    EXPECT_EQ(fine.azimuthSteps, 2500);
    EXPECT_EQ(fine.directionCount, SkyDirections(10, 2500));
    EXPECT_GT(fine.directionCount, 17000);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);

    // Larger ones are held to the largest that fit (never to the defaults),
    // alone or both to one value; a count never passes the budget itself.
    const struct {
        int32_t elevation, azimuth;
        bool elevationHeld, azimuthHeld;
    } cases[] = {{-1, 1 << 30, false, true}, {INT32_MAX, INT32_MAX, true, true}, {INT32_MAX, 1, true, false}};
    for (const auto& c : cases) {
        ClearWarning();
        VekLight_InstanciateSkyLight(energy, c.elevation, c.azimuth);
        const auto& sky = BlockOf<_VekSkyLight>(LastLight());
        const int32_t e = sky.elevationSteps, a = sky.azimuthSteps;
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_OUT_OF_RANGE) << c.elevation;
        EXPECT_EQ(sky.directionCount, SkyDirections(e, a));
        EXPECT_LE(sky.directionCount, kBudget);
        if (c.elevationHeld && c.azimuthHeld) {
            EXPECT_EQ(e, a);
        }
        EXPECT_EQ(a, c.azimuthHeld ? a : c.azimuth);
        EXPECT_EQ(e, c.elevation < 0 ? 10 : e);
        if (e == kBudget) continue;   // held by the count ceiling
        EXPECT_GT(SkyDirections(e + c.elevationHeld, a + c.azimuthHeld), kBudget) << c.elevation;
    }
    EXPECT_EQ(BlockOf<_VekSkyLight>(LastLight()).elevationSteps, kBudget);
}

TEST_F(LightKindsTest, GeneralLightsShareAFileAndFailuresNameTheirSource)
{
    const std::string path = OwnIes("half.ies");
    float* m = const_cast<float*>(kIdentity);
    _VekLight* first = VekLight_InstanciateGeneralLightWithFileInternal(kEnergy, kOrigin, path.c_str(), m);
    _VekLight* second = VekLight_InstanciateGeneralLightWithFileInternal(kEnergy, kOrigin, path.c_str(), m);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(BlockOf<_VekGeneralLight>(first).data, BlockOf<_VekGeneralLight>(second).data);
    EXPECT_EQ(second->index, 2);
    // Streams always read again.
    std::ifstream file(path);
    lighttest::TextStream stream(std::string(std::istreambuf_iterator<char>(file), {}), "lamp stream");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithStream(kEnergy, kOrigin, &stream, m), 3);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 2);

    lighttest::TextStream bad("IESNA91\n", "bad stream");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithStreamInternal(kEnergy, kOrigin, &bad, m), nullptr);
    EXPECT_STREQ(VekMain_GetWarningString(), "VekLight_InstanciateGeneralLight : bad stream");
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_FAIL_READ_GENERAL_LIGHT);
    const std::string broken = lighttest::WriteTemp("broken.ies", "IESNA91\nTILT=NONE\n1 1 1 0 1\n");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithFile(kEnergy, kOrigin, broken.c_str(), m), -1);
    EXPECT_EQ(VekMain_GetWarningString(), "VekLight_InstanciateGeneralLight : " + broken);
    const std::string longPath = "/" + std::string(400, 'p');
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithFile(kEnergy, kOrigin, longPath.c_str(), m), -1);
    EXPECT_EQ(std::string(VekMain_GetWarningString()).size(), 255u);
    // An empty path names no file, and never the distributions made from arrays.
    float v[] = {0, 90}, h[] = {0}, c[] = {1, 2};
    EXPECT_EQ(VekLight_InstanciateGeneralLight(kEnergy, kOrigin, m, 1, 1, 2, v, 1, h, c), 4);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithFile(kEnergy, kOrigin, "", m), -1);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 3);
    EXPECT_EQ(g_mainStatusTable.lightCount, 4);
}
