// preview.cpp - an offscreen OpenGL context through EGL, which Mesa
// provides without a window system: the "surfaceless" platform when the
// EGL library offers it, else the default display; a pbuffer surface as the
// framebuffer; desktop OpenGL as the API (the display family draws with
// OpenGL 1.x calls). The library draws into whatever context is current;
// creating it is the host's part.
#include "preview.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include <Vek.h>

namespace example {
namespace {

std::string ToHex(EGLint value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

// An EGL display, pbuffer and context, current on this thread while the
// object lives.
class OffscreenContext {
public:
    bool Create(int width, int height, std::string& reason)
    {
        display_ = OpenDisplay();
        EGLint major = 0, minor = 0;
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, &major, &minor))
            return Fail("no EGL display could be opened", reason);
        initialized_ = true;

        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                           EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                           EGL_DEPTH_SIZE, 24, EGL_NONE};
        EGLConfig config;
        EGLint configs = 0;
        if (!eglChooseConfig(display_, configAttributes, &config, 1, &configs) || configs < 1)
            return Fail("EGL offers no RGB pbuffer configuration with a depth buffer for OpenGL", reason);

        const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        surface_ = eglCreatePbufferSurface(display_, config, surfaceAttributes);
        if (surface_ == EGL_NO_SURFACE) return Fail("EGL could not create a pbuffer", reason);
        if (!eglBindAPI(EGL_OPENGL_API)) return Fail("EGL does not offer desktop OpenGL", reason);
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
        if (context_ == EGL_NO_CONTEXT) return Fail("EGL could not create an OpenGL context", reason);
        if (!eglMakeCurrent(display_, surface_, surface_, context_))
            return Fail("the OpenGL context could not be made current", reason);
        return true;
    }

    ~OffscreenContext()
    {
        if (!initialized_) return;
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
        if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
        // The display itself stays initialised, as the display tests keep
        // theirs: Mesa's eglTerminate unloads its driver and leaves a block
        // behind that a leak checker reports; the process ends soon anyway.
        eglReleaseThread();
    }

private:
    static EGLDisplay OpenDisplay()
    {
        const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless") && getPlatformDisplay)
            return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        return eglGetDisplay(EGL_DEFAULT_DISPLAY);
    }

    static bool Fail(const char* what, std::string& reason)
    {
        reason = std::string(what) + " (EGL error 0x" + ToHex(eglGetError()) + ")";
        return false;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLSurface surface_ = EGL_NO_SURFACE;
    EGLContext context_ = EGL_NO_CONTEXT;
    bool initialized_ = false;
};

}  // namespace

bool DrawPreview(const CameraView& view, int width, int height, Image& picture, std::string& message)
{
    OffscreenContext context;
    if (!context.Create(width, height, message)) return false;

    // 1. The view: the whole pbuffer, the camera's window at the near plane,
    // and its view matrix.
    const float nearClip = 0.05f, farClip = 50.0f;
    VekDisplay_Initialize();
    // The context is ours: clear to the sky's colour so that the window shows
    // sky, as in the rendered picture.
    glClearColor(0.78f, 0.87f, 0.97f, 1.0f);
    VekDisplay_SetScreenSize(width, height);
    VekDisplay_SetViewport(0, 0, width, height);
    VekDisplay_SetScreenWindow(-view.HalfWidth() * nearClip, view.HalfHeight() * nearClip,
                               view.HalfWidth() * nearClip, -view.HalfHeight() * nearClip);
    VekDisplay_SetClip(nearClip, farClip);
    float matrix[16];
    view.ViewMatrix(matrix);
    VekDisplay_SetMatrix(matrix);

    // 2. One frame: filled faces with their outlines and textures,
    // transparent faces blended, the visible area light. Back faces are
    // culled, so a two-sided pane is blended once, not twice over itself.
    VekDisplay_SetMode(VEK_DISPLAY_SOLID | VEK_DISPLAY_CULL | VEK_DISPLAY_WIRE | VEK_DISPLAY_TRANSPARENT | VEK_DISPLAY_TEXTURE |
                       VEK_DISPLAY_LIGHTS);
    VekDisplay_DrawStart();
    VekDisplay_DrawSurface();
    VekDisplay_DrawEnd();
    glFinish();

    // 3. Read back; OpenGL's rows run bottom to top.
    picture = Image(width, height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int y = 0; y < height; ++y) glReadPixels(0, height - 1 - y, width, 1, GL_RGB, GL_UNSIGNED_BYTE, picture.Row(y));
    VekDisplay_End();
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) message = "OpenGL reported error 0x" + ToHex(static_cast<EGLint>(error)) + " while drawing";
    return true;
}

}  // namespace example
