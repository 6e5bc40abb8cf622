// grid_map.cpp - drawing with cairo, in order:
//   1. the scale: from 0 to a round number at or above the maximum, with
//      five round steps (isolines at the inner ones);
//   2. the plane's outline, the border band in grey, the values in colour
//      (bilinear between the points, so isolines and colours agree);
//   3. isolines, the outline, the luminaires seen from above;
//   4. title, legend, figures and a one-metre bar, in real type.
#include "grid_map.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "isolines.h"
#include "picture_files.h"

namespace example {
namespace {

constexpr double kMapPixels = 520.0;  // the plane's longer side
constexpr double kMargin = 24.0, kTitleHeight = 44.0, kFooterHeight = 78.0;
constexpr double kLegendWidth = 22.0, kLegendLabels = 90.0;
constexpr int kSteps = 5;  // legend steps; isolines at the inner ones
constexpr double kFontSize = 13.0;

struct Colour {
    double r, g, b;
};

// Dark blue through cyan, green and yellow to red: equal steps of
// illuminance read as clearly different colours.
Colour Ramp(double value)
{
    static const double stops[6][4] = {{0.0, 0.05, 0.03, 0.35}, {0.2, 0.10, 0.30, 0.90}, {0.4, 0.10, 0.80, 0.80},
                                       {0.6, 0.45, 0.90, 0.20}, {0.8, 1.00, 0.82, 0.10}, {1.0, 0.85, 0.10, 0.05}};
    value = std::clamp(value, 0.0, 1.0);
    int i = 0;
    while (i < 4 && value > stops[i + 1][0]) ++i;
    double f = (value - stops[i][0]) / (stops[i + 1][0] - stops[i][0]);
    auto mix = [&](int c) { return stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f; };
    return {mix(1), mix(2), mix(3)};
}

// The smallest of 1, 1.25, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten
// that is at least value: a top whose fifths are round numbers.
double NiceCeiling(double value)
{
    if (value <= 0.0) return 1.0;
    double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0})
        if (step * power >= value * (1 - 1e-9)) return step * power;
    return 10.0 * power;
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The value at (u, v) in grid units: bilinear over the used points around it.
double Sample(const GridResult& r, double u, double v)
{
    const CalculationGrid& g = r.grid;
    u = std::clamp(u, 0.0, g.columns - 1.0);
    v = std::clamp(v, 0.0, g.rows - 1.0);
    int c = std::min(static_cast<int>(u), std::max(g.columns - 2, 0)), w = std::min(static_cast<int>(v), std::max(g.rows - 2, 0));
    double fu = u - c, fv = v - w, sum = 0.0, weights = 0.0;
    for (int k = 0; k < 4; ++k) {
        int cc = std::min(c + (k & 1), g.columns - 1), rr = std::min(w + (k >> 1), g.rows - 1);
        double weight = ((k & 1) ? fu : 1 - fu) * ((k >> 1) ? fv : 1 - fv);
        if (!g.inside[g.Index(cc, rr)]) continue;
        sum += weight * r.total[g.Index(cc, rr)];
        weights += weight;
    }
    return weights > 0 ? sum / weights : 0.0;
}

void Text(cairo_t* cr, double x, double y, const std::string& text, double size = kFontSize, bool bold = false)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

double TextWidth(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

}  // namespace

bool WriteGridMap(const GridResult& r, const Scene& scene, const std::string& path, std::string& why)
{
    const CalculationGrid& g = r.grid;
    const GridFigures& f = r.totalFigures;

    // 1. Scale.
    const double top = NiceCeiling(f.maximum);
    const double scale = kMapPixels / std::max(g.width, g.height);  // pixels per metre
    const double mapWidth = g.width * scale, mapHeight = g.height * scale;
    const double mapX = kMargin, mapY = kMargin + kTitleHeight;
    const int width = static_cast<int>(mapX + mapWidth + 20 + kLegendWidth + kLegendLabels + kMargin);
    const int height = static_cast<int>(mapY + mapHeight + kFooterHeight);
    // Plane (u, v) in metres to picture; v grows up the picture, as on a plan.
    auto toX = [&](double u) { return mapX + u * scale; };
    auto toY = [&](double v) { return mapY + mapHeight - v * scale; };

    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, void (*)(cairo_t*)> context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    // 2. Outline filled grey (the border band shows as such), then the values.
    auto outlinePath = [&] {
        cairo_new_path(cr);
        for (const Vec2& p : g.outline) cairo_line_to(cr, toX(p.x), toY(p.y));
        cairo_close_path(cr);
    };
    outlinePath();
    cairo_set_source_rgb(cr, 0.86, 0.86, 0.86);
    cairo_fill(cr);
    const int x0 = static_cast<int>(std::floor(toX(g.uStart))), x1 = static_cast<int>(std::ceil(toX(g.uStart + g.columns * g.uStep)));
    const int y0 = static_cast<int>(std::floor(toY(g.vStart + g.rows * g.vStep))), y1 = static_cast<int>(std::ceil(toY(g.vStart)));
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int py = std::max(y0, 0); py < std::min(y1, height); ++py)
        for (int px = std::max(x0, 0); px < std::min(x1, width); ++px) {
            double u = (px + 0.5 - mapX) / scale, v = (mapY + mapHeight - (py + 0.5)) / scale;
            int column = static_cast<int>(std::floor((u - g.uStart) / g.uStep));
            int row = static_cast<int>(std::floor((v - g.vStart) / g.vStep));
            if (column < 0 || row < 0 || column >= g.columns || row >= g.rows || !g.inside[g.Index(column, row)]) continue;
            Colour c = Ramp(Sample(r, (u - g.uStart) / g.uStep - 0.5, (v - g.vStart) / g.vStep - 0.5) / top);
            auto byte = [](double x) { return static_cast<uint32_t>(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
            reinterpret_cast<uint32_t*>(data + static_cast<size_t>(py) * stride)[px] =
                (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
        }
    cairo_surface_mark_dirty(surface.get());

    // 3. Isolines at the legend's inner steps, the outline, the luminaires.
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1.0);
    for (int step = 1; step < kSteps; ++step)
        for (const Segment& s : Isolines(r.total, g.inside, g.columns, g.rows, static_cast<float>(top * step / kSteps))) {
            cairo_move_to(cr, toX(g.uStart + (s.a.x + 0.5) * g.uStep), toY(g.vStart + (s.a.y + 0.5) * g.vStep));
            cairo_line_to(cr, toX(g.uStart + (s.b.x + 0.5) * g.uStep), toY(g.vStart + (s.b.y + 0.5) * g.vStep));
        }
    cairo_stroke(cr);
    outlinePath();
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    if (g.kind == GridKind::Horizontal)
        for (const SceneLight& light : scene.lights) {
            if (light.record->type == VEK_LIGHT_SKY) continue;
            double u = light.turnTarget.x - g.origin.x, v = light.turnTarget.y - g.origin.y;
            if (u < 0 || v < 0 || u > g.width || v > g.height) continue;
            double x = toX(u), y = toY(v);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_new_path(cr);  // the last label left its end as the current point
            cairo_arc(cr, x, y, 6, 0, 2 * M_PI);
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_set_line_width(cr, 1.5);
            cairo_stroke(cr);
            cairo_move_to(cr, x - 4, y - 4), cairo_line_to(cr, x + 4, y + 4);
            cairo_move_to(cr, x - 4, y + 4), cairo_line_to(cr, x + 4, y - 4);
            cairo_stroke(cr);
            // Labels stay on the map: to the left of a mark near its right edge.
            Text(cr, 0, 0, "", 11);
            double labelWidth = TextWidth(cr, light.label);
            Text(cr, x + 9 + labelWidth > mapX + mapWidth ? x - 9 - labelWidth : x + 9, y - 7, light.label, 11);
        }

    // 4. Title, legend, figures, one-metre bar.
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    Text(cr, kMargin, kMargin + 18, g.name + ": illuminance in lx, direct and interreflected", 16, true);
    const double legendX = mapX + mapWidth + 20;
    for (int y = 0; y < static_cast<int>(mapHeight); ++y) {
        Colour c = Ramp(1.0 - (y + 0.5) / mapHeight);
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_rectangle(cr, legendX, mapY + y, kLegendWidth, 1);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, legendX + 0.5, mapY + 0.5, kLegendWidth, mapHeight);
    cairo_stroke(cr);
    for (int step = 0; step <= kSteps; ++step) {
        double y = mapY + mapHeight - step * mapHeight / kSteps;
        cairo_move_to(cr, legendX + kLegendWidth, y);
        cairo_line_to(cr, legendX + kLegendWidth + 5, y);
        cairo_stroke(cr);
        Text(cr, legendX + kLegendWidth + 8, y + 4, Format("%g", top * step / kSteps) + (step == kSteps ? " lx" : ""));
    }

    const double footerY = mapY + mapHeight + 26;
    std::string figures = "Emin " + Format("%.0f", f.minimum) + " lx    Eavg " + Format("%.0f", f.average) +
                          " lx    Emax " + Format("%.0f", f.maximum) + " lx    U0 " + Format("%.2f", f.uniformity);
    Text(cr, kMargin, footerY, figures, 14, true);
    std::string detail = "average direct " + Format("%.0f", r.directFigures.average) + " lx + interreflected " +
                         Format("%.0f", r.indirectFigures.average) + " lx;  " + std::to_string(g.columns) + " x " +
                         std::to_string(g.rows) + " points, spacing " + Format("%.2f", g.uStep) + " x " +
                         Format("%.2f", g.vStep) + " m";
    if (g.kind == GridKind::Horizontal) detail += ", " + Format("%.2f", g.planeHeight) + " m above the floor";
    Text(cr, kMargin, footerY + 20, detail, 12);
    const double barY = footerY + 40;
    cairo_rectangle(cr, kMargin, barY, scale, 3);
    cairo_fill(cr);
    Text(cr, kMargin + scale + 8, barY + 5, "1 m", 12);
    const std::string isolines = "isolines every " + Format("%g", top / kSteps) + " lx";
    Text(cr, mapX + mapWidth - TextWidth(cr, isolines), barY + 5, isolines, 12);

    return WriteSurfacePng(path, surface.get(), why);
}

}  // namespace example
