// ies_editions.cpp - the reader of photometric files of every IES edition:
// LM-63-1986 (no edition line), 1991, 1995, 2002 and 2019, from a file or a
// host stream, beside the 1991 reader.
//
// The editions differ in how a file begins: an edition line (none in 1986),
// then label or keyword lines up to the TILT= line. What follows is the same
// in all of them, so one grammar reads them all:
//  1. The edition, from the first line. A first line that names none is a
//     label line of a 1986 file.
//  2. Label and keyword lines of any length, bracketed or not, [MORE]
//     continuations among them, up to the line that starts with TILT=.
//  3. TILT=NONE, or TILT=INCLUDE with its tilt block read and skipped. Tilt
//     data in another file are refused.
//  4. The header: lamps, lumens per lamp, candela multiplier, the two
//     counts, the photometric type (C only), units, the luminous opening,
//     and the three factors of the ballast line.
//  5. The angles, each list increasing, and the candela table as written:
//     all vertical values of the first horizontal angle, then the next.
//  6. A horizontal range from 90 to 270 degrees (symmetry about the 90-270
//     plane) unfolded to a full turn: the one type C symmetry that the
//     distribution does not know by its range.
//  7. Preparation and publication as the 1991 reader has them, so the same
//     numbers give the same record bit for bit.
// Numbers are whole tokens in the C locale's notation. A failure leaves a
// message naming the edition, the line and what was expected there.
#include "lights/ies_editions.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/checked.h"
#include "lights/distribution.h"
#include "lights/ies_text.h"
#include "lights/ies_tokenizer.h"

namespace vek {
namespace {

// The outcome of the last read on this thread.
struct IesReadOutcome {
    char message[256];     // why it failed; "" after a success
    bool refusedValue;     // it failed on a value the library does not take
};
thread_local IesReadOutcome tOutcome = {};

struct Edition {
    const char* line;           // the edition line's first token
    const char* name;           // how messages name the edition
    const char* secondFactor;   // the ballast line's middle field
};
constexpr Edition kEditions[] = {
    {"IESNA91", "LM-63-1991", "the ballast-lamp photometric factor"},
    {"IESNA:LM-63-1995", "LM-63-1995", "the ballast-lamp photometric factor"},
    {"IESNA:LM-63-2002", "LM-63-2002", "the future-use value"},
    {"IES:LM-63-2019", "LM-63-2019", "the file generation type"},
};
constexpr Edition kNoEditionLine = {"", "LM-63-1986", "the ballast-lamp photometric factor"};

// Photometric types as the header writes them; the library's distribution
// is type C (vertical angle from the luminaire's axis, horizontal about it).
constexpr int64_t kTypeC = 1, kTypeB = 2, kTypeA = 3;

// A type C range from 90 to 270 degrees is one half of a luminaire that is
// symmetric about the 90-270 plane.
constexpr float kQuarterTurn = 90.0f;
constexpr float kHalfTurn = 180.0f;
constexpr float kThreeQuarterTurn = 270.0f;
constexpr float kFullTurn = 360.0f;

static_assert(IesTokenizer::kMaxInputBytes == int64_t{32} << 20, "messages say 32 MiB");

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

const char* SkipBlanks(const char* s)
{
    while (IsBlank(*s)) ++s;
    return s;
}

// s begins with word, in any case.
bool StartsWithWord(const char* s, const char* word)
{
    for (; *word; ++s, ++word)
        if (std::toupper(static_cast<unsigned char>(*s)) != *word) return false;
    return true;
}

// s is word, in any case, and blanks at most.
bool IsWord(const char* s, const char* word)
{
    return StartsWithWord(s, word) && *SkipBlanks(s + std::strlen(word)) == '\0';
}

// s begins with token, exactly, followed by a blank or nothing.
bool StartsWithToken(const char* s, const char* token)
{
    const size_t n = std::strlen(token);
    return std::strncmp(s, token, n) == 0 && (s[n] == '\0' || IsBlank(s[n]));
}

// The value of a TILT= line (what follows the sign, blanks skipped), or null
// for another line. The keyword is read in any case, blanks allowed around
// the sign.
const char* TiltValue(const char* line)
{
    const char* s = SkipBlanks(line);
    if (!StartsWithWord(s, "TILT")) return nullptr;
    s = SkipBlanks(s + 4);
    return *s == '=' ? SkipBlanks(s + 1) : nullptr;
}

void Record(const char* message, bool refusedValue)
{
    std::snprintf(tOutcome.message, sizeof tOutcome.message, "%s", message);
    tOutcome.refusedValue = refusedValue;
}

bool IsHalfAbout90To270(const _VekGeneralLightData& d)
{
    return d.horizontalCount > 1 && d.horizontalAngles[0] == kQuarterTurn &&
           d.horizontalAngles[d.horizontalCount - 1] == kThreeQuarterTurn;
}

// Where the horizontal angle 180 stands; horizontalCount when nowhere.
int32_t HalfTurnIndex(const _VekGeneralLightData& d)
{
    int32_t k = 0;
    while (k < d.horizontalCount && d.horizontalAngles[k] != kHalfTurn) ++k;
    return k;
}

// What the reader expects next, for its message: a field, or item k (from
// 0) of a list of count, named only when the reader stops there.
struct Field {
    Field(const char* what) : what(what) {}
    Field(const char* what, int64_t item, int64_t count) : what(what), item(item), count(count) {}
    const char* what;
    int64_t item = -1;
    int64_t count = 0;
};

class EditionReader {
public:
    explicit EditionReader(IesTokenizer& in) : text_(in) {}

