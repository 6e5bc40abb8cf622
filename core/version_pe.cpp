// version_pe.cpp - finds the version block of a PE image, PE32 or PE32+.
//
// The MS-DOS stub points at the PE signature; the COFF header gives the
// section count and the optional header's size; the optional header's data
// directory 2 is the resource directory. The resource tree has three levels
// (type, name, language): type 16 (version), name 1, then language 0 if
// present, else 0x0409, else the first one; named entries are skipped. Its
// data entry holds the block's address (an image address, converted through
// the section table) and size. Every offset comes from the file and is
// checked against the file, the section and the directory table before use;
// the tree is walked exactly three levels deep, so an entry that points back
// up the tree cannot make the walk loop.
#include <algorithm>

#include "core/byte_span.h"
#include "core/checked.h"
#include "core/version_locate.h"

namespace vek {
namespace {

constexpr uint64_t kPeOffsetField = 0x3C;    // e_lfanew in the MS-DOS header
constexpr uint64_t kCoffBytes = 20;
constexpr uint64_t kSectionBytes = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectory = 2;   // index among the data directories
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kVersionName = 1;
constexpr uint32_t kNeutralLanguage = 0;
constexpr uint32_t kUsEnglish = 0x0409;
constexpr uint32_t kHighBit = 0x80000000u;   // named entry / subdirectory
constexpr uint64_t kDirectoryBytes = 16;
constexpr uint64_t kEntryBytes = 8;
constexpr uint64_t kDataEntryBytes = 16;

struct Section {
    uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};

struct Entry {
    uint32_t id;
    uint32_t target;   // high bit: a subdirectory; otherwise a data entry
};

class PeImage {
public:
    explicit PeImage(FileReader& file) : file_(file) {}

    // Reads the headers and the section table; resourceRva is the resource
    // directory's image address.
    bool ReadHeaders(uint32_t& resourceRva)
    {
        std::vector<uint8_t> bytes;
        uint32_t peOffset;
        if (!file_.Read(0, kPeOffsetField + 4, bytes) || bytes[0] != 'M' || bytes[1] != 'Z' ||
            !ByteSpan(bytes).U32(kPeOffsetField, peOffset))
            return false;

        // Signature and COFF header.
        if (!file_.Read(peOffset, 4 + kCoffBytes, bytes)) return false;
        const ByteSpan coff(bytes);
        uint16_t sectionCount, optionalBytes;
        if (bytes[0] != 'P' || bytes[1] != 'E' || bytes[2] != 0 || bytes[3] != 0 || !coff.U16(4 + 2, sectionCount) ||
            !coff.U16(4 + 16, optionalBytes))
            return false;

        // Optional header: its layout differs between PE32 and PE32+ only in
        // where the data directories begin.
        const uint64_t optionalOffset = uint64_t(peOffset) + 4 + kCoffBytes;
        if (!file_.Read(optionalOffset, optionalBytes, bytes)) return false;
        const ByteSpan optional(bytes);
        uint16_t magic;
        if (!optional.U16(0, magic)) return false;
        uint64_t directoryCountField, directories;
        if (magic == kPe32Magic) {
            directoryCountField = 92;
            directories = 96;
        } else if (magic == kPe32PlusMagic) {
            directoryCountField = 108;
            directories = 112;
        } else {
            return false;
        }
        uint32_t directoryCount;
        if (!optional.U32(directoryCountField, directoryCount) || directoryCount <= kResourceDirectory ||
            !optional.U32(directories + kResourceDirectory * 8, resourceRva) || resourceRva == 0)
            return false;

        // The section table follows the optional header at its stated size.
        uint64_t tableBytes, tableOffset;
        if (!CheckedMul(sectionCount, kSectionBytes, tableBytes) ||
            !CheckedAdd(optionalOffset, optionalBytes, tableOffset) || !file_.Read(tableOffset, tableBytes, bytes))
            return false;
        const ByteSpan table(bytes);
        sections_.resize(sectionCount);
        for (uint64_t i = 0; i < sectionCount; ++i) {
            Section& s = sections_[i];
            const uint64_t at = i * kSectionBytes;
            if (!table.U32(at + 8, s.virtualSize) || !table.U32(at + 12, s.virtualAddress) ||
                !table.U32(at + 16, s.rawSize) || !table.U32(at + 20, s.rawOffset))
                return false;
        }
        return true;
    }

