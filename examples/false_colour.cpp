// false_colour.cpp - colour ramp, scale choice and layout of the floor
// illuminance picture.
#include "false_colour.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "bitmap_font.h"

namespace example {
namespace {

constexpr int kMargin = 16;
constexpr int kMapPixels = 480;  // width the map is drawn at, about
constexpr int kLegendWidth = 22;
constexpr int kLegendTicks = 5;
const Rgb kBackground = {255, 255, 255}, kInk = {20, 20, 20};

// Dark blue through cyan, green and yellow to red: equal steps of
// illuminance read as clearly different colours.
Rgb Ramp(float value)
{
    struct Stop {
        float at, r, g, b;
    };
    static const Stop stops[] = {{0.0f, 0.05f, 0.03f, 0.35f}, {0.2f, 0.10f, 0.30f, 0.90f}, {0.4f, 0.10f, 0.80f, 0.80f},
                                 {0.6f, 0.45f, 0.90f, 0.20f}, {0.8f, 1.00f, 0.82f, 0.10f}, {1.0f, 0.85f, 0.10f, 0.05f}};
    value = std::clamp(value, 0.0f, 1.0f);
    int i = 0;
    while (i < 4 && value > stops[i + 1].at) ++i;
    float f = (value - stops[i].at) / (stops[i + 1].at - stops[i].at);
    auto mix = [f](float a, float b) { return static_cast<uint8_t>((a + (b - a) * f) * 255.0f + 0.5f); };
    return {mix(stops[i].r, stops[i + 1].r), mix(stops[i].g, stops[i + 1].g), mix(stops[i].b, stops[i + 1].b)};
}

// The smallest of 1, 2, 2.5, 4, 5, 6, 8 times a power of ten that is at
// least value: a top whose fifths (the legend's ticks) are round numbers.
float NiceCeiling(float value)
{
    if (value <= 0.0f) return 1.0f;
    float power = std::pow(10.0f, std::floor(std::log10(value)));
    for (float step : {1.0f, 2.0f, 2.5f, 4.0f, 5.0f, 6.0f, 8.0f, 10.0f})
        if (step * power >= value * 0.9999f) return step * power;
    return 10.0f * power;
}

std::string Whole(float value) { return std::to_string(static_cast<long>(std::lround(value))); }

}  // namespace

Image DrawIlluminanceMap(const FloorIlluminance& floor, IlluminanceSummary& summary)
{
    // 1. Figures and the scale: the top is a round number above the 99th
    // percentile, so a few bright spots do not wash the map out.
    std::vector<float> sorted = floor.lux;
    std::sort(sorted.begin(), sorted.end());
    summary.minimum = sorted.empty() ? 0.0f : sorted.front();
    summary.maximum = sorted.empty() ? 0.0f : sorted.back();
    double sum = 0.0;
    for (float lux : sorted) sum += lux;
    summary.average = sorted.empty() ? 0.0f : static_cast<float>(sum / sorted.size());
    summary.scaleTop = NiceCeiling(sorted.empty() ? 0.0f : sorted[sorted.size() * 99 / 100]);

    // 2. Layout: title, map with the legend to its right, figures below.
    const int cell = std::max(1, kMapPixels / std::max(floor.columns, 1));
    const int mapWidth = floor.columns * cell, mapHeight = floor.rows * cell;
    const int titleHeight = 2 * kGlyphHeight + 14;
    const std::string topLabel = Whole(summary.scaleTop);
    const int legendX = kMargin + mapWidth + 16;
    const int width = legendX + kLegendWidth + 8 + TextWidth(topLabel + " LX", 2) + kMargin;
    const int mapY = kMargin + titleHeight;
    const int height = mapY + mapHeight + 54;
    Image image(width, height, kBackground);
    DrawText(image, kMargin, kMargin, "ILLUMINANCE ON THE FLOOR", kInk, 2);

    // 3. The map, north (larger y) up.
    for (int row = 0; row < floor.rows; ++row)
        for (int column = 0; column < floor.columns; ++column) {
            Rgb colour = Ramp(floor.lux[static_cast<size_t>(row) * floor.columns + column] / summary.scaleTop);
            image.FillRect(kMargin + column * cell, mapY + (floor.rows - 1 - row) * cell, cell, cell, colour);
        }
    image.FrameRect(kMargin - 1, mapY - 1, mapWidth + 2, mapHeight + 2, kInk);

    // 4. Legend: the ramp from bottom to top with round ticks.
    for (int y = 0; y < mapHeight; ++y)
        image.FillRect(legendX, mapY + y, kLegendWidth, 1, Ramp(1.0f - (y + 0.5f) / mapHeight));
    image.FrameRect(legendX - 1, mapY - 1, kLegendWidth + 2, mapHeight + 2, kInk);
    for (int tick = 0; tick <= kLegendTicks; ++tick) {
        int y = mapY + mapHeight - 1 - tick * (mapHeight - 1) / kLegendTicks;
        image.FillRect(legendX + kLegendWidth, y, 5, 1, kInk);
        std::string label = Whole(summary.scaleTop * tick / kLegendTicks) + (tick == kLegendTicks ? " LX" : "");
        DrawText(image, legendX + kLegendWidth + 8, y - kGlyphHeight, label, kInk, 2);
    }

    // 5. A one-metre bar and the figures under the map.
    const int barY = mapY + mapHeight + 12;
    const int metre = static_cast<int>(std::lround(cell * floor.columns / (floor.area.xMax - floor.area.xMin)));
    image.FillRect(kMargin, barY, metre, 3, kInk);
    image.FillRect(kMargin, barY - 3, 1, 9, kInk);
    image.FillRect(kMargin + metre - 1, barY - 3, 1, 9, kInk);
    DrawText(image, kMargin + metre + 8, barY - 5, "1 M", kInk, 2);
    DrawText(image, kMargin, barY + 16,
             "MIN " + Whole(summary.minimum) + "  AVERAGE " + Whole(summary.average) + "  MAX " + Whole(summary.maximum) +
                 " LX",
             kInk, 2);
    return image;
}

}  // namespace example
