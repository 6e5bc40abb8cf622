// version_info.cpp - the file version query: the product version of a PE
// file's version resource, or of the version record that our own shared
// objects carry, as four numbers.
//
// The steps follow the system calls this query stands in for: find the
// version block (none: false), take its Translation, read the ProductVersion
// of the string table it names, and split that at its commas. The file is
// read with bounded reads and every offset in it is checked, so a missing,
// truncated or hostile file answers false. A name without a directory is
// opened relative to the working directory.
#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "VekMain.h"
#include "core/file_reader.h"
#include "core/version_block.h"
#include "core/version_locate.h"

namespace vek {
namespace {

constexpr int kVersionParts = 4;

// A PE image starts with the MS-DOS stub's "MZ", an ELF file with its magic.
bool LocateVersionBlock(FileReader& file, std::vector<uint8_t>& block)
{
    std::vector<uint8_t> magic;
    if (file.Read(0, 4, magic) && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
        return LocateElfVersionBlock(file, block);
    if (file.Read(0, 2, magic) && magic[0] == 'M' && magic[1] == 'Z') return LocatePeVersionBlock(file, block);
    return false;
}

// atoi's reading (leading blanks, a sign, then digits up to the first other
// character; nothing readable gives 0), held to the int range where atoi
// itself would overflow.
long ParsePart(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX + 1LL;   // enough to clamp either sign; stop before overflowing
            break;
        }
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<long>(value);
}

// Exactly three commas make four parts; anything else (a version written
// with dots has none) leaves version unwritten.
bool SplitAtCommas(const std::string& text, long version[kVersionParts])
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ',')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    if (parts.size() != kVersionParts) return false;
    for (int i = 0; i < kVersionParts; ++i) version[i] = ParsePart(parts[i]);
    return true;
}

}  // namespace
}  // namespace vek

bool VekMain_GetVersionInfo(char* fileName, long version[4])
{
    if (!fileName || !version) return false;

    // 1. The file's version block (the size query of the system: none, false).
    vek::FileReader file;
    std::vector<uint8_t> block;
    if (!file.Open(fileName) || !vek::LocateVersionBlock(file, block)) return false;

    // 2.-4. Translation, then the ProductVersion string of its table.
    std::string productVersion;
    if (!vek::ReadProductVersion(vek::ByteSpan(block), productVersion)) return false;

    // 5. Four parts at the commas.
    return vek::SplitAtCommas(productVersion, version);
}
