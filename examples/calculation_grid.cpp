// calculation_grid.cpp - layout of horizontal and vertical planes.
//
// A horizontal plane's outline is a polygon in plan; the calculation area
// is its box shrunk by the border, and a point is used when it lies inside
// the polygon at least the border away from every edge (the band along the
// walls that EN 12464-1 leaves out). A vertical plane is the rectangle
// from "from" to "to" between its heights, every point used.
#include "calculation_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "input_error.h"

namespace example {
namespace {

constexpr float kMaxSpacing = 10.0f;  // metres: the standard's cap
constexpr int kMaxPointsPerSide = 1000;

bool InsidePolygon(const std::vector<Vec2>& polygon, const Vec2& p)
{
    bool inside = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const Vec2 &a = polygon[i], &b = polygon[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

float DistanceToEdges(const std::vector<Vec2>& polygon, const Vec2& p)
{
    float best = std::numeric_limits<float>::max();
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        Vec2 a = polygon[j], b = polygon[i];
        float dx = b.x - a.x, dy = b.y - a.y, lengthSquared = dx * dx + dy * dy;
        float t = lengthSquared > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared, 0.0f, 1.0f) : 0;
        best = std::min(best, std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)));
    }
    return best;
}

// Counts and steps for an area of width x height.
void Space(CalculationGrid& g, float width, float height)
{
    float p = StandardSpacing(std::max(width, height), std::min(width, height));
    bool widthGoverns = width >= height ? width < 2 * height : height >= 2 * width;
    float governing = widthGoverns ? width : height, other = widthGoverns ? height : width;
    int n = std::clamp(static_cast<int>(std::lround(governing / p)), 1, kMaxPointsPerSide);
    float step = governing / n;
    int m = std::clamp(static_cast<int>(std::lround(other / step)), 1, kMaxPointsPerSide);
    g.columns = widthGoverns ? n : m;
    g.rows = widthGoverns ? m : n;
    g.uStep = width / g.columns;
    g.vStep = height / g.rows;
}

}  // namespace

float StandardSpacing(float longer, float shorter)
{
    float d = longer >= 2.0f * shorter ? shorter : longer;
    return std::min(0.2f * std::pow(5.0f, std::log10(std::max(d, 1e-3f))), kMaxSpacing);
}

CalculationGrid LayOutGrid(const GridDesc& desc, float floorHeight, const Vec3& low, const Vec3& high,
                           const std::string& scenePath)
{
    CalculationGrid g{};
    g.name = desc.name;
    g.kind = desc.kind;
    if (desc.kind == GridKind::Vertical) {
        Vec3 from(desc.from.x, desc.from.y, floorHeight + desc.bottom), to(desc.to.x, desc.to.y, floorHeight + desc.bottom);
        g.origin = from;
        g.uAxis = Normalized(to - from);
        g.vAxis = Vec3(0, 0, 1);
        g.normal = Vec3(-g.uAxis.y, g.uAxis.x, 0);  // left of from -> to, seen from above
        g.width = Length(to - from);
        g.height = desc.top - desc.bottom;
        g.planeHeight = desc.bottom;
        g.uStart = g.vStart = 0.0f;
        Space(g, g.width, g.height);
        g.inside.assign(static_cast<size_t>(g.columns) * g.rows, true);
        g.outline = {{0, 0}, {g.width, 0}, {g.width, g.height}, {0, g.height}};
        return g;
    }

    std::vector<Vec2> outline = desc.outline;
    if (outline.empty()) outline = {{low.x, low.y}, {high.x, low.y}, {high.x, high.y}, {low.x, high.y}};
    float xMin = outline[0].x, xMax = xMin, yMin = outline[0].y, yMax = yMin;
    for (const Vec2& p : outline) {
        xMin = std::min(xMin, p.x), xMax = std::max(xMax, p.x);
        yMin = std::min(yMin, p.y), yMax = std::max(yMax, p.y);
    }
    g.origin = Vec3(xMin, yMin, floorHeight + desc.height);
    g.uAxis = Vec3(1, 0, 0);
    g.vAxis = Vec3(0, 1, 0);
    g.normal = Vec3(0, 0, 1);
    g.width = xMax - xMin;
    g.height = yMax - yMin;
    g.planeHeight = desc.height;
    for (const Vec2& p : outline) g.outline.push_back(Vec2{p.x - xMin, p.y - yMin});
    const float areaWidth = g.width - 2 * desc.border, areaHeight = g.height - 2 * desc.border;
    if (areaWidth <= 0.0f || areaHeight <= 0.0f)
        throw InputError(scenePath, 0, "grid \"" + desc.name + "\": its border leaves no area to calculate");
    g.uStart = g.vStart = desc.border;
    Space(g, areaWidth, areaHeight);
    g.inside.resize(static_cast<size_t>(g.columns) * g.rows);
    int used = 0;
    for (int row = 0; row < g.rows; ++row)
        for (int column = 0; column < g.columns; ++column) {
            Vec2 p = g.At(column, row);
            bool in = InsidePolygon(g.outline, p) && DistanceToEdges(g.outline, p) >= desc.border - 1e-4f;
            g.inside[g.Index(column, row)] = in;
            used += in;
        }
    if (used == 0) throw InputError(scenePath, 0, "grid \"" + desc.name + "\": no point lies inside its outline");
    return g;
}

GridFigures FiguresOf(const CalculationGrid& grid, const std::vector<float>& values)
{
    GridFigures f{std::numeric_limits<float>::max(), 0.0f, std::numeric_limits<float>::lowest(), 0.0f};
    double sum = 0.0;
    int count = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!grid.inside[i]) continue;
        f.minimum = std::min(f.minimum, values[i]);
        f.maximum = std::max(f.maximum, values[i]);
        sum += values[i];
        ++count;
    }
    if (count == 0) return GridFigures{0, 0, 0, 0};
    f.average = static_cast<float>(sum / count);
    f.uniformity = f.average > 0.0f ? f.minimum / f.average : 0.0f;
    return f;
}

}  // namespace example
