// View and camera: the projection and viewport that OpenGL holds after each
// setter, the refusal of frusta and viewports OpenGL would reject, and the
// navigation moves checked against a double-precision model of the camera.
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "offscreen.h"

namespace displaytest {
namespace {

std::array<double, 16> ProjectionMatrix()
{
    std::array<double, 16> m{};
    glGetDoublev(GL_PROJECTION_MATRIX, m.data());
    return m;
}

std::array<GLint, 4> Viewport()
{
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// glFrustum's matrix, written out from its definition.
std::array<double, 16> Frustum(double l, double r, double b, double t, double n, double f)
{
    std::array<double, 16> m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    return m;
}

void ExpectMatrixNear(const std::array<double, 16>& actual, const std::array<double, 16>& expected)
{
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "element " << i;
}

std::array<float, 16> ViewMatrix()
{
    std::array<float, 16> m{};
    VekDisplay_GetMatrix(m.data());
    return m;
}

// The largest element of viewMatrix x inverseViewMatrix - identity.
double DistanceOfProductFromIdentity()
{
    const float* v = g_mainValueTable.viewMatrix;
    const float* vi = g_mainValueTable.inverseViewMatrix;
    double worst = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += double{v[4 * k + r]} * vi[4 * c + k];
            worst = std::max(worst, std::fabs(sum - (r == c ? 1.0 : 0.0)));
        }
    return worst;
}

using ViewTest = DisplayTest;

TEST_F(ViewTest, ProjectionAndViewportFollowTheSetters)
{
    // The default window is 640 x 480 with the viewport's far edges at 639
    // and 479, so the viewport sits one pixel above the window's bottom.
    VekMain_Initialize();
    VekDisplay_Initialize();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    ExpectMatrixNear(ProjectionMatrix(), Frustum(-1, 1, -0.75, 0.75, 1, 100));
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{0, 1, 639, 479}));
    VekDisplay_SetViewport(10, 20, 100, 50);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{10, 410, 100, 50}));
    VekDisplay_SetScreenSize(320, 200);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{10, 130, 100, 50}));

    // An off-centre window tells top from bottom and left from right; a
    // mirrored one is a frustum too.
    VekDisplay_SetScreenWindow(-1, 2, 3, -1);
    VekDisplay_SetClip(0.5f, 20.0f);
    ExpectMatrixNear(ProjectionMatrix(), Frustum(-1, 3, -1, 2, 0.5, 20));
    VekDisplay_SetScreenWindow(1, 0.75f, -1, -0.75f);
    ExpectMatrixNear(ProjectionMatrix(), Frustum(1, -1, -0.75, 0.75, 0.5, 20));
    // A new context keeps the stored view.
    VekDisplay_Initialize();
    ExpectMatrixNear(ProjectionMatrix(), Frustum(1, -1, -0.75, 0.75, 0.5, 20));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewTest, RejectedFrustaAndViewportsKeepTheLastGoodOne)
{
    VekDisplay_SetClip(2, 50);
    VekDisplay_SetViewport(5, 5, 100, 100);
    const std::array<double, 16> projection = ProjectionMatrix();
    const std::array<GLint, 4> viewport = Viewport();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(0, 10); }},
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(5, 5); }},
        {"VekDisplay_SetClip", [&] { VekDisplay_SetClip(nan, 10); }},
        {"VekDisplay_SetClip", [&] { VekDisplay_SetClip(1, inf); }},
        {"VekDisplay_SetScreenWindow", [] { VekDisplay_SetScreenWindow(1, 1, 1, -1); }},
        {"VekDisplay_SetScreenWindow", [&] { VekDisplay_SetScreenWindow(-1, nan, 1, -1); }},
        {"VekDisplay_SetViewport", [] { VekDisplay_SetViewport(0, 0, -1, 10); }},
        {"VekDisplay_SetViewport", [] { VekDisplay_SetViewport(INT32_MAX, 0, 1, 10); }},
        {"VekDisplay_SetScreenSize", [] { VekDisplay_SetScreenSize(-640, 480); }},
    };
    for (const auto& [name, call] : cases) {
        vektest::ClearWarning();
        call();
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE) << name;
        EXPECT_STREQ(VekMain_GetWarningString(), name);
        EXPECT_EQ(ProjectionMatrix(), projection) << name;
        EXPECT_EQ(Viewport(), viewport) << name;
    }
    EXPECT_EQ(VekDisplay_GetClip()[0], 2.0f);
    EXPECT_EQ(g_mainValueTable.viewportRight, 105);
    EXPECT_EQ(g_mainValueTable.screenWidth, kWidth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The camera as a double-precision matrix, moved by the definitions of the
// moves: world-side moves act on world points before the view, eye-side
// moves on eye points after it.
struct CameraModel {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    void Move(const double x[4][4], bool worldSide)
    {
        double p[4][4] = {};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                for (int k = 0; k < 4; ++k) p[r][c] += worldSide ? m[r][k] * x[k][c] : x[r][k] * m[k][c];
        std::copy(&p[0][0], &p[0][0] + 16, &m[0][0]);
    }
    void Translate(double x, double y, double z, bool worldSide)
    {
        const double t[4][4] = {{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}, {0, 0, 0, 1}};
        Move(t, worldSide);
    }
    // Counter-clockwise about axis 0, 1 or 2 (right-handed).
    void Rotate(double degrees, int axis, bool worldSide)
    {
        const double a = degrees * M_PI / 180;
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        double r[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        r[i][i] = r[j][j] = std::cos(a);
        r[i][j] = -std::sin(a);
        r[j][i] = std::sin(a);
        Move(r, worldSide);
    }
};

TEST_F(ViewTest, NavigationMatchesTheCameraModelAndKeepsTheInverse)
{
    CameraModel model;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> offset(-3, 3), angle(-180, 180);
    for (int step = 0; step < 300; ++step) {
        const int move = static_cast<int>(random() % 8);
        const float a = angle(random), x = offset(random), y = offset(random), z = offset(random);
        switch (move) {
        case 0: VekDisplay_Translate(x, y, z); model.Translate(x, y, z, true); break;
        case 1: VekDisplay_Pan_Dolly(x, y, z); model.Translate(x, y, z, false); break;
        case 2: VekDisplay_RotateX(a); model.Rotate(a, 0, true); break;
        case 3: VekDisplay_RotateY(a); model.Rotate(a, 1, true); break;
        case 4: VekDisplay_RotateZ(a); model.Rotate(a, 2, true); break;
        case 5: VekDisplay_Pitch(a); model.Rotate(a, 0, false); break;
        case 6: VekDisplay_Yaw(a); model.Rotate(a, 1, false); break;
        default: VekDisplay_Roll(a); model.Rotate(a, 2, false); break;
        }
        // Translations of a few units over hundreds of steps: errors of a few
        // single-precision units of the accumulated offsets.
        const std::array<float, 16> v = ViewMatrix();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) ASSERT_NEAR(v[4 * c + r], model.m[r][c], 2e-3) << "step " << step;
        ASSERT_LT(DistanceOfProductFromIdentity(), 2e-3) << "step " << step;
    }
}

TEST_F(ViewTest, MovesTakeEffectAtDrawStartWhileSetMatrixLoadsAtOnce)
{
    std::array<float, 16> loaded{};
    VekDisplay_Translate(0, 0, -4);
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded.data());
    EXPECT_EQ(loaded[14], 0.0f);
    VekDisplay_DrawStart();
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded.data());
    EXPECT_EQ(loaded, ViewMatrix());

    const float m[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0.5f, 0, 1, 2, 3, 1};
    VekDisplay_SetMatrix(m);
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded.data());
    EXPECT_EQ(loaded, ViewMatrix());
    EXPECT_LT(DistanceOfProductFromIdentity(), 1e-6);
    // The table's own matrix may be given back.
    VekDisplay_SetMatrix(g_mainValueTable.viewMatrix);
    EXPECT_EQ(ViewMatrix()[5], 4.0f);
    EXPECT_LT(DistanceOfProductFromIdentity(), 1e-6);

    // A singular matrix is kept, with an inverse that is not finite.
    const float singular[16] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    vektest::ClearWarning();
    VekDisplay_SetMatrix(singular);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(ViewMatrix()[5], 1.0f);
    bool nonFinite = false;
    for (float e : g_mainValueTable.inverseViewMatrix) nonFinite |= !std::isfinite(e);
    EXPECT_TRUE(nonFinite);
}

}  // namespace
}  // namespace displaytest
