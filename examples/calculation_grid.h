// calculation_grid.h - calculation points on a plane laid out as EN 12464-1
// lays them out, and the figures a designer reads from them.
#pragma once

#include <string>
#include <vector>

#include "scene_file.h"
#include "vector_math.h"

namespace example {

// The points of one plane: columns x rows cell centres of a rectangle in
// the plane's own (u, v) coordinates (metres), some of them left out
// (outside the outline, in the border band).
struct CalculationGrid {
    std::string name;
    GridKind kind;
    Vec3 origin;          // world position of (u, v) = (0, 0)
    Vec3 uAxis, vAxis;    // unit; u along the plane's width, v up the picture
    Vec3 normal;          // the side that gathers light
    float width, height;  // extent in u and v of the plane (the outline's box)
    float uStart, vStart; // the calculation area's corner in (u, v)
    float uStep, vStep;   // point spacing
    int columns, rows;
    std::vector<bool> inside;      // rows * columns, row after row: point used
    std::vector<Vec2> outline;     // in (u, v): the room's outline or the plane's rectangle
    float planeHeight;             // of a horizontal plane above the floor, metres

    size_t Index(int column, int row) const { return static_cast<size_t>(row) * columns + column; }
    Vec2 At(int column, int row) const { return Vec2{uStart + (column + 0.5f) * uStep, vStart + (row + 0.5f) * vStep}; }
    Vec3 World(const Vec2& uv) const { return origin + uAxis * uv.x + vAxis * uv.y; }
};

// The grid spacing of EN 12464-1: p = 0.2 x 5^log10(d) metres, at most 10 m,
// for the calculation area's longer side d (its shorter side when the
// longer is twice it or more).
float StandardSpacing(float longer, float shorter);

// Lays out grid over a scene whose floor is at floorHeight and whose plan
// box is low..high: the number of points along the governing side is d / p
// rounded, the other side takes the nearest count to the same spacing,
// and points sit at the centres of the cells. Throws InputError (at
// scenePath) when the border leaves no area.
CalculationGrid LayOutGrid(const GridDesc& grid, float floorHeight, const Vec3& low, const Vec3& high,
                           const std::string& scenePath);

// Emin, Eavg, Emax and the uniformity U0 = Emin / Eavg over the used points.
struct GridFigures {
    float minimum, average, maximum, uniformity;
};
GridFigures FiguresOf(const CalculationGrid& grid, const std::vector<float>& values);

}  // namespace example