    // 1.-5. The text into staged, whose tables it allocates.
    bool Read(StagedDistribution& staged);
    // 6. half (90 to 270 degrees) unfolded into full.
    bool Unfold(StagedDistribution& half, StagedDistribution& full);
    // 7.
    bool Prepare(StagedDistribution& staged);

private:
    bool ReadTiltLine(IesText::Line& line);
    bool SkipTiltBlock();
    bool ReadHeader(_VekGeneralLightData& d);
    bool ReadTables(StagedDistribution& staged);

    bool Number(const Field& field, double& value);
    bool Float(const Field& field, float& value);
    bool Integer(const char* what, int64_t min, int64_t max, int64_t& value);

    // Each records "<edition>, line <n>: ..." and answers false.
    bool Stop(const char* text, const char* detail = "", bool refusedValue = false);
    bool Expected(const Field& field);

    IesText text_;
    const Edition* edition_ = &kNoEditionLine;
};

bool EditionReader::Stop(const char* text, const char* detail, bool refusedValue)
{
    char message[sizeof tOutcome.message];
    std::snprintf(message, sizeof message, "%s, line %lld: %s%s", edition_->name,
                  static_cast<long long>(text_.line()), text, detail);
    Record(message, refusedValue);
    return false;
}

bool EditionReader::Expected(const Field& field)
{
    if (field.item < 0) return Stop("expected ", field.what);
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s %lld of %lld", field.what, static_cast<long long>(field.item + 1),
                  static_cast<long long>(field.count));
    return Stop("expected ", detail);
}

bool EditionReader::Number(const Field& field, double& value)
{
    IesText::Token token;
    int length = 0;
    if (text_.ReadToken(token, length) != IesText::Read::kToken) return Expected(field);
    const char* first = token;
    const char* last = token + length;
    // from_chars takes no plus sign; "+-1" stays refused.
    if (length > 1 && first[0] == '+' && first[1] != '-') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) return Expected(field);
    return true;
}

bool EditionReader::Float(const Field& field, float& value)
{
    double v;
    if (!Number(field, v)) return false;
    if (std::fabs(v) > FLT_MAX) return Expected(field);
    value = static_cast<float>(v);
    return true;
}

bool EditionReader::Integer(const char* what, int64_t min, int64_t max, int64_t& value)
{
    double v;
    if (!Number(what, v)) return false;
    if (v != std::trunc(v)) return Expected(what);
    if (v < static_cast<double>(min) || v > static_cast<double>(max)) {
        char detail[160];
        std::snprintf(detail, sizeof detail, "%s from %lld to %lld", what, static_cast<long long>(min),
                      static_cast<long long>(max));
        return Stop("expected ", detail);
    }
    value = static_cast<int64_t>(v);
    return true;
}

// 1.-2. The edition, then every line up to the TILT= line, kept in line.
bool EditionReader::ReadTiltLine(IesText::Line& line)
{
    // Blank lines before the first line are not the first line. Text after
    // the edition is not read.
    do {
        if (!text_.ReadLine(line)) return Expected("the TILT= line");
    } while (*SkipBlanks(line) == '\0');
    bool named = false;
    for (const Edition& edition : kEditions)
        if (StartsWithToken(SkipBlanks(line), edition.line)) {
            edition_ = &edition;
            named = true;
            break;
        }
    // A 1986 file may begin with its TILT= line; an edition line is not one.
    if (!named && TiltValue(line)) return true;
    do {
        if (!text_.ReadLine(line)) return Expected("the TILT= line");
    } while (!TiltValue(line));
    return true;
}

