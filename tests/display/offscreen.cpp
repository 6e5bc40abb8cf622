// offscreen.cpp - the EGL context of the display tests and the scene helpers.
//
// The EGL display is opened once per process on the surfaceless platform,
// with Mesa's software renderer forced (unless the environment already says
// otherwise) so that every machine draws the same pixels. Each test gets its
// own context and pbuffer, so no OpenGL state leaks from one test to the next.
#include "offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace displaytest {
namespace {

struct Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    const char* failure = nullptr;
};

const Egl& OpenEgl()
{
    static const Egl egl = [] {
        Egl e;
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) {
            e.failure = "eglGetPlatformDisplayEXT missing";
            return e;
        }
        e.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (e.display == EGL_NO_DISPLAY || !eglInitialize(e.display, &major, &minor)) {
            e.failure = "no surfaceless EGL display (is libegl-mesa0 installed?)";
            return e;
        }
        const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                     EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(e.display, attributes, &e.config, 1, &count) || count < 1) {
            e.failure = "no 8-bit RGB pbuffer configuration with depth";
            return e;
        }
        if (!eglBindAPI(EGL_OPENGL_API)) e.failure = "desktop OpenGL not available through EGL";
        return e;
    }();
    return egl;
}

}  // namespace

::testing::AssertionResult ColourNear(const Rgb& actual, float r, float g, float b)
{
    const int expected[3] = {static_cast<int>(std::lround(r * 255)), static_cast<int>(std::lround(g * 255)),
                             static_cast<int>(std::lround(b * 255))};
    const int got[3] = {actual.r, actual.g, actual.b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - expected[i]) > 3)
            return ::testing::AssertionFailure() << "pixel (" << got[0] << ", " << got[1] << ", " << got[2]
                                                 << "), expected (" << expected[0] << ", " << expected[1] << ", "
                                                 << expected[2] << ")";
    return ::testing::AssertionSuccess();
}

void DisplayTest::SetUp()
{
    const Egl& egl = OpenEgl();
    ASSERT_EQ(egl.failure, nullptr) << egl.failure;
    const EGLint size[] = {EGL_WIDTH, kWidth, EGL_HEIGHT, kHeight, EGL_NONE};
    surface_ = eglCreatePbufferSurface(egl.display, egl.config, size);
    ASSERT_NE(surface_, EGL_NO_SURFACE);
    context_ = eglCreateContext(egl.display, egl.config, EGL_NO_CONTEXT, nullptr);
    ASSERT_NE(context_, EGL_NO_CONTEXT);
    ASSERT_TRUE(eglMakeCurrent(egl.display, surface_, surface_, context_));
    Restart();
}

void DisplayTest::Restart()
{
    LibraryTest::TearDown();
    LibraryTest::SetUp();
    VekDisplay_Initialize();
    VekDisplay_SetScreenSize(kWidth, kHeight);
    VekDisplay_SetViewport(0, 0, kWidth, kHeight);
}

void DisplayTest::TearDown()
{
    LibraryTest::TearDown();
    const Egl& egl = OpenEgl();
    eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(egl.display, context_);
    if (surface_) eglDestroySurface(egl.display, surface_);
}

void DisplayTest::DrawFrame()
{
    VekDisplay_DrawStart();
    VekDisplay_DrawSurface();
    VekDisplay_DrawEnd();
}

std::vector<Rgb> DisplayTest::Frame()
{
    std::vector<unsigned char> bytes(3 * kWidth * kHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    std::vector<Rgb> frame(kWidth * kHeight);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = Rgb{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    return frame;
}

Rgb DisplayTest::PixelAt(float x, float y, float z)
{
    // Perspective division by the distance -z, then the default window
    // (half-width 1, half-height 0.75 at distance 1) onto the pbuffer.
    const double nx = x / -static_cast<double>(z), ny = y / -static_cast<double>(z) / 0.75;
    return Pixel(static_cast<int>(std::floor((nx + 1) / 2 * kWidth)), static_cast<int>(std::floor((ny + 1) / 2 * kHeight)));
}

void MakeAttribute(const char* name, std::array<float, 3> diffuse, std::array<float, 3> transparency,
                   const char* mapName, long invert)
{
    VekAttribute_SetDiffuse(diffuse.data());
    VekAttribute_SetTransparency(transparency.data());
    VekAttribute_SetMap(mapName ? VEK_MAP_1 : 0, const_cast<char*>(mapName));
    VekAttribute_SetMapEditParams(VEK_MAP_1, invert, 0, 0.0f);
    VekAttribute_Instanciate(const_cast<char*>(name));
}

void MakeQuad(const char* attribute, float x0, float y0, float x1, float y1, float z, float repeat)
{
    float corners[12] = {x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z};
    float mapCoords[12] = {0, 0, 0, repeat, 0, 0, repeat, repeat, 0, 0, repeat, 0};
    VekSurface_SetAttributeName(const_cast<char*>(attribute));
    VekSurface_Instanciate(4, corners, nullptr, mapCoords);
}

void MakeMap(const char* name, int width, int height, int components, const std::vector<unsigned char>& pixels,
             long minFilter, long magFilter)
{
    VekMap_SetMinFilter(minFilter);
    VekMap_SetMagFilter(magFilter);
    VekMap_Instanciate(name, nullptr);
    if (!pixels.empty()) VekMap_BindImage(name, width, height, components, pixels.data());
}

}  // namespace displaytest
