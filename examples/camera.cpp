// camera.cpp - the view frame (right, up, forward) of the camera and the
// two things made from it.
#include "camera.h"

#include <cmath>

namespace example {

CameraView::CameraView(const Camera& camera, int width, int height) : eye_(camera.eye), width_(width), height_(height)
{
    forward_ = Normalized(camera.target - camera.eye);
    // Looking straight along up, the picture's up falls back to world y.
    Vec3 up = Length(CG::cross(forward_, camera.up)) > 1e-4f ? camera.up : Vec3(0, 1, 0);
    right_ = Normalized(CG::cross(forward_, up));
    up_ = CG::cross(right_, forward_);
    halfWidth_ = std::tan(camera.horizontalFovDegrees * 0.5f * 3.14159265f / 180.0f);
    halfHeight_ = halfWidth_ * height / width;
}

Vec3 CameraView::RayDirection(float x, float y) const
{
    float sx = (x / width_ * 2.0f - 1.0f) * halfWidth_;
    float sy = (1.0f - y / height_ * 2.0f) * halfHeight_;
    return forward_ + right_ * sx + up_ * sy;
}

void CameraView::ViewMatrix(float m[16]) const
{
    // Rows right, up and -forward, then the eye moved to the origin.
    const Vec3 rows[3] = {right_, up_, -forward_};
    for (int r = 0; r < 3; ++r) {
        m[0 + r] = rows[r].x;
        m[4 + r] = rows[r].y;
        m[8 + r] = rows[r].z;
        m[12 + r] = -CG::dot(rows[r], eye_);
    }
    m[3] = m[7] = m[11] = 0.0f;
    m[15] = 1.0f;
}

}  // namespace example
