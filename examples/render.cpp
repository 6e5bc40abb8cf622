// render.cpp - the picture, a band of rows at a time (so that the gathers
// of a band fit in memory):
//   1. camera rays, strata x strata per pixel at jittered points of their
//      cells: each surface seen becomes a gather whose light the surface
//      reflects toward the camera (albedo / pi); one of the pixel's rays,
//      picked at random, sends a light path from each surface it sees for
//      the interreflected irradiance there; light seen directly (sky,
//      panels) goes straight into the pixel;
//   2. the light passes give every gather its light;
//   3. once all bands are done, the interreflected irradiance is smoothed
//      over each surface (indirect_filter.h), reflected toward the camera,
//      and the luminances are tone-mapped.
#include "render.h"

#include <algorithm>
#include <cmath>

#include "camera.h"
#include "indirect_filter.h"
#include "light_passes.h"
#include "light_paths.h"
#include "primary_rays.h"
#include "ray_pass.h"

namespace example {
namespace {

constexpr float kPi = 3.14159265f;
constexpr size_t kMaxGathersPerBand = size_t(1) << 21;
constexpr size_t kGathersPerRay = 8;      // a guess for sizing bands: layers and bounces
constexpr double kCameraShare = 0.15;     // of a band's time, for progress
constexpr double kFilterShare = 0.05;     // of the whole, for progress
constexpr int kFilterRadius = 6;          // pixels: a 13 x 13 window
constexpr uint64_t kSeed = 0x2545f4914f6cdd1dull;
// Camera hits a little finer than path bounces, which are averaged more;
// both coarse, as every pixel averages several rays.
const DirectSampling kSamplings[2] = {{1, 8}, {1, 32}};

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
    const int width = settings.width, height = settings.height, n = settings.strata;
    const size_t pixels = static_cast<size_t>(width) * height;
    const float perRay = 1.0f / (n * n);
    const bool indirect = scene.indirect.samples > 0;
    // The rays of a pixel share the sky's directions out among themselves.
    const int skyStride = std::max(kSamplings[0].skyStride, n * n), skyStep = std::max(skyStride / (n * n), 1);
    CameraView view(scene.camera, width, height);

    RenderResult result{std::vector<Vec3>(pixels, Vec3(0, 0, 0)), Image(), 0, 0.0};
    // Results: direct light per pixel, then interreflected irradiance per
    // pixel and layer; the layers' points and what they reflect.
    std::vector<Vec3> totals(pixels * (1 + kMaxLayers), Vec3(0, 0, 0));
    std::vector<SeenPoint> seen(pixels * kMaxLayers, SeenPoint{Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(0, 0, 0)});
    std::vector<Vec3> reflects(pixels * kMaxLayers, Vec3(0, 0, 0));
    const int bandRows = static_cast<int>(
        std::clamp<size_t>(kMaxGathersPerBand / (static_cast<size_t>(width) * n * n * kGathersPerRay), 1, height));
    const int bands = (height + bandRows - 1) / bandRows;
    Progress progress("picture " + std::to_string(width) + "x" + std::to_string(height) + ", " +
                      std::to_string(n * n) + " rays/pixel");

    for (int band = 0; band < bands; ++band) {
        const size_t first = static_cast<size_t>(band) * bandRows * width;
        const size_t last = std::min(pixels, first + static_cast<size_t>(bandRows) * width);
        const double begin = (1 - kFilterShare) * band / bands, size = (1 - kFilterShare) / bands;

        // 1. Camera rays.
        std::vector<std::vector<Gather>> lists(settings.threads);
        result.rays += RunRayPass(settings.threads, last - first, [&](int thread, size_t from, size_t to) {
            uint64_t rays = 0;
            for (size_t i = first + from; i < first + to; ++i) {
                Random random(kSeed ^ i);
                const float x = static_cast<float>(i % width), y = static_cast<float>(i / width);
                const int pathRay = static_cast<int>(random.Next() % static_cast<uint32_t>(n * n));
                const int skyStart = static_cast<int>(random.Next() % static_cast<uint32_t>(skyStride));
                for (int s = 0; s < n * n; ++s) {
                    float u = random.Uniform(), v = random.Uniform();
                    PixelTrace trace = TracePixel(view, scene, x + (s % n + u) / n, y + (s / n + v) / n, rays);
                    result.luminance[i] += trace.emitted * perRay;
                    for (int k = 0; k < trace.layerCount; ++k) {
                        const Layer& layer = trace.layers[k];
                        Vec3 reflect = Multiply(layer.weight, layer.albedo) * (1.0f / kPi);
                        int16_t sky = static_cast<int16_t>((skyStart + s * skyStep) % skyStride);
                        lists[thread].push_back(
                            Gather{layer.receiver, reflect * perRay, static_cast<uint32_t>(i), 0, sky, random.Next()});
                        if (!indirect || s != pathRay) continue;
                        size_t slot = k * pixels + i;
                        seen[slot] = SeenPoint{layer.receiver.point, layer.receiver.normal, Vec3(0, 0, 0)};
                        reflects[slot] = reflect;
                        TraceLightPath(layer.receiver, Vec3(1, 1, 1), static_cast<uint32_t>(pixels + slot), 1,
                                       scene.indirect.bounces, random, lists[thread], rays);
                    }
                }
            }
            return rays;
        }, Progress::Span{&progress, begin, size * kCameraShare});
        std::vector<Gather> gathers;
        for (auto& list : lists) gathers.insert(gathers.end(), list.begin(), list.end());

        // 2. Light.
        result.rays += RunLightPasses(scene, gathers, kSamplings, settings.threads, totals,
                                      Progress::Span{&progress, begin + size * kCameraShare, size * (1 - kCameraShare)});
    }

    // 3. The interreflected light smoothed over each surface, then pixels.
    for (size_t i = 0; i < pixels; ++i) result.luminance[i] += totals[i];
    for (int k = 0; k < kMaxLayers && indirect; ++k) {
        std::vector<SeenPoint> layer(seen.begin() + k * pixels, seen.begin() + (k + 1) * pixels);
        for (size_t i = 0; i < pixels; ++i) layer[i].irradiance = totals[pixels + k * pixels + i];
        std::vector<Vec3> smooth =
            FilterIndirect(layer, width, height, kFilterRadius, settings.threads,
                           Progress::Span{&progress, 1 - kFilterShare * (kMaxLayers - k) / kMaxLayers, kFilterShare / kMaxLayers});
        for (size_t i = 0; i < pixels; ++i) result.luminance[i] += Multiply(reflects[k * pixels + i], smooth[i]);
    }
    result.seconds = progress.Finish(result.rays);
    result.picture = ToneMap(result.luminance, width, height);
    return result;
}

}  // namespace example
