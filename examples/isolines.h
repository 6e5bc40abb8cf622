// isolines.h - lines of equal value through a grid of point values.
#pragma once

#include <vector>

#include "vector_math.h"

namespace example {

struct Segment {
    Vec2 a, b;  // in grid units: point (column, row) sits at (column, row)
};

// Marching squares over columns x rows values (row after row) at level:
// each square of four used neighbouring points that level crosses gives
// one or two segments, their ends placed by linear interpolation along
// the square's edges. Squares with an unused corner (used[i] false) give
// none. A saddle is split by the square's mean value.
std::vector<Segment> Isolines(const std::vector<float>& values, const std::vector<bool>& used, int columns, int rows,
                              float level);

}  // namespace example