// 3. Lamp-to-luminaire geometry, the number of pairs, the angles, the
// multipliers. The multipliers describe the lamp's output as the luminaire
// tilts, which a light placed by its orientation does not model.
bool EditionReader::SkipTiltBlock()
{
    double skipped;
    int64_t pairs;
    if (!Number("the lamp-to-luminaire geometry", skipped) ||
        !Integer("the number of tilt angles", 0, INT32_MAX, pairs))
        return false;
    for (int64_t k = 0; k < pairs; ++k)
        if (!Number({"tilt angle", k, pairs}, skipped)) return false;
    for (int64_t k = 0; k < pairs; ++k)
        if (!Number({"tilt multiplier", k, pairs}, skipped)) return false;
    return true;
}

// 4. The counts are bounded before anything is allocated: the horizontal
// count so that the table stays within the distribution's bounds.
bool EditionReader::ReadHeader(_VekGeneralLightData& d)
{
    double skipped;
    int64_t verticalCount, horizontalCount, type, units;
    if (!Number("the number of lamps", skipped) || !Float("the lumens per lamp", d.lumensPerLamp) ||
        !Float("the candela multiplier", d.candelaMultiplier) ||
        !Integer("the number of vertical angles", 1, kMaxAnglesPerAxis, verticalCount) ||
        !Integer("the number of horizontal angles", 1,
                 std::min<int64_t>(kMaxAnglesPerAxis, kMaxGridPoints / verticalCount), horizontalCount) ||
        !Integer("the photometric type", kTypeC, kTypeA, type))
        return false;
    if (type == kTypeB) return Stop("photometric type B is not read (only type C)", "", true);
    if (type == kTypeA) return Stop("photometric type A is not read (only type C)", "", true);
    if (!Integer("the units type", INT32_MIN, INT32_MAX, units) || !Float("the luminous width", d.width) ||
        !Float("the luminous length", d.length) || !Float("the luminous height", d.height) ||
        !Number("the ballast factor", skipped) || !Number(edition_->secondFactor, skipped) ||
        !Number("the input watts", skipped))
        return false;
    d.verticalCount = static_cast<int32_t>(verticalCount);
    d.horizontalCount = static_cast<int32_t>(horizontalCount);
    d.unitsType = static_cast<int32_t>(units);
    return true;
}

// 5. The angles and the table; no multiplier is applied.
bool EditionReader::ReadTables(StagedDistribution& staged)
{
    _VekGeneralLightData& d = staged.data();
    const int32_t n = d.verticalCount, m = d.horizontalCount;
    uint64_t values;
    if (!CheckedMul(static_cast<uint64_t>(n), static_cast<uint64_t>(m), values) || !staged.AllocateTables())
        return Stop("not enough memory for the distribution");
    struct Axis {
        const char* name;
        const char* order;
        float* angles;
        int32_t count;
    };
    const Axis axes[] = {{"vertical angle", "vertical angles in increasing order", d.verticalAngles, n},
                         {"horizontal angle", "horizontal angles in increasing order", d.horizontalAngles, m}};
    for (const Axis& axis : axes)
        for (int32_t k = 0; k < axis.count; ++k) {
            if (!Float({axis.name, k, axis.count}, axis.angles[k])) return false;
            if (k > 0 && !(axis.angles[k - 1] < axis.angles[k])) return Expected(axis.order);
        }
    // A half about the 90-270 plane is joined to its mirror image at 180.
    if (IsHalfAbout90To270(d) && HalfTurnIndex(d) == m)
        return Expected("180 among the horizontal angles from 90 to 270");
    for (uint64_t k = 0; k < values; ++k)
        if (!Number({"candela value", static_cast<int64_t>(k), static_cast<int64_t>(values)}, d.candela[k]))
            return false;
    // A stream cut off at the input bound never counts as read, even if its
    // last token happened to complete the table.
    if (text_.Exhausted()) return Stop("the input goes on past 32 MiB");
    return true;
}

bool EditionReader::Read(StagedDistribution& staged)
{
    IesText::Line line;
    if (!ReadTiltLine(line)) return false;
    const char* tilt = TiltValue(line);
    if (IsWord(tilt, "INCLUDE")) {
        if (!SkipTiltBlock()) return false;
    } else if (!IsWord(tilt, "NONE")) {
        if (*tilt == '\0') return Expected("NONE, INCLUDE or a file name after TILT=");
        return Stop("tilt data in another file (TILT=<file>) are not read", "", true);
    }
    return ReadHeader(staged.data()) && ReadTables(staged);
}

