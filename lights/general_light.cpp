// general_light.cpp - general (photometric) lights made from arrays, from
// IES files and from host streams: LM-63-1991 ones, and those of every
// edition.
//
// Lights made from the same path share one distribution record: the list of
// distributions is searched by name before a file is read, so a file is read
// once however many lights use it, whichever of the two file forms reads
// it. Streams and arrays always make a new record. A distribution that
// cannot be obtained makes no light and is reported with
// VEK_WARNING_FAIL_READ_GENERAL_LIGHT, naming the path or the stream.
#include <cstdio>
#include <cstring>

#include "VekMemory.h"
#include "core/report.h"
#include "lights/ies_editions.h"
#include "lights/light_common.h"

namespace {

constexpr const char* kName = "VekLight_InstanciateGeneralLight";
constexpr const char* kIesFileName = "VekLight_InstanciateGeneralLightWithIesFile";
constexpr const char* kIesStreamName = "VekLight_InstanciateGeneralLightWithIesStream";

// The first record read from this path. Records made from arrays have no
// name, and an empty path names no file, so it never matches.
_VekGeneralLightData* FindByPath(const char* path)
{
    if (!path || !*path) return nullptr;
    for (_VekGeneralLightData* d = VekMemory_GetGeneralLightDataList(); d; d = d->next)
        if (std::strcmp(d->name, path) == 0) return d;
    return nullptr;
}

// "<functionName> : <source>", cut to the 255 characters a warning text
// holds.
void ReportUnreadable(const char* functionName, const char* source)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s : %s", functionName, source ? source : "");
    vek::Warn(VEK_WARNING_FAIL_READ_GENERAL_LIGHT, text);
}

// A read of any edition that stopped on a value the library does not take
// (tilt data in another file, photometry of type A or B) names it in its own
// warning first; the failed read is reported last, as the other forms do.
void ReportIesUnreadable(const char* functionName, const char* source)
{
    if (vek::IesReadRefusedValue()) {
        char text[256];
        std::snprintf(text, sizeof text, "%s : %s", functionName, VekLight_GetIesReadMessage());
        vek::Warn(VEK_WARNING_INVALID_VALUE, text);
    }
    ReportUnreadable(functionName, source);
}

// The IES forms start with an empty read message; a missing vector is the
// call's failure, not the file's, but the message still says why.
bool HasIesVectors(const char* functionName, const float* energy, const float* position, const float* orientation)
{
    vek::SetIesReadMessage("");
    if (vek::HasVectors(functionName, {energy, position, orientation})) return true;
    vek::SetIesReadMessage("energy, position and orientation must be given");
    return false;
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

// A file or stream form's reader and its report of a failed read.
using FileReader = _VekGeneralLightData* (*)(const char* path);
using StreamReader = _VekGeneralLightData* (*)(stream_interface* stream);
using Reporter = void (*)(const char* functionName, const char* source);

// The file forms, of either reader: lights from one path share the
// distribution read first, whichever reader read it.
_VekLight* LightFromFile(const char* functionName, FileReader read, Reporter report, float* energy,
                         float* position, const char* path, float* orientation)
{
    _VekGeneralLightData* data = FindByPath(path);
    if (!data) data = read(path);
    if (!data) {
        report(functionName, path);
        return nullptr;
    }
    return MakeGeneralLight(energy, position, orientation, data);
}

// The stream forms, of either reader: every stream is read.
_VekLight* LightFromStream(const char* functionName, StreamReader read, Reporter report, float* energy,
                           float* position, stream_interface* stream, float* orientation)
{
    _VekGeneralLightData* data = read(stream);
    if (!data) {
        report(functionName, stream ? stream->name() : nullptr);
        return nullptr;
    }
    return MakeGeneralLight(energy, position, orientation, data);
}

_VekGeneralLightData* Read1991Stream(stream_interface* stream)
{
    return static_cast<_VekGeneralLightData*>(VekLight_InstanciateGeneralLightDataWithStream(stream));
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
    return LightFromFile(kName, VekLight_InstanciateGeneralLightDataWithFile, ReportUnreadable, energy, position, path,
                         orientation);
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
    return LightFromStream(kName, Read1991Stream, ReportUnreadable, energy, position, stream, orientation);
}

int32_t VekLight_InstanciateGeneralLightWithStream(float* energy, float* position, stream_interface* stream,
                                                   float* orientation)
{
    return vek::IndexOf(VekLight_InstanciateGeneralLightWithStreamInternal(energy, position, stream, orientation));
}

_VekLight* VekLight_InstanciateGeneralLightWithIesFileInternal(float* energy, float* position, const char* path,
                                                               float* orientation)
{
    if (!HasIesVectors(kIesFileName, energy, position, orientation)) return nullptr;
    return LightFromFile(kIesFileName, vek::ReadIesFile, ReportIesUnreadable, energy, position, path, orientation);
}

int32_t VekLight_InstanciateGeneralLightWithIesFile(float* energy, float* position, const char* path,
                                                    float* orientation)
{
    return vek::IndexOf(VekLight_InstanciateGeneralLightWithIesFileInternal(energy, position, path, orientation));
}

_VekLight* VekLight_InstanciateGeneralLightWithIesStreamInternal(float* energy, float* position,
                                                                 stream_interface* stream, float* orientation)
{
    if (!HasIesVectors(kIesStreamName, energy, position, orientation)) return nullptr;
    return LightFromStream(kIesStreamName, vek::ReadIesStream, ReportIesUnreadable, energy, position, stream,
                           orientation);
}

int32_t VekLight_InstanciateGeneralLightWithIesStream(float* energy, float* position, stream_interface* stream,
                                                      float* orientation)
{
    return vek::IndexOf(
        VekLight_InstanciateGeneralLightWithIesStreamInternal(energy, position, stream, orientation));
}
