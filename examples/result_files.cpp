// result_files.cpp - CSV by hand (plain numbers), JSON through nlohmann.
#include "result_files.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

namespace example {
namespace {

// Millimetres and tenths of a lux: finer digits would only show noise.
double Round(double value, double unit) { return std::round(value / unit) * unit; }

nlohmann::json Figures(const GridFigures& f)
{
    return {{"Emin", Round(f.minimum, 0.1)}, {"Eavg", Round(f.average, 0.1)}, {"Emax", Round(f.maximum, 0.1)},
            {"U0", Round(f.uniformity, 0.001)}};
}

bool Save(const std::string& path, const std::string& text, std::string& why)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.flush();
    if (!out) {
        why = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string FileStem(const std::string& name)
{
    std::string stem;
    for (unsigned char c : name) stem += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_';
    return stem.empty() ? "grid" : stem;
}

bool WriteGridCsv(const std::string& path, const GridResult& r, std::string& why)
{
    std::string text = "x_m,y_m,z_m,direct_lx,indirect_lx,total_lx\n";
    char line[160];
    const CalculationGrid& g = r.grid;
    for (int row = 0; row < g.rows; ++row)
        for (int column = 0; column < g.columns; ++column) {
            size_t i = g.Index(column, row);
            if (!g.inside[i]) continue;
            Vec3 p = g.World(g.At(column, row));
            std::snprintf(line, sizeof line, "%.3f,%.3f,%.3f,%.1f,%.1f,%.1f\n", p.x, p.y, p.z, r.direct[i],
                          r.indirect[i], r.total[i]);
            text += line;
        }
    return Save(path, text, why);
}

bool WriteResultsJson(const std::string& path, const std::string& scenePath, const IndirectDesc& indirect,
                      const std::vector<GridResult>& results, std::string& why)
{
    nlohmann::json grids = nlohmann::json::array();
    for (const GridResult& r : results) {
        const CalculationGrid& g = r.grid;
        nlohmann::json points = nlohmann::json::array();
        for (int row = 0; row < g.rows; ++row)
            for (int column = 0; column < g.columns; ++column) {
                size_t i = g.Index(column, row);
                if (!g.inside[i]) continue;
                Vec3 p = g.World(g.At(column, row));
                points.push_back({Round(p.x, 0.001), Round(p.y, 0.001), Round(p.z, 0.001), Round(r.direct[i], 0.1),
                                  Round(r.indirect[i], 0.1), Round(r.total[i], 0.1)});
            }
        grids.push_back({{"name", g.name},
                         {"kind", g.kind == GridKind::Horizontal ? "horizontal" : "vertical"},
                         {"columns", g.columns},
                         {"rows", g.rows},
                         {"spacing_m", {Round(g.uStep, 0.001), Round(g.vStep, 0.001)}},
                         {"total_lx", Figures(r.totalFigures)},
                         {"direct_lx", Figures(r.directFigures)},
                         {"indirect_lx", Figures(r.indirectFigures)},
                         {"points", std::move(points)}});
    }
    nlohmann::json document = {{"scene", scenePath},
                               {"indirect", {{"samples", indirect.samples}, {"bounces", indirect.bounces}}},
                               {"columns", {"x_m", "y_m", "z_m", "direct_lx", "indirect_lx", "total_lx"}},
                               {"grids", std::move(grids)}};
    return Save(path, document.dump(1) + "\n", why);
}

}  // namespace example
