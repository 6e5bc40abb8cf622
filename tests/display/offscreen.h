// offscreen.h - what the display tests share: a real OpenGL context on
// Mesa's software renderer (EGL's surfaceless platform drawing into a
// pbuffer: no X server, no GPU), a library started around each test, and
// helpers to build small scenes and read pixels back.
#pragma once

#include <GL/gl.h>

#include <array>
#include <vector>

#include "support/test_support.h"

namespace displaytest {

// The pbuffer, 4:3 like the default projection window, small enough to read
// back whole.
constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct Rgb {
    int r, g, b;
};
// Colours read back are 8 bits a channel; blending rounds once per pass.
::testing::AssertionResult ColourNear(const Rgb& actual, float r, float g, float b);

class DisplayTest : public vektest::LibraryTest {
protected:
    // A fresh context current on this thread, the library started and the
    // display initialised on it, with the pbuffer as window and viewport so
    // that the default frustum (x in [-1, 1], y in [-0.75, 0.75] at distance
    // 1) fills it.
    void SetUp() override;
    void TearDown() override;
    // The library ended and started again on the same context.
    void Restart();

    // DrawStart, DrawSurface, DrawEnd.
    static void DrawFrame();
    // The whole frame, row by row from the bottom, and one pixel of it (x
    // from the left, y from the bottom).
    static std::vector<Rgb> Frame();
    static Rgb Pixel(int x, int y) { return Frame()[y * kWidth + x]; }
    // The pixel onto which the default frustum projects an eye-space point.
    static Rgb PixelAt(float x, float y, float z);

private:
    void* context_ = nullptr;
    void* surface_ = nullptr;
};

// Scene building through the public interface.
void MakeAttribute(const char* name, std::array<float, 3> diffuse, std::array<float, 3> transparency = {0, 0, 0},
                   const char* mapName = nullptr, long invert = 0);
// A quadrilateral in the plane z with corners (x0, y0), (x1, y0), (x1, y1),
// (x0, y1): counter-clockwise, so facing +z, when x0 < x1 and y0 < y1.
// Map coordinates run from (0, 0) to (repeat, repeat) over it.
void MakeQuad(const char* attribute, float x0, float y0, float x1, float y1, float z, float repeat = 1.0f);
// A map with an image of width x height pixels of components bytes (no
// image when pixels is empty), made with the given filter codes.
void MakeMap(const char* name, int width, int height, int components, const std::vector<unsigned char>& pixels,
             long minFilter = 0, long magFilter = 0);

}  // namespace displaytest
