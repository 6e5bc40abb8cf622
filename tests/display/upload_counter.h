// upload_counter.h - the texture uploads the library makes, observed on the
// real OpenGL and GLU calls.
//
// The display test program defines glTexImage2D and gluBuild2DMipmaps
// itself; the dynamic linker binds the library's calls (and GLU's own calls
// of glTexImage2D) to these definitions, which record each call and forward
// it to the real function. The levels that gluBuild2DMipmaps uploads count
// as part of its one call.
#pragma once

#include <GL/gl.h>

#include <vector>

namespace displaytest {

struct Upload {
    bool mipmapped;   // gluBuild2DMipmaps rather than glTexImage2D
    GLint internalFormat;
    GLsizei width, height;
    GLenum format;
    const void* pixels;
};

// Every upload since the last ClearUploads, in call order.
std::vector<Upload>& Uploads();
inline void ClearUploads() { Uploads().clear(); }

}  // namespace displaytest
