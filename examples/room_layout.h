// room_layout.h - measures of the default scene shared by the geometry, the
// lights and the camera. Metres; z is up; the room spans [0, kRoomX] x
// [0, kRoomY] x [0, kRoomZ]; the window is in the wall x = kRoomX.
#pragma once

#include "vector_math.h"

namespace example {
namespace layout {

constexpr float kRoomX = 6.0f, kRoomY = 5.0f, kRoomZ = 3.0f;

// Window opening in the wall x = kRoomX.
constexpr float kWindowYMin = 1.2f, kWindowYMax = 3.6f;
constexpr float kWindowZMin = 0.8f, kWindowZMax = 2.4f;

// Table top and the downlight above its centre.
constexpr float kTableXMin = 1.8f, kTableXMax = 3.4f, kTableYMin = 2.1f, kTableYMax = 3.0f;
constexpr float kTableHeight = 0.76f;
inline Vec3 DownlightPosition() { return Vec3(2.6f, 2.55f, 2.97f); }

// Spot light in the far corner, aimed at the floor through the screen,
// which stands halfway between, across the beam.
inline Vec3 SpotPosition() { return Vec3(5.6f, 4.6f, 2.8f); }
inline Vec3 SpotTarget() { return Vec3(4.0f, 2.6f, 0.0f); }

// Ceiling panel of the area light (corners clockwise seen from above, so it
// shines down).
inline void AreaLightCorners(Vec3 (&corners)[4])
{
    corners[0] = Vec3(0.7f, 3.7f, 2.97f);
    corners[1] = Vec3(0.7f, 4.3f, 2.97f);
    corners[2] = Vec3(1.9f, 4.3f, 2.97f);
    corners[3] = Vec3(1.9f, 3.7f, 2.97f);
}

// The camera stands in the corner opposite the window wall's far end.
inline Vec3 CameraEye() { return Vec3(0.45f, 0.4f, 1.65f); }
inline Vec3 CameraTarget() { return Vec3(4.3f, 3.4f, 0.85f); }

// The billboard tree in its pot, turned toward the camera.
inline Vec3 TreeBase() { return Vec3(0.9f, 3.4f, 0.0f); }
constexpr float kTreeWidth = 1.2f, kTreeHeight = 2.2f;

}  // namespace layout
}  // namespace example
