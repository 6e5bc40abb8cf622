// View and camera: the projection and viewport that OpenGL holds after each
// setter, the refusal of frusta and viewports OpenGL would reject, and the
// navigation moves checked against a double-precision model of the camera.
#include <cmath>
#include <cstring>
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

void ExpectMatrixNear(const std::array<double, 16>& actual, const std::array<double, 16>& expected, double tolerance)
{
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

using ViewTest = DisplayTest;

TEST_F(ViewTest, InitialStateProjectionAndViewport)
{
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint value[2] = {0, 0};
    glGetIntegerv(GL_DEPTH_FUNC, value);
    EXPECT_EQ(value[0], GL_LEQUAL);
    glGetIntegerv(GL_FRONT_FACE, value);
    EXPECT_EQ(value[0], GL_CCW);
    glGetIntegerv(GL_SHADE_MODEL, value);
    EXPECT_EQ(value[0], GL_SMOOTH);
    glGetIntegerv(GL_POLYGON_MODE, value);
    EXPECT_EQ(value[0], GL_FILL);
    EXPECT_EQ(value[1], GL_FILL);
    glGetIntegerv(GL_MATRIX_MODE, value);
    EXPECT_EQ(value[0], GL_MODELVIEW);

    // The default window is 640 x 480 with the viewport's far edges at 639
    // and 479, so the viewport sits one pixel above the window's bottom.
    ExpectMatrixNear(ProjectionMatrix(), Frustum(-1, 1, -0.75, 0.75, 1, 100), 1e-6);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{0, 1, 639, 479}));
    VekDisplay_SetViewport(0, 0, 640, 480);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    VekDisplay_SetViewport(10, 20, 100, 50);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{10, 410, 100, 50}));
    VekDisplay_SetScreenSize(320, 200);
    EXPECT_EQ(Viewport(), (std::array<GLint, 4>{10, 130, 100, 50}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewTest, ScreenWindowAndClipReachTheFrustum)
{
    VekDisplay_SetScreenWindow(-2, 1, 2, -1);
    ExpectMatrixNear(ProjectionMatrix(), Frustum(-2, 2, -1, 1, 1, 100), 1e-6);
    // An off-centre window tells top from bottom and left from right.
    VekDisplay_SetScreenWindow(-1, 2, 3, -1);
    const float* w = VekDisplay_GetScreenWindow();
    EXPECT_EQ((std::array<float, 4>{w[0], w[1], w[2], w[3]}), (std::array<float, 4>{-1, 2, 3, -1}));
    VekDisplay_SetClip(0.5f, 20.0f);
    const float* clip = VekDisplay_GetClip();
    EXPECT_EQ(clip[0], 0.5f);
    EXPECT_EQ(clip[1], 20.0f);
    ExpectMatrixNear(ProjectionMatrix(), Frustum(-1, 3, -1, 2, 0.5, 20), 1e-6);
    // A mirrored window is a frustum too.
    VekDisplay_SetScreenWindow(1, 0.75f, -1, -0.75f);
    ExpectMatrixNear(ProjectionMatrix(), Frustum(1, -1, -0.75, 0.75, 0.5, 20), 1e-6);

    // A new context keeps the stored view.
    VekDisplay_Initialize();
    ExpectMatrixNear(ProjectionMatrix(), Frustum(1, -1, -0.75, 0.75, 0.5, 20), 1e-6);
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
    const int32_t big = std::numeric_limits<int32_t>::max();
    struct Case {
        const char* name;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(0, 10); }},
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(-1, 10); }},
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(5, 5); }},
        {"VekDisplay_SetClip", [] { VekDisplay_SetClip(5, 2); }},
        {"VekDisplay_SetClip", [&] { VekDisplay_SetClip(nan, 10); }},
        {"VekDisplay_SetClip", [&] { VekDisplay_SetClip(1, inf); }},
        {"VekDisplay_SetScreenWindow", [] { VekDisplay_SetScreenWindow(1, 1, 1, -1); }},
        {"VekDisplay_SetScreenWindow", [] { VekDisplay_SetScreenWindow(-1, 1, 1, 1); }},
        {"VekDisplay_SetScreenWindow", [&] { VekDisplay_SetScreenWindow(-1, nan, 1, -1); }},
        {"VekDisplay_SetViewport", [] { VekDisplay_SetViewport(0, 0, -1, 10); }},
        {"VekDisplay_SetViewport", [] { VekDisplay_SetViewport(0, 0, 10, -1); }},
        {"VekDisplay_SetViewport", [&] { VekDisplay_SetViewport(big, 0, 1, 10); }},
        {"VekDisplay_SetScreenSize", [] { VekDisplay_SetScreenSize(-640, 480); }},
    };
    for (const Case& c : cases) {
        vektest::ClearWarning();
        c.call();
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE) << c.name;
        EXPECT_STREQ(VekMain_GetWarningString(), c.name);
        ExpectMatrixNear(ProjectionMatrix(), projection, 0);
        EXPECT_EQ(Viewport(), viewport) << c.name;
    }
    EXPECT_EQ(VekDisplay_GetClip()[0], 2.0f);
    EXPECT_EQ(g_mainValueTable.viewportRight, 105);
    EXPECT_EQ(g_mainValueTable.screenWidth, 640);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The camera as a double-precision matrix, moved by the definitions of the
