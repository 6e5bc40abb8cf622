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

// The pbuffer and the window the tests give the library: 4:3 like the
// default projection window, small enough to read back whole.
constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct Rgb {
    int r, g, b;
};
// Colours read back are 8 bits a channel; blending rounds once per pass.
constexpr int kColourTolerance = 3;
::testing::AssertionResult ColourNear(const Rgb& actual, float r, float g, float b);

class DisplayTest : public vektest::LibraryTest {
protected:
    // A fresh context current on this thread, the library started and the
    // display initialised on it (default view).
    void SetUp() override;
    void TearDown() override;

    // The window and viewport of the pbuffer, so that the default frustum
    // (x in [-1, 1], y in [-0.75, 0.75] at distance 1) fills it.
    void UsePbufferWindow();

    // DrawStart, DrawSurface, DrawEnd.
    void DrawFrame();

    // Pixel (x from the left, y from the bottom) after the last frame.
    Rgb Pixel(int x, int y) const;
    // The whole frame, row by row from the bottom.
    std::vector<Rgb> Frame() const;
    // The pixel onto which the default frustum projects an eye-space point.
    static std::array<int, 2> PixelOf(float x, float y, float z);
    Rgb PixelAt(float x, float y, float z) const
    {
        std::array<int, 2> p = PixelOf(x, y, z);
        return Pixel(p[0], p[1]);
    }

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

// Binds another image to the named map, as a host does after drawing.
void RebindImage(const char* name, int width, int height, int components, const std::vector<unsigned char>& pixels);

}  // namespace displaytest