    // File offset of length bytes at image address rva, and how many bytes
    // of the section's file data follow it (available >= length). False
    // when rva lies in no section or the bytes are not all in the file.
    bool Locate(uint32_t rva, uint64_t length, uint64_t& offset, uint64_t& available) const
    {
        for (const Section& s : sections_) {
            const uint64_t start = s.virtualAddress;
            const uint64_t extent = std::max(s.virtualSize, s.rawSize);
            if (rva < start || rva >= start + extent) continue;
            const uint64_t delta = rva - start;
            // Past SizeOfRawData the section is zero fill that is not in the file.
            if (delta + length > s.rawSize) return false;
            offset = uint64_t(s.rawOffset) + delta;
            available = s.rawSize - delta;
            return true;
        }
        return false;
    }

private:
    FileReader& file_;
    std::vector<Section> sections_;
};

// The resource tree: offsets in it are relative to the directory's start and
// must stay inside the section data that follows it.
class ResourceTree {
public:
    ResourceTree(FileReader& file, uint64_t base, uint64_t available) : file_(file), base_(base), available_(available)
    {
    }

    // The ID entries of the directory table at offset, in file order.
    bool ReadIdEntries(uint32_t offset, std::vector<Entry>& ids)
    {
        std::vector<uint8_t> bytes;
        if (!Read(offset, kDirectoryBytes, bytes)) return false;
        uint16_t named = 0, numbered = 0;
        ByteSpan(bytes).U16(12, named);
        ByteSpan(bytes).U16(14, numbered);
        const uint64_t count = uint64_t(named) + numbered;
        uint64_t entryBytes;
        if (!CheckedMul(count, kEntryBytes, entryBytes) || !Read(uint64_t(offset) + kDirectoryBytes, entryBytes, bytes))
            return false;
        const ByteSpan entries(bytes);
        ids.clear();
        for (uint64_t i = 0; i < count; ++i) {
            Entry e{0, 0};
            entries.U32(i * kEntryBytes, e.id);
            entries.U32(i * kEntryBytes + 4, e.target);
            if (!(e.id & kHighBit)) ids.push_back(e);
        }
        return true;
    }

    // The data entry at offset: the block's image address and size.
    bool ReadDataEntry(uint32_t offset, uint32_t& rva, uint32_t& size)
    {
        std::vector<uint8_t> bytes;
        if (!Read(offset, kDataEntryBytes, bytes)) return false;
        return ByteSpan(bytes).U32(0, rva) && ByteSpan(bytes).U32(4, size);
    }

private:
    bool Read(uint64_t offset, uint64_t length, std::vector<uint8_t>& out)
    {
        uint64_t end;
        return CheckedAdd(offset, length, end) && end <= available_ && file_.Read(base_ + offset, length, out);
    }

    FileReader& file_;
    uint64_t base_;
    uint64_t available_;
};

const Entry* FindId(const std::vector<Entry>& entries, uint32_t id)
{
    for (const Entry& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

// The subdirectory that entry id leads to; false when there is no such
// entry or it leads to data.
bool SubdirectoryOf(const std::vector<Entry>& entries, uint32_t id, uint32_t& offset)
{
    const Entry* e = FindId(entries, id);
    if (!e || !(e->target & kHighBit)) return false;
    offset = e->target & ~kHighBit;
    return true;
}

// Language 0 if present, else US English, else the first one.
const Entry* ChooseLanguage(const std::vector<Entry>& languages)
{
    if (const Entry* e = FindId(languages, kNeutralLanguage)) return e;
    if (const Entry* e = FindId(languages, kUsEnglish)) return e;
    return languages.empty() ? nullptr : &languages.front();
}

}  // namespace

bool LocatePeVersionBlock(FileReader& file, std::vector<uint8_t>& block)
{
    // 1. Headers, section table and the resource directory's place in the file.
    PeImage image(file);
    uint32_t resourceRva;
    uint64_t base, available;
    if (!image.ReadHeaders(resourceRva) || !image.Locate(resourceRva, kDirectoryBytes, base, available)) return false;
    ResourceTree tree(file, base, available);

    // 2. Type 16, then name 1: both must be subdirectories.
    std::vector<Entry> entries;
    uint32_t names, languages;
    if (!tree.ReadIdEntries(0, entries) || !SubdirectoryOf(entries, kVersionType, names) ||
        !tree.ReadIdEntries(names, entries) || !SubdirectoryOf(entries, kVersionName, languages) ||
        !tree.ReadIdEntries(languages, entries))
        return false;

    // 3. The language by our rule; it must lead to a data entry.
    const Entry* language = ChooseLanguage(entries);
    uint32_t dataRva, dataSize;
    if (!language || (language->target & kHighBit) || !tree.ReadDataEntry(language->target, dataRva, dataSize))
        return false;

    // 4. The block itself, through the section table.
    const uint64_t length = std::min<uint64_t>(dataSize, kMaxVersionBlock);
    uint64_t offset, unused;
    return image.Locate(dataRva, length, offset, unused) && file.Read(offset, length, block);
}

}  // namespace vek
