// isolines.cpp - marching squares. Corners are numbered 0 (column, row),
// 1 (column + 1, row), 2 (column + 1, row + 1), 3 (column, row + 1); edge k
// runs from corner k to corner k + 1. A corner above the level sets its bit
// of the square's case; each case pairs the edges the line crosses.
#include "isolines.h"

namespace example {
namespace {

// Edge pairs per case (-1: none); cases 5 and 10 are the saddles.
const int kEdges[16][4] = {
    {-1, -1, -1, -1}, {3, 0, -1, -1}, {0, 1, -1, -1}, {3, 1, -1, -1}, {1, 2, -1, -1}, {3, 0, 1, 2},
    {0, 2, -1, -1},   {3, 2, -1, -1}, {2, 3, -1, -1}, {2, 0, -1, -1}, {0, 1, 2, 3},   {2, 1, -1, -1},
    {1, 3, -1, -1},   {1, 0, -1, -1}, {0, 3, -1, -1}, {-1, -1, -1, -1},
};
const int kCornerX[4] = {0, 1, 1, 0}, kCornerY[4] = {0, 0, 1, 1};

}  // namespace

std::vector<Segment> Isolines(const std::vector<float>& values, const std::vector<bool>& used, int columns, int rows,
                              float level)
{
    std::vector<Segment> segments;
    for (int row = 0; row + 1 < rows; ++row)
        for (int column = 0; column + 1 < columns; ++column) {
            float v[4];
            int index = 0;
            bool complete = true;
            for (int k = 0; k < 4; ++k) {
                size_t i = static_cast<size_t>(row + kCornerY[k]) * columns + column + kCornerX[k];
                complete = complete && used[i];
                v[k] = values[i];
                if (v[k] > level) index |= 1 << k;
            }
            if (!complete) continue;
            // A saddle whose centre lies on the other side pairs the edges the other way.
            if ((index == 5 || index == 10) && (v[0] + v[1] + v[2] + v[3]) * 0.25f > level) index = 15 - index;
            auto crossing = [&](int edge) {
                int a = edge, b = (edge + 1) % 4;
                float t = (level - v[a]) / (v[b] - v[a]);
                return Vec2{column + kCornerX[a] + t * (kCornerX[b] - kCornerX[a]),
                            row + kCornerY[a] + t * (kCornerY[b] - kCornerY[a])};
            };
            for (int pair = 0; pair < 4 && kEdges[index][pair] >= 0; pair += 2)
                segments.push_back(Segment{crossing(kEdges[index][pair]), crossing(kEdges[index][pair + 1])});
        }
    return segments;
}

}  // namespace example
