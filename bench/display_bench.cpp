// display_bench.cpp - frames per second of drawing 100k surfaces with Mesa's
// software renderer, and the texture uploads each frame makes.
//
// The context comes from EGL's surfaceless platform (a 640 x 480 pbuffer, the
// library's default window), opened through dlopen so that the benchmark
// links only the library. Uploads are counted by defining glTexImage2D and
// gluBuild2DMipmaps here: the library's calls bind to these, which count
// and forward to the real functions. Every frame ends with glFinish, so the
// time includes rasterisation, which the software renderer defers.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Vek.h"

namespace {

long g_uploads = 0;
int g_insideMipmapBuild = 0;

template <class F>
F Real(const char* name)
{
    void* f = dlsym(RTLD_NEXT, name);
    if (!f) std::abort();
    return reinterpret_cast<F>(f);
}

}  // namespace

extern "C" {

void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    using F = void(GLAPIENTRY*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*);
    static const F real = Real<F>("glTexImage2D");
    if (!g_insideMipmapBuild) ++g_uploads;
    real(target, level, internalFormat, width, height, border, format, type, pixels);
}

GLint GLAPIENTRY gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                                   GLenum type, const void* data)
{
    using F = GLint(GLAPIENTRY*)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*);
    static const F real = Real<F>("gluBuild2DMipmaps");
    ++g_uploads;
    ++g_insideMipmapBuild;
    const GLint result = real(target, internalFormat, width, height, format, type, data);
    --g_insideMipmapBuild;
    return result;
}

}  // extern "C"

namespace {

// A software-rendered context current on this thread, or the reason there is none.
const char* MakeContextCurrent()
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    void* egl = dlopen("libEGL.so.1", RTLD_NOW | RTLD_GLOBAL);
    if (!egl) return "libEGL.so.1 not found";
    auto getProc = reinterpret_cast<PFNEGLGETPROCADDRESSPROC>(dlsym(egl, "eglGetProcAddress"));
    auto fn = [&](const char* name) { return reinterpret_cast<void*>(getProc(name)); };
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(fn("eglGetPlatformDisplayEXT"));
    auto initialize = reinterpret_cast<PFNEGLINITIALIZEPROC>(fn("eglInitialize"));
    auto chooseConfig = reinterpret_cast<PFNEGLCHOOSECONFIGPROC>(fn("eglChooseConfig"));
    auto bindApi = reinterpret_cast<PFNEGLBINDAPIPROC>(fn("eglBindAPI"));
    auto createSurface = reinterpret_cast<PFNEGLCREATEPBUFFERSURFACEPROC>(fn("eglCreatePbufferSurface"));
    auto createContext = reinterpret_cast<PFNEGLCREATECONTEXTPROC>(fn("eglCreateContext"));
    auto makeCurrent = reinterpret_cast<PFNEGLMAKECURRENTPROC>(fn("eglMakeCurrent"));
    if (!getDisplay || !initialize || !chooseConfig || !bindApi || !createSurface || !createContext || !makeCurrent)
        return "EGL entry points missing";
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major, minor, count = 0;
    if (!initialize(display, &major, &minor)) return "no surfaceless EGL display";
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                 EGL_NONE};
    EGLConfig config;
    if (!chooseConfig(display, attributes, &config, 1, &count) || count < 1) return "no pbuffer configuration";
    const EGLint size[] = {EGL_WIDTH, 640, EGL_HEIGHT, 480, EGL_NONE};
    EGLSurface surface = createSurface(display, config, size);
    if (!bindApi(EGL_OPENGL_API)) return "no desktop OpenGL";
    EGLContext context = createContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (!makeCurrent(display, surface, surface, context)) return "cannot make the context current";
    return nullptr;
}

constexpr int kSide = 317;  // 317 x 317 = 100,489 quadrilaterals
constexpr int kAttributes = 16;

enum class Order { Runs, Interleaved };

