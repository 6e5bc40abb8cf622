// primary_rays.h - what the camera sees through one pixel: up to three
// surface layers (a glass pane or a screen and what lies behind it), each
// to be lit later, and the light that reaches the camera unreflected (the
// sky through the window, the glowing panel).
#pragma once

#include <cstdint>

#include "camera.h"
#include "lighting.h"

namespace example {

constexpr int kMaxLayers = 3;

struct Layer {
    Vec3 weight;        // share of this layer's reflected light that reaches the camera
    Vec3 albedo;
    Receiver receiver;  // where the layer gathers its light
};

struct PixelTrace {
    Layer layers[kMaxLayers];
    int layerCount;
    Vec3 emitted;  // cd/m2 reaching the camera directly
};

// Follows the camera ray through picture point (x, y) (pixels) with the
// library's hit query, passing through transparent surfaces and the
// see-through parts of transparency maps. rays grows by the hit queries cast.
PixelTrace TracePixel(const CameraView& view, const Scene& scene, float x, float y, uint64_t& rays);

}  // namespace example
