// map.cpp - map records: the current filter state and its setters, map
// creation, image binding with its average colour, unbinding, the count.
//
// Binding validates the host's sizes through one checked helper before it
// allocates anything; the copy then belongs to the map, and the image
// registry (map_images.h) decides when an earlier copy may be released.
#include <algorithm>
#include <climits>
#include <cstring>

#include "VekMap.h"
#include "VekMemory.h"
#include "core/report.h"
#include "core/subsystems.h"
#include "maps/image_size.h"
#include "maps/map_images.h"
#include "scene/attribute.h"

namespace vek {
namespace {

constexpr long kLastMinFilter = 5;  // linear-mipmap-linear
constexpr long kLastMagFilter = 1;  // linear

// The current map state: the filters that the next map takes.
struct MapFilterState {
    int32_t minFilter;  // minification code, 0..5 when valid
    int32_t magFilter;  // magnification code, 0..1 when valid
};

MapFilterState g_mapFilters;

// Host values arrive as long, record fields are 32-bit. A value beyond the
// field saturates: it keeps its sign and its side of every range check.
int32_t Narrow(long value)
{
    return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

bool IsComponentCount(long components) { return components == 1 || components == 3 || components == 4; }

// Per-channel byte sums of the first three bytes of each pixel (the grey
// byte for one component). Sums are exact: 32-bit partial sums over chunks
// small enough that 255 per pixel cannot overflow them, gathered in 64 bits
// (a white 4096 x 4096 image already sums past 2^31).
template <int Components>
void SumChannels(const unsigned char* p, size_t pixels, uint64_t sums[3])
{
    constexpr size_t kChunk = size_t(1) << 24;  // 255 * 2^24 < 2^32
    constexpr int kChannels = Components < 3 ? 1 : 3;
    while (pixels > 0) {
        const size_t n = std::min(pixels, kChunk);
        uint32_t partial[3] = {0, 0, 0};
        for (size_t i = 0; i < n; ++i, p += Components)
            for (int c = 0; c < kChannels; ++c) partial[c] += p[c];
        for (int c = 0; c < 3; ++c) sums[c] += partial[kChannels == 1 ? 0 : c];
        pixels -= n;
    }
}

// Mean red, green and blue in [0, 1], divided in single precision in the
// order sum / N / 255. An image without pixels has the mean (0, 0, 0).
void ComputeAverageColor(_VekMap& map)
{
    const size_t pixels = static_cast<size_t>(map.width) * static_cast<size_t>(map.height);
    uint64_t sums[3] = {0, 0, 0};
    if (pixels > 0 && map.pixels) {
        switch (map.components) {
        case 1: SumChannels<1>(map.pixels, pixels, sums); break;
        case 3: SumChannels<3>(map.pixels, pixels, sums); break;
        case 4: SumChannels<4>(map.pixels, pixels, sums); break;
        }
    }
    for (int c = 0; c < 3; ++c)
        map.averageColor[c] = pixels > 0 ? static_cast<float>(sums[c]) / static_cast<float>(pixels) / 255 : 0.0f;
}

}  // namespace

void ResetMapFilterState() { g_mapFilters = MapFilterState{0, 0}; }

}  // namespace vek

using vek::g_mapFilters;

void VekMap_SetMinFilter(long filter)
{
    // Stored in any case: an unknown code still decides mipmaps at upload.
    g_mapFilters.minFilter = vek::Narrow(filter);
    if (filter < 0 || filter > vek::kLastMinFilter) vek::Warn(VEK_WARNING_INVALID_VALUE, "VekMap_SetMinFilter");
}

void VekMap_SetMagFilter(long filter)
{
    g_mapFilters.magFilter = vek::Narrow(filter);
    if (filter < 0 || filter > vek::kLastMagFilter) vek::Warn(VEK_WARNING_INVALID_VALUE, "VekMap_SetMagFilter");
}

void VekMap_Instanciate(const char* name, const char* path)
{
    // 1. A record from the pool, appended to the map list and counted.
    _VekMap* map = VekMemory_AllocateMap();
    // 2. No image yet.
    map->width = map->height = map->components = 0;
    map->pixels = nullptr;
    map->averageColor[0] = map->averageColor[1] = map->averageColor[2] = 0.0f;
    // 3. Name and the current filters.
    vek::CopyName(map->name, sizeof map->name, name);
    map->minFilter = g_mapFilters.minFilter;
    map->magFilter = g_mapFilters.magFilter;
    // 4. The path, for the host only; a record taken from the pool holds
    //    leftovers, so no path is an empty one.
    vek::CopyName(map->path, sizeof map->path, path);
}

void VekMap_BindImage(const char* name, long width, long height, long components, const unsigned char* pixels)
{
    const char* const functionName = "VekMap_BindImage";
    // 1. The map.
    _VekMap* map = vek::FindMap(name);
    if (!map) vek::Fail(VEK_ERROR_INVALID_NAME, functionName);

    // 2. Each size is stored once the one before it has passed; the first
    //    that fails leaves the rest as they were. Then the byte count must
    //    fit, and pixels must be given when there are bytes to copy.
    bool valid = true;
    map->width = vek::Narrow(width);
    if (width < 0) valid = false;
    if (valid) {
        map->height = vek::Narrow(height);
        if (height < 0) valid = false;
    }
    if (valid) {
        map->components = vek::Narrow(components);
        if (!vek::IsComponentCount(components)) valid = false;
    }
    size_t bytes = 0;
    if (valid && !(vek::ImageBytes(width, height, components, bytes) && (pixels || bytes == 0))) valid = false;
    if (!valid) {
        vek::DetachMapImage(map);
        vek::Fail(VEK_ERROR_INVALID_VALUE, functionName);
    }

    // 3. The library's own copy; an image without pixels has none. The
    //    buffer may be the map's current copy, which the host may also have
    //    passed as pixels: memmove copes with both.
    unsigned char* copy = nullptr;
    if (bytes > 0) {
        copy = vek::MapImageBuffer(map, bytes);
        if (!copy) {
            vek::DetachMapImage(map);
            vek::Fail(VEK_ERROR_MEMORY, functionName);
        }
        std::memmove(copy, pixels, bytes);
    }
    vek::AdoptMapImage(map, copy, vek::ImageShape{map->width, map->height, map->components});

    // 4. The average colour.
    vek::ComputeAverageColor(*map);
}

void VekMap_UnbindImage(const char* name)
{
    _VekMap* map = vek::FindMap(name);
    if (!map) vek::Fail(VEK_ERROR_INVALID_NAME, "VekMap_UnbindImage");
    // The size fields and the average colour stay for the host.
    vek::DetachMapImage(map);
}

long VekMap_GetCount() { return g_mainStatusTable.mapCount; }
