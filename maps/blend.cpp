// blend.cpp - colour blending, the image inversion behind inverted display
// images, and the average blended colour of a map over a face's region.
//
// The average walks the texel columns and rows that the region's map
// coordinates cover, both ends included, wrapping into the image. A region
// wider than the image repeats whole periods of texels; instead of visiting
// every repetition, each distinct texel is visited once with the number of
// times the walk would meet it, so the work never exceeds the image's size
// however large the coordinates are, and the answer is the same.
#include <cmath>
#include <cstring>

#include "VekAttribute.h"
#include "VekMap.h"
#include "maps/image_size.h"
#include "maps/texel.h"

namespace vek {
namespace {

// Turns a byte into [0, 1].
constexpr float kByteToUnit = 0.003921568f;

// Each component below low becomes low, then each above high becomes high.
CG::vec3<float> ClampColor(CG::vec3<float> colour, float low, float high)
{
    for (int i = 0; i < 3; ++i) {
        if (colour[i] < low) colour[i] = low;
        if (colour[i] > high) colour[i] = high;
    }
    return colour;
}

float BlendComponent(long mode, float alpha, float ratio, float base, float mapColour, float limit)
{
    const float m = mapColour * ratio;
    switch (mode) {
    case 1: return (1 - ratio) * base + m;          // mix by ratio
    case 2: return (1 - alpha * ratio) * base + m;  // mix by ratio and the texel's alpha
    case 3: return m + base;                        // add
    case 4: return base - m;                        // subtract
    case 5: return ((mapColour * base) * ratio) / limit;  // multiply on the caller's scale
    case 6: return base > m ? base : m;             // the larger
    case 7: return base < m ? base : m;             // the smaller
    default: return mapColour;                      // the map's colour unchanged
    }
}

CG::vec3<float> Blend(long mode, float alpha, float ratio, const CG::vec3<float>& base,
                      const CG::vec3<float>& mapColour, float limit)
{
    CG::vec3<float> result;
    for (int i = 0; i < 3; ++i) result[i] = BlendComponent(mode, alpha, ratio, base[i], mapColour[i], limit);
    return ClampColor(result, 0.0f, limit);
}

// Smallest and largest u and v over the coordinates, from the first one on.
void GetMapCoordBounds(long count, const CG::vec3<float>* mapCoords, CG::vec3<float>& min, CG::vec3<float>& max)
{
    min = max = mapCoords[0];
    for (long i = 1; i < count; ++i) {
        for (int axis = 0; axis < 2; ++axis) {
            if (mapCoords[i][axis] < min[axis]) min[axis] = mapCoords[i][axis];
            if (mapCoords[i][axis] > max[axis]) max[axis] = mapCoords[i][axis];
        }
    }
}

// The cells first..last of one image axis (columns or rows), both ends
// included, wrapped into the axis's size. The walk meets cell (start + k)
// mod size, for k below visits, Count(k) times.
struct WrappedSpan {
    int64_t start = 0;      // the first cell, wrapped
    int64_t visits = 0;     // distinct cells: the span's length, at most size
    double length = 0;      // cells in the span, repetitions included
    double periods = 0;     // whole periods: every cell is met this often...
    int64_t remainder = 0;  // ...and the first remainder cells once more

    // From the span's coordinates; false when it is not finite.
    bool Set(int32_t size, float lowCoord, float highCoord)
    {
        // Ends truncated toward zero, as single-precision products.
        const float first = std::trunc(static_cast<float>(size) * lowCoord);
        const float last = std::trunc(static_cast<float>(size) * highCoord);
        if (!std::isfinite(first) || !std::isfinite(last) || size < 1) return false;
        length = static_cast<double>(last) - static_cast<double>(first) + 1.0;
        double wrapped = std::fmod(static_cast<double>(first), size);
        if (wrapped < 0) wrapped += size;
        start = static_cast<int64_t>(wrapped);
        const double rest = std::fmod(length, size);
        periods = (length - rest) / size;
        remainder = static_cast<int64_t>(rest);
        visits = length < size ? static_cast<int64_t>(length) : size;
        return true;
    }
    int64_t Cell(int64_t k, int32_t size) const { return start + k < size ? start + k : start + k - size; }
    double Count(int64_t k) const { return periods + (k < remainder ? 1.0 : 0.0); }
};

// An average channel on the 0..255 scale, truncated toward zero; a value
// that is not a number (from a NaN base or ratio) reads as 0.
int TruncateChannel(double value) { return value > 0.0 ? static_cast<int>(std::fmin(value, 255.0)) : 0; }

}  // namespace
}  // namespace vek

CG::vec3<float> VekMap_BlendMapColor(long mode, float alpha, float ratio, CG::vec3<float> base,
                                     CG::vec3<float> mapColour, float limit)
{
    return vek::Blend(mode, alpha, ratio, base, mapColour, limit);
}

void VekMap_BlendMap(long blendMode, long invert, VekAttribute* attribute, unsigned char* out)
{
    // blendMode does not change the image: the display blends when it draws.
    if (!attribute || !out) return;
    const _VekMap* map = attribute->map1;
    size_t bytes = 0;
    if (!map || !map->pixels || !vek::ImageBytes(map->width, map->height, map->components, bytes) || bytes == 0)
        return;
    if (!invert) {
        std::memcpy(out, map->pixels, bytes);
        return;
    }
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(255 - map->pixels[i]);
}

CG::vec3<int> VekMap_GetAverageColor(_VekMap* map, CG::vec3<float>& base, long invert, long mode, float ratio,
                                     long count, CG::vec3<float>* mapCoords)
{
    const CG::vec3<int> none(0, 0, 0);
    if (!map || !map->pixels || !mapCoords || count < 1) return none;
    // 1. The region's bounds.
    CG::vec3<float> min, max;
    vek::GetMapCoordBounds(count, mapCoords, min, max);
    // 2. Its columns and rows.
    vek::WrappedSpan columns, rows;
    if (!columns.Set(map->width, min.x, max.x) || !rows.Set(map->height, min.y, max.y)) return none;
    // 3. The base colour on the texels' scale.
    const CG::vec3<float> b255 = base * 255.0f;
    // 4. Every texel met, blended, summed as often as the walk meets it.
    double sum[3] = {0, 0, 0};
    for (int64_t j = 0; j < rows.visits; ++j) {
        const int64_t ty = rows.Cell(j, map->height);
        const double rowCount = rows.Count(j);
        for (int64_t i = 0; i < columns.visits; ++i) {
            const unsigned char* t = vek::TexelAt(*map, columns.Cell(i, map->width), ty);
            const float alpha = map->components >= 4 ? t[3] * vek::kByteToUnit : 1.0f;
            CG::vec3<float> colour = map->components < 3 ? CG::vec3<float>(t[0], t[0], t[0])
                                                         : CG::vec3<float>(t[0], t[1], t[2]);
            if (invert) colour = CG::vec3<float>(255 - colour.x, 255 - colour.y, 255 - colour.z);
            const CG::vec3<float> blended = vek::Blend(mode, alpha, ratio, b255, colour, 255.0f);
            const double times = rowCount * columns.Count(i);
            for (int c = 0; c < 3; ++c) sum[c] += times * blended[c];
        }
    }
    // 5. The mean, truncated.
    const double texels = columns.length * rows.length;
    return CG::vec3<int>(vek::TruncateChannel(sum[0] / texels), vek::TruncateChannel(sum[1] / texels),
                         vek::TruncateChannel(sum[2] / texels));
}
