// camera.h - a pinhole camera: ray directions for the rendered picture and
// the matching OpenGL view for the preview, so both show the same view.
#pragma once

#include "scene.h"

namespace example {

class CameraView {
public:
    CameraView(const Camera& camera, int width, int height);

    const Vec3& Eye() const { return eye_; }
    // Direction (not unit) through the picture point (x, y) in pixels: the
    // picture spans [0, width) x [0, height), row 0 at the top.
    Vec3 RayDirection(float x, float y) const;
    // World-to-eye matrix in OpenGL element order (element of row r and
    // column c at 4c + r).
    void ViewMatrix(float out[16]) const;
    // Half the width and height of the view window at distance 1.
    float HalfWidth() const { return halfWidth_; }
    float HalfHeight() const { return halfHeight_; }

private:
    Vec3 eye_, forward_, right_, up_;
    float halfWidth_, halfHeight_;
    int width_, height_;
};

}  // namespace example
