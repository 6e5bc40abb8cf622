// render.cpp - the passes of a render, in order:
//   1. camera rays: every pixel's layers become receivers;
//   2. the floor grid's points become receivers too;
//   3. for each light: turn the shadow billboards toward it (no ray runs
//      then), and gather its light at every receiver on all ray threads;
//   4. compose each pixel from its layers' albedo and illuminance, and map
//      the luminances to 8-bit sRGB.
#include "render.h"

#include <algorithm>
#include <cmath>

#include "camera.h"
#include "primary_rays.h"
#include "ray_pass.h"

namespace example {
namespace {

// A constant stand-in for light reflected between the room's surfaces, so
// that shadows are not black in the picture. The floor map shows direct
// light only.
constexpr float kAmbientLux = 25.0f;
constexpr float kPi = 3.14159265f;

void TurnBillboardsFor(const SceneLight& light)
{
    if (light.turnTowardPoint)
        VekIntersection_RotateToFrontPointShadowBillboards(light.turnTarget);
    else
        VekIntersection_RotateToFrontDirectionShadowBillboards(light.turnTarget);
}

FloorIlluminance FloorGrid(const FloorArea& area, float samplesPerMetre, std::vector<Receiver>& receivers)
{
    FloorIlluminance floor{area, 0, 0, {}};
    floor.columns = std::max(1, static_cast<int>(std::lround((area.xMax - area.xMin) * samplesPerMetre)));
    floor.rows = std::max(1, static_cast<int>(std::lround((area.yMax - area.yMin) * samplesPerMetre)));
    float dx = (area.xMax - area.xMin) / floor.columns, dy = (area.yMax - area.yMin) / floor.rows;
    for (int row = 0; row < floor.rows; ++row)
        for (int column = 0; column < floor.columns; ++column) {
            // Cell centres, 2 mm above the floor so that the floor itself never shades them.
            Vec3 point(area.xMin + (column + 0.5f) * dx, area.yMin + (row + 0.5f) * dy, 0.002f);
            receivers.push_back(Receiver{point, Vec3(0, 0, 1), nullptr});
        }
    return floor;
}

// Luminance (cd/m2) to display values: the exposure maps the picture's
// logarithmic mean luminance to a middle grey (so a bright window does not
// darken the room), a soft shoulder keeps lamps and sky from clipping hard,
// then the sRGB transfer curve.
Image ToneMap(const std::vector<Vec3>& luminance, int width, int height)
{
    constexpr float kMiddleGrey = 0.14f, kDarkest = 1e-3f;
    double logSum = 0.0;
    for (const Vec3& l : luminance) logSum += std::log(std::max(Luminance(l), kDarkest));
    float logMean = luminance.empty() ? 1.0f : static_cast<float>(std::exp(logSum / luminance.size()));
    float exposure = kMiddleGrey / logMean;

    auto encode = [](float value) {
        float shouldered = 1.0f - std::exp(-1.6f * value);
        float srgb = shouldered <= 0.0031308f ? 12.92f * shouldered : 1.055f * std::pow(shouldered, 1 / 2.4f) - 0.055f;
        return static_cast<uint8_t>(std::clamp(srgb, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    Image picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Vec3 l = luminance[static_cast<size_t>(y) * width + x] * exposure;
            picture.Set(x, y, Rgb{encode(l.x), encode(l.y), encode(l.z)});
        }
    return picture;
}

}  // namespace

RenderResult RenderScene(const Scene& scene, const RenderSettings& settings)
{
    RenderResult result{Image(0, 0), {}, 0, 0.0, 0};
    const size_t pixels = static_cast<size_t>(settings.width) * settings.height;

    // 1. Camera rays.
    CameraView view(scene.camera, settings.width, settings.height);
    std::vector<PixelTrace> traces(pixels);
    PassStats camera = RunRayPass("camera rays", settings.threads, pixels, [&](int, size_t begin, size_t end) {
        uint64_t rays = 0;
        for (size_t i = begin; i < end; ++i)
            traces[i] = TracePixel(view, scene, static_cast<int>(i % settings.width),
                                   static_cast<int>(i / settings.width), rays);
        return rays;
    });
    result.rays += camera.rays;
    result.raySeconds += camera.seconds;

    // 2. Receivers: the pixels' layers, then the floor grid.
    std::vector<Receiver> receivers;
    for (const PixelTrace& trace : traces)
        for (int k = 0; k < trace.layerCount; ++k) receivers.push_back(trace.layers[k].receiver);
    const size_t firstFloorReceiver = receivers.size();
    result.floor = FloorGrid(scene.floor, settings.floorSamplesPerMetre, receivers);
    result.receivers = receivers.size();

    // 3. One shadow pass per light.
    std::vector<Vec3> illuminance(receivers.size(), Vec3(0, 0, 0));
    for (const SceneLight& light : scene.lights) {
        TurnBillboardsFor(light);
        std::string label = "shadows: " + light.label;
        PassStats pass = RunRayPass(label.c_str(), settings.threads, receivers.size(),
                                    [&](int thread, size_t begin, size_t end) {
                                        uint64_t rays = 0;
                                        for (size_t i = begin; i < end; ++i)
                                            illuminance[i] += GatherLight(light, receivers[i], thread, rays);
                                        return rays;
                                    });
        result.rays += pass.rays;
        result.raySeconds += pass.seconds;
    }

    // 4. Pixels and floor values.
    std::vector<Vec3> luminance(pixels);
    const Vec3 ambient(kAmbientLux, kAmbientLux, kAmbientLux);
    size_t next = 0;
    for (size_t i = 0; i < pixels; ++i) {
        Vec3 l = traces[i].emitted;
        for (int k = 0; k < traces[i].layerCount; ++k, ++next) {
            const Layer& layer = traces[i].layers[k];
            l += Multiply(layer.weight, Multiply(layer.albedo, illuminance[next] + ambient)) * (1.0f / kPi);
        }
        luminance[i] = l;
    }
    result.picture = ToneMap(luminance, settings.width, settings.height);
    for (size_t i = firstFloorReceiver; i < receivers.size(); ++i) result.floor.lux.push_back(Luminance(illuminance[i]));
    return result;
}

}  // namespace example
