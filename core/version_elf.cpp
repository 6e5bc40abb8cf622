// version_elf.cpp - finds the version block that our own shared objects
// carry in their ELF section VEK_VERSION_SECTION (core/version_record.h).
//
// The ELF64 header gives the section header table and the index of the
// section-name table; each section's name is looked up there until the
// version section turns up. Only little-endian ELF64 files are read (our
// modules are x86-64); an ELF32 file, a file with extended section
// numbering, or any offset that leaves the file answers false.
#include <cstring>

#include "core/byte_span.h"
#include "core/checked.h"
#include "core/version_locate.h"
#include "core/version_record.h"

namespace vek {
namespace {

constexpr uint64_t kElfHeaderBytes = 64;
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kLittleEndian = 1;
constexpr uint64_t kSectionHeaderBytes = 64;
constexpr uint32_t kNoBits = 8;   // SHT_NOBITS: the section occupies no file space

struct SectionHeader {
    uint32_t name = 0;    // offset in the section-name table
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

bool ReadSectionHeader(const ByteSpan& table, uint64_t index, SectionHeader& s)
{
    const uint64_t at = index * kSectionHeaderBytes;
    return table.U32(at, s.name) && table.U32(at + 4, s.type) && table.U64(at + 24, s.offset) &&
           table.U64(at + 32, s.size);
}

// The section's bytes lie in the file: not a NOBITS section, and its range
// is inside the file.
bool InFile(const SectionHeader& s, uint64_t fileSize)
{
    uint64_t end;
    return s.type != kNoBits && CheckedAdd(s.offset, s.size, end) && end <= fileSize;
}

}  // namespace

bool LocateElfVersionBlock(FileReader& file, std::vector<uint8_t>& block)
{
    // 1. The ELF header: magic, 64-bit little-endian, the section header table.
    std::vector<uint8_t> bytes;
    if (!file.Read(0, kElfHeaderBytes, bytes)) return false;
    const ByteSpan header(bytes);
    if (std::memcmp(bytes.data(), "\x7F" "ELF", 4) != 0 || bytes[4] != kClass64 || bytes[5] != kLittleEndian)
        return false;
    uint64_t tableOffset;
    uint16_t entryBytes, count, namesIndex;
    if (!header.U64(0x28, tableOffset) || !header.U16(0x3A, entryBytes) || !header.U16(0x3C, count) ||
        !header.U16(0x3E, namesIndex))
        return false;
    if (entryBytes != kSectionHeaderBytes || count == 0 || namesIndex >= count) return false;

    // 2. The section header table and the section-name table.
    uint64_t tableBytes;
    std::vector<uint8_t> tableData;
    if (!CheckedMul(count, kSectionHeaderBytes, tableBytes) || !file.Read(tableOffset, tableBytes, tableData))
        return false;
    const ByteSpan table(tableData);
    SectionHeader names;
    if (!ReadSectionHeader(table, namesIndex, names) || !InFile(names, file.size())) return false;

    // 3. The first section named VEK_VERSION_SECTION whose bytes are in the
    //    file. Only the name's own bytes (and its NUL) are read, and they
    //    must lie inside the name table.
    static constexpr char kName[] = VEK_VERSION_SECTION;
    const uint64_t nameBytes = sizeof kName;   // NUL included
    for (uint64_t i = 0; i < count; ++i) {
        SectionHeader s;
        if (!ReadSectionHeader(table, i, s)) return false;
        uint64_t nameEnd;
        if (!CheckedAdd(s.name, nameBytes, nameEnd) || nameEnd > names.size) continue;
        if (!file.Read(names.offset + s.name, nameBytes, bytes)) return false;
        if (std::memcmp(bytes.data(), kName, nameBytes) != 0) continue;
        if (!InFile(s, file.size())) return false;

        // 4. The block: the section's start, at most kMaxVersionBlock bytes.
        return file.Read(s.offset, s.size < kMaxVersionBlock ? s.size : kMaxVersionBlock, block);
    }
    return false;
}

}  // namespace vek
