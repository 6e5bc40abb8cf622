// grid_map.h - a calculation grid's illuminance as the false-colour plan a
// lighting designer reads: the values in colour with isolines, a legend
// whose range covers them, the room outline and the luminaires, the
// figures (Emin, Eavg, Emax, U0) and a scale bar.
#pragma once

#include <string>

#include "grid_calculation.h"
#include "scene.h"

namespace example {

// Writes the map of result's total illuminance as a PNG at path. False,
// with the reason in why, when it cannot be written.
bool WriteGridMap(const GridResult& result, const Scene& scene, const std::string& path, std::string& why);

}  // namespace example