// moves: world-side moves act on world points before the view, eye-side
// moves on eye points after it.
struct CameraModel {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static void Multiply(const double a[4][4], const double b[4][4], double out[4][4])
    {
        double p[4][4] = {};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                for (int k = 0; k < 4; ++k) p[r][c] += a[r][k] * b[k][c];
        std::memcpy(out, p, sizeof p);
    }
    void Move(const double x[4][4], bool worldSide)
    {
        if (worldSide)
            Multiply(m, x, m);
        else
            Multiply(x, m, m);
    }
    void Translate(double x, double y, double z, bool worldSide)
    {
        const double t[4][4] = {{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}, {0, 0, 0, 1}};
        Move(t, worldSide);
    }
    // Counter-clockwise about axis 0, 1 or 2 (right-handed).
    void Rotate(double degrees, int axis, bool worldSide)
    {
        const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        double r[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        r[i][i] = c;
        r[j][j] = c;
        r[i][j] = -s;
        r[j][i] = s;
        Move(r, worldSide);
    }
};

std::array<float, 16> ViewMatrix()
{
    std::array<float, 16> m{};
    VekDisplay_GetMatrix(m.data());
    return m;
}

// viewMatrix x inverseViewMatrix, in OpenGL element order.
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

TEST_F(ViewTest, WorldAndEyeSideMoves)
{
    VekDisplay_Translate(1, 2, 3);
    EXPECT_EQ(g_mainValueTable.viewMatrix[12], 1.0f);
    EXPECT_EQ(g_mainValueTable.viewMatrix[13], 2.0f);
    EXPECT_EQ(g_mainValueTable.viewMatrix[14], 3.0f);
    EXPECT_EQ(g_mainValueTable.inverseViewMatrix[12], -1.0f);
    EXPECT_EQ(g_mainValueTable.inverseViewMatrix[13], -2.0f);
    EXPECT_EQ(g_mainValueTable.inverseViewMatrix[14], -3.0f);

    // Turning about the world origin leaves the scene's offset; turning the
    // eye swings it round.
    VekMain_End();
    VekMain_Initialize();
    VekDisplay_Translate(0, 0, -5);
    VekDisplay_RotateY(90);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[12], 0, 1e-6);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[13], 0, 1e-6);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[14], -5, 1e-6);
    VekMain_End();
    VekMain_Initialize();
    VekDisplay_Translate(0, 0, -5);
    VekDisplay_Yaw(90);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[12], -5, 1e-5);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[13], 0, 1e-5);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[14], 0, 1e-5);

    VekMain_End();
    VekMain_Initialize();
    VekDisplay_RotateZ(90);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[0], 0, 1e-7);
    EXPECT_EQ(g_mainValueTable.viewMatrix[1], 1.0f);
    EXPECT_EQ(g_mainValueTable.viewMatrix[4], -1.0f);
    EXPECT_NEAR(g_mainValueTable.viewMatrix[5], 0, 1e-7);

    // A whole turn comes back only up to the rounding of pi.
    VekMain_End();
    VekMain_Initialize();
    VekDisplay_RotateX(360);
    const std::array<float, 16> v = ViewMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(v[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-6) << i;
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
    EXPECT_EQ(ViewMatrix()[5], 4.0f);
    EXPECT_LT(DistanceOfProductFromIdentity(), 1e-6);
    // The table's own matrix may be given back.
    VekDisplay_SetMatrix(g_mainValueTable.viewMatrix);
    EXPECT_EQ(ViewMatrix()[5], 4.0f);
    EXPECT_LT(DistanceOfProductFromIdentity(), 1e-6);
}

TEST_F(ViewTest, SingularMatrixIsKeptWithANonFiniteInverse)
{
    const float m[16] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    vektest::ClearWarning();
    VekDisplay_SetMatrix(m);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(ViewMatrix(), (std::array<float, 16>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}));
    bool nonFinite = false;
    for (float e : g_mainValueTable.inverseViewMatrix) nonFinite |= !std::isfinite(e);
    EXPECT_TRUE(nonFinite);
}

}  // namespace
}  // namespace displaytest
