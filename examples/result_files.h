// result_files.h - the grids' numbers as files other programs read: one
// CSV per grid (every point) and one JSON file with every grid's figures
// and points.
#pragma once

#include <string>
#include <vector>

#include "grid_calculation.h"

namespace example {

// A file name made of a grid's name: lower case letters, digits and '_'.
std::string FileStem(const std::string& name);

// x, y, z (metres, world), direct, indirect, total (lx), one used point a row.
bool WriteGridCsv(const std::string& path, const GridResult& result, std::string& why);

// {"scene", "indirect", "grids": [{name, kind, points, spacing, figures of
// direct, indirect and total light, "points": [[x, y, z, direct, indirect,
// total], ...]}]}.
bool WriteResultsJson(const std::string& path, const std::string& scenePath, const IndirectDesc& indirect,
                      const std::vector<GridResult>& results, std::string& why);

}  // namespace example
