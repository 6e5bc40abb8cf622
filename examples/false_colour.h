// false_colour.h - the floor's illuminance as a false-colour picture with
// a scale legend, the way lighting designers read a calculation.
#pragma once

#include "image.h"
#include "render.h"

namespace example {

struct IlluminanceSummary {
    float minimum, average, maximum;  // lux over the grid
    float scaleTop;                   // lux at the top of the colour scale
};

// Draws floor as a false-colour map (y growing upward in the picture, as on
// a plan) with a title, a colour legend in lux, a one-metre bar and the
// minimum, average and maximum. summary receives the figures.
Image DrawIlluminanceMap(const FloorIlluminance& floor, IlluminanceSummary& summary);

}  // namespace example
