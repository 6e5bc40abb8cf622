// general_light.cpp - general (photometric) lights made from arrays, from
// IES files and from host streams.
//
// Lights made from the same path share one distribution record: the list of
// distributions is searched by name before a file is read, so a file is read
// once however many lights use it. Streams and arrays always make a new
// record. A distribution that cannot be obtained makes no light and is
// reported with VEK_WARNING_FAIL_READ_GENERAL_LIGHT, naming the path or the
// stream.
#include <cstdio>
#include <cstring>

#include "VekMemory.h"
#include "core/report.h"
#include "lights/light_common.h"

namespace {

constexpr const char* kName = "VekLight_InstanciateGeneralLight";

// The first record read from this path. Records made from arrays have no
// name, and an empty path names no file, so it never matches.
_VekGeneralLightData* FindByPath(const char* path)
{
    if (!path || !*path) return nullptr;
    for (_VekGeneralLightData* d = VekMemory_GetGeneralLightDataList(); d; d = d->next)
        if (std::strcmp(d->name, path) == 0) return d;
    return nullptr;
}

// "VekLight_InstanciateGeneralLight : <source>", cut to the 255 characters
// a warning text holds.
void ReportUnreadable(const char* source)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s : %s", kName, source ? source : "");
    vek::Warn(VEK_WARNING_FAIL_READ_GENERAL_LIGHT, text);
}

// 3. The common start with the energy floor only, then the light's frame
// and its distribution.
_VekLight* MakeGeneralLight(float* energy, float* position, float* orientation, _VekGeneralLightData* data)
{
    _VekLight* light = vek::StartLight(VEK_LIGHT_GENERAL);
    auto& g = *static_cast<_VekGeneralLight*>(light->parameters);
    vek::FloorEnergy(energy, g.energy);
    g.position = CG::vec3<float>(position[0], position[1], position[2]);
    std::memcpy(g.orientation, orientation, sizeof g.orientation);
    g.data = data;
    return light;
}


}  // namespace

_VekLight* VekLight_InstanciateGeneralLightInternal(float* energy, float* position, float* orientation,
                                                    float lumensPerLamp, float candelaMultiplier,
                                                    int32_t verticalCount, float* verticalAngles,
                                                    int32_t horizontalCount, float* horizontalAngles,
                                                    float* candela)
{
    if (!vek::HasVectors(kName, {energy, position, orientation})) return nullptr;
    _VekGeneralLightData* data = VekLight_InstanciateGeneralLightData(
        lumensPerLamp, candelaMultiplier, verticalCount, verticalAngles, horizontalCount, horizontalAngles, candela);
    if (!data) {
        vek::Warn(VEK_WARNING_FAIL_READ_GENERAL_LIGHT, kName);
        return nullptr;
    }
    return MakeGeneralLight(energy, position, orientation, data);
}

int32_t VekLight_InstanciateGeneralLight(float* energy, float* position, float* orientation, float lumensPerLamp,
                                         float candelaMultiplier, int32_t verticalCount, float* verticalAngles,
                                         int32_t horizontalCount, float* horizontalAngles, float* candela)
{
    return vek::IndexOf(VekLight_InstanciateGeneralLightInternal(energy, position, orientation, lumensPerLamp,
                                                            candelaMultiplier, verticalCount, verticalAngles,
                                                            horizontalCount, horizontalAngles, candela));
}

_VekLight* VekLight_InstanciateGeneralLightWithFileInternal(float* energy, float* position, const char* path,
                                                            float* orientation)
{
    if (!vek::HasVectors(kName, {energy, position, orientation})) return nullptr;
    _VekGeneralLightData* data = FindByPath(path);
    if (!data) data = VekLight_InstanciateGeneralLightDataWithFile(path);
    if (!data) {
        ReportUnreadable(path);
        return nullptr;
    }
    return MakeGeneralLight(energy, position, orientation, data);
}

int32_t VekLight_InstanciateGeneralLightWithFile(float* energy, float* position, const char* path,
                                                 float* orientation)
{
    return vek::IndexOf(VekLight_InstanciateGeneralLightWithFileInternal(energy, position, path, orientation));
}

_VekLight* VekLight_InstanciateGeneralLightWithStreamInternal(float* energy, float* position,
                                                              stream_interface* stream, float* orientation)
{
    if (!vek::HasVectors(kName, {energy, position, orientation})) return nullptr;
    auto* data = static_cast<_VekGeneralLightData*>(VekLight_InstanciateGeneralLightDataWithStream(stream));
    if (!data) {
        ReportUnreadable(stream ? stream->name() : nullptr);
        return nullptr;
    }
    return MakeGeneralLight(energy, position, orientation, data);
}

int32_t VekLight_InstanciateGeneralLightWithStream(float* energy, float* position, stream_interface* stream,
                                                   float* orientation)
{
    return vek::IndexOf(VekLight_InstanciateGeneralLightWithStreamInternal(energy, position, stream, orientation));
}
