// ies_reader.cpp - the IES LM-63-1991 reader: files and host streams that
// begin with "IESNA91".
//
// The reader walks the format's numeric part in order and skips the rest:
// the edition token, any number of keyword lines (each starting with "["),
// the tilt line (not interpreted: tilt data are not read), the lamp and
// luminaire header, the two angle lists and the candela table, horizontal
// angle by horizontal angle. Numbers are separated by any white space and
// may stand on any line. A token is converted by its leading numeric part,
// as atoi and atof do; a field that ends the input early, a number that is
// not finite, or counts outside the accepted bounds fail the read. The
// distribution is prepared and published only when everything succeeded.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "VekLight.h"
#include "lights/distribution.h"
#include "lights/ies_tokenizer.h"

namespace vek {
namespace {

constexpr char kEdition[] = "IESNA91";
constexpr int kEditionLength = sizeof kEdition - 1;

using Token = char[IesTokenizer::kTokenCapacity];

// An integer field: the token's leading digits, held to the 32-bit range
// (so a count of 2^31 reads as 2147483647 and meets the count bounds).
bool ReadInteger(IesTokenizer& in, int32_t& value)
{
    Token token;
    if (in.ReadToken(token) < 0) return false;
    const long long v = std::strtoll(token, nullptr, 10);
    value = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    return true;
}

bool ReadDouble(IesTokenizer& in, double& value)
{
    Token token;
    if (in.ReadToken(token) < 0) return false;
    value = std::strtod(token, nullptr);
    return std::isfinite(value);
}

bool ReadFloat(IesTokenizer& in, float& value)
{
    double v;
    if (!ReadDouble(in, v) || std::fabs(v) > FLT_MAX) return false;
    value = static_cast<float>(v);
    return true;
}

// A field the library does not keep.
bool SkipField(IesTokenizer& in)
{
    Token token;
    return in.ReadToken(token) >= 0;
}

bool Parse(IesTokenizer& in, StagedDistribution& staged)
{
    _VekGeneralLightData& d = staged.data();
    // 1. The push-back stack starts empty: the tokenizer is new.

    // 2. The edition, exactly.
    Token token;
    if (in.ReadToken(token) != kEditionLength || std::memcmp(token, kEdition, kEditionLength) != 0) return false;

    // 3. Keyword lines: each starts with "[" after optional white space.
    in.SkipWhiteSpace();
    int c = in.Get();
    while (c == '[') {
        if (!in.ReadLine()) return false;
        in.SkipWhiteSpace();
        c = in.Get();
    }
    if (c == IesTokenizer::kEnd) return false;
    in.Unget(c);

    // 4. The tilt line, whatever it says.
    if (!in.ReadLine()) return false;

    // 5.-13. Lamps (not kept), lumens per lamp, candela multiplier, the two
    // counts, photometric type (not kept), units, the luminous opening, and
    // ballast factor, reserved factor and input watts (not kept). The
    // counts are judged before anything is allocated.
    int32_t verticalCount, horizontalCount;
    if (!SkipField(in) || !ReadFloat(in, d.lumensPerLamp) || !ReadFloat(in, d.candelaMultiplier)) return false;
    if (!ReadInteger(in, verticalCount) || !AcceptableCounts(verticalCount, 1)) return false;
    if (!ReadInteger(in, horizontalCount) || !AcceptableCounts(verticalCount, horizontalCount)) return false;
    d.verticalCount = verticalCount;
    d.horizontalCount = horizontalCount;
    if (!SkipField(in) || !ReadInteger(in, d.unitsType)) return false;
    if (!ReadFloat(in, d.width) || !ReadFloat(in, d.length) || !ReadFloat(in, d.height)) return false;
    if (!SkipField(in) || !SkipField(in) || !SkipField(in)) return false;

    // 14.-16. The angles, then the candela table as written: all vertical
    // values of the first horizontal angle, then the next. No multiplier is
    // applied.
    if (!staged.AllocateTables()) return false;
    for (int32_t i = 0; i < verticalCount; ++i)
        if (!ReadFloat(in, d.verticalAngles[i])) return false;
    for (int32_t j = 0; j < horizontalCount; ++j)
        if (!ReadFloat(in, d.horizontalAngles[j])) return false;
    const size_t values = static_cast<size_t>(verticalCount) * static_cast<size_t>(horizontalCount);
    for (size_t k = 0; k < values; ++k)
        if (!ReadDouble(in, d.candela[k])) return false;

    // A source cut off at the input bound never counts as read, even if its
    // last token happened to complete the table.
    if (in.Exhausted()) return false;

    // 17. Preparation.
    return staged.Prepare();
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace
}  // namespace vek

_VekGeneralLightData* VekLight_InstanciateGeneralLightDataWithFile(const char* path)
{
    if (!path) return nullptr;
    std::unique_ptr<std::FILE, vek::FileCloser> file(std::fopen(path, "r"));
    if (!file) return nullptr;
    vek::IesTokenizer in(file.get());
    vek::StagedDistribution staged;
    if (!vek::Parse(in, staged)) return nullptr;
    return staged.Publish(path);
}

void* VekLight_InstanciateGeneralLightDataWithStream(stream_interface* stream)
{
    if (!stream) return nullptr;
    // The name is copied first: the stream only promises it for the moment.
    char name[sizeof(_VekGeneralLightData::name)];
    const char* streamName = stream->name();
    std::snprintf(name, sizeof name, "%s", streamName ? streamName : "");

    vek::IesTokenizer in(stream);
    vek::StagedDistribution staged;
    if (!vek::Parse(in, staged)) return nullptr;
    return staged.Publish(name);
}