// Quadrilaterals tiling the view at distance 2; surface i takes attribute
// i * 16 / count (runs) or i % 2 (interleaved). With transparent, every
// fourth attribute lets half the light through.
void BuildScene(bool textured, Order order, bool transparent)
{
    VekMain_Initialize();
    std::vector<unsigned char> image(64 * 64 * 3);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7);
    VekMap_SetMinFilter(textured ? 2 : 0);
    VekMap_Instanciate("checker", nullptr);
    VekMap_BindImage("checker", 64, 64, 3, image.data());
    for (int a = 0; a < kAttributes; ++a) {
        float diffuse[3] = {0.3f + 0.04f * a, 0.5f, 0.9f - 0.05f * a};
        float transparency[3] = {0, 0, 0};
        if (transparent && a % 4 == 0) transparency[0] = transparency[1] = transparency[2] = 0.5f;
        VekAttribute_SetDiffuse(diffuse);
        VekAttribute_SetTransparency(transparency);
        VekAttribute_SetMap(0, nullptr);
        if (textured) VekAttribute_SetMap(VEK_MAP_1, const_cast<char*>("checker"));
        VekAttribute_Instanciate(const_cast<char*>(("a" + std::to_string(a)).c_str()));
    }
    const float step = 4.0f / kSide;
    for (int i = 0; i < kSide * kSide; ++i) {
        const int a = order == Order::Runs ? static_cast<int>(static_cast<long>(i) * kAttributes / (kSide * kSide))
                                           : i % 2;
        VekSurface_SetAttributeName(const_cast<char*>(("a" + std::to_string(a)).c_str()));
        const float x = -2 + step * (i % kSide), y = -1.5f + 0.75f * step * (i / kSide);
        float corners[12] = {x, y, -2, x + step, y, -2, x + step, y + 0.75f * step, -2, x, y + 0.75f * step, -2};
        float mapCoords[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        VekSurface_Instanciate(4, corners, nullptr, mapCoords);
    }
}

void DrawFrames(benchmark::State& state, uint32_t flags, bool textured, Order order, bool transparent)
{
    static const char* failure = MakeContextCurrent();
    if (failure) {
        state.SkipWithError(failure);
        return;
    }
    BuildScene(textured, order, transparent);
    VekDisplay_Initialize();
    VekDisplay_SetMode(flags);
    // glFinish through the library's own OpenGL: the benchmark links only the library.
    static const auto finish = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "glFinish"));
    if (!finish) {
        state.SkipWithError("glFinish not found");
        return;
    }
    // One frame first: the software renderer compiles its pipeline for the
    // state it first meets.
    VekDisplay_DrawStart();
    VekDisplay_DrawSurface();
    finish();
    g_uploads = 0;
    for (auto _ : state) {
        VekDisplay_DrawStart();
        VekDisplay_DrawSurface();
        VekDisplay_DrawEnd();
        finish();
    }
    state.counters["surfaces"] = g_mainStatusTable.surfaceCount;
    state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                             benchmark::Counter::kIsRate);
    state.counters["uploads_per_frame"] = static_cast<double>(g_uploads) / static_cast<double>(state.iterations());
    VekMain_End();
}

void BM_Solid(benchmark::State& state) { DrawFrames(state, VEK_DISPLAY_SOLID, false, Order::Runs, false); }
// The default mode: filled, outlined, culled, transparent surfaces blended.
void BM_DefaultMode(benchmark::State& state) { DrawFrames(state, 0x303, false, Order::Runs, true); }
// Textured in 16 runs of one attribute each: 16 mipmapped uploads a frame.
void BM_TexturedInAttributeOrder(benchmark::State& state)
{
    DrawFrames(state, VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE, true, Order::Runs, false);
}
// Two attributes alternating: every surface uploads (and rebuilds mipmaps).
void BM_TexturedAlternating(benchmark::State& state)
{
    DrawFrames(state, VEK_DISPLAY_SOLID | VEK_DISPLAY_TEXTURE, true, Order::Interleaved, false);
}

}  // namespace

BENCHMARK(BM_Solid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultMode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TexturedInAttributeOrder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TexturedAlternating)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