// The mirror image of a horizontal angle h about the 90-270 plane is
// 180 - h, taken modulo 360. The half from 90 to 270 and its image make a
// full turn from 0 to 360, with the column of 180 at both ends.
bool EditionReader::Unfold(StagedDistribution& half, StagedDistribution& full)
{
    const _VekGeneralLightData& h = half.data();
    _VekGeneralLightData& f = full.data();
    const int32_t n = h.verticalCount, m = h.horizontalCount;
    const int32_t middle = HalfTurnIndex(h);
    const int64_t count = 2 * int64_t{m} - 1;
    if (!AcceptableCounts(n, count)) return Stop("too many horizontal angles to unfold from 90-270 to a full turn");

    f.lumensPerLamp = h.lumensPerLamp;
    f.candelaMultiplier = h.candelaMultiplier;
    f.verticalCount = n;
    f.horizontalCount = static_cast<int32_t>(count);
    f.unitsType = h.unitsType;
    f.width = h.width;
    f.length = h.length;
    f.height = h.height;
    if (!full.AllocateTables()) return Stop("not enough memory for the distribution");
    std::memcpy(f.verticalAngles, h.verticalAngles, sizeof(float) * static_cast<size_t>(n));
    int32_t k = 0;
    const auto take = [&](int32_t j, float angle) {
        f.horizontalAngles[k] = angle;
        std::memcpy(f.candela + static_cast<size_t>(k) * n, h.candela + static_cast<size_t>(j) * n,
                    sizeof(double) * static_cast<size_t>(n));
        ++k;
    };
    for (int32_t j = middle; j > 0; --j) take(j, kHalfTurn - h.horizontalAngles[j]);   // 0 up to 90
    for (int32_t j = 0; j < m; ++j) take(j, h.horizontalAngles[j]);                    // 90 to 270
    for (int32_t j = m - 2; j >= middle; --j)                                         // 270 up to 360
        take(j, kFullTurn - (h.horizontalAngles[j] - kHalfTurn));
    return true;
}

bool EditionReader::Prepare(StagedDistribution& staged)
{
    if (staged.Prepare()) return true;
    return Stop("the candela table cannot be interpolated (values too large, or no memory)");
}

_VekGeneralLightData* ReadAndPublish(IesTokenizer& in, const char* name)
{
    EditionReader reader(in);
    StagedDistribution read, unfolded;
    StagedDistribution* result = &read;
    if (!reader.Read(read)) return nullptr;
    if (IsHalfAbout90To270(read.data())) {
        if (!reader.Unfold(read, unfolded)) return nullptr;
        result = &unfolded;
    }
    if (!reader.Prepare(*result)) return nullptr;
    return result->Publish(name);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

_VekGeneralLightData* ReadIesFile(const char* path)
{
    Record("", false);
    if (!path || !*path) {
        Record("no file named", false);
        return nullptr;
    }
    // Only a regular file of a photometric file's size is read: a directory,
    // a device or a pipe is not one, and a huge file is refused unread.
    std::error_code error;
    const std::filesystem::path file(path);
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        Record("no such file", false);
        return nullptr;
    }
    if (error || status.type() != std::filesystem::file_type::regular) {
        Record("not a regular file", false);
        return nullptr;
    }
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > static_cast<uintmax_t>(IesTokenizer::kMaxInputBytes)) {
        Record("the file is larger than 32 MiB, more than any photometric file", false);
        return nullptr;
    }
    std::unique_ptr<std::FILE, FileCloser> opened(error ? nullptr : std::fopen(path, "rb"));
    if (!opened) {
        Record("cannot open the file", false);
        return nullptr;
    }
    IesTokenizer in(opened.get());
    return ReadAndPublish(in, path);
}

_VekGeneralLightData* ReadIesStream(stream_interface* stream)
{
    Record("", false);
    if (!stream) {
        Record("no stream", false);
        return nullptr;
    }
    // The name is copied first: the stream only promises it for the moment.
    char name[sizeof(_VekGeneralLightData::name)];
    const char* streamName = stream->name();
    std::snprintf(name, sizeof name, "%s", streamName ? streamName : "");
    IesTokenizer in(stream);
    return ReadAndPublish(in, name);
}

void SetIesReadMessage(const char* text) { Record(text, false); }

bool IesReadRefusedValue() { return tOutcome.refusedValue; }

}  // namespace vek

const char* VekLight_GetIesReadMessage() { return vek::tOutcome.message; }
