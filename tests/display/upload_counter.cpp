// upload_counter.cpp - interposed glTexImage2D and gluBuild2DMipmaps that
// record each call and forward it to the real one (found with
// dlsym(RTLD_NEXT)).
#include "upload_counter.h"

#include <GL/glu.h>
#include <dlfcn.h>

#include <cstdlib>

namespace displaytest {
namespace {

// Non-zero while gluBuild2DMipmaps runs: its level uploads are not counted.
int g_insideMipmapBuild = 0;

template <class F>
F RealFunction(const char* name)
{
    void* f = dlsym(RTLD_NEXT, name);
    if (!f) std::abort();  // the test program is not linked as it must be
    return reinterpret_cast<F>(f);
}

}  // namespace

std::vector<Upload>& Uploads()
{
    static std::vector<Upload> uploads;
    return uploads;
}

}  // namespace displaytest

extern "C" {

void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    using Real = void(GLAPIENTRY*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*);
    static const Real real = displaytest::RealFunction<Real>("glTexImage2D");
    if (!displaytest::g_insideMipmapBuild)
        displaytest::Uploads().push_back({false, internalFormat, width, height, format, pixels});
    real(target, level, internalFormat, width, height, border, format, type, pixels);
}

GLint GLAPIENTRY gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                                   GLenum type, const void* data)
{
    using Real = GLint(GLAPIENTRY*)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*);
    static const Real real = displaytest::RealFunction<Real>("gluBuild2DMipmaps");
    displaytest::Uploads().push_back({true, internalFormat, width, height, format, data});
    ++displaytest::g_insideMipmapBuild;
    const GLint result = real(target, internalFormat, width, height, format, type, data);
    --displaytest::g_insideMipmapBuild;
    return result;
}

}  // extern "C"
