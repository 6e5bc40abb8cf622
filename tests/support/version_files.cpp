// version_files.cpp - the byte-level builders of version_files.h.
#include "support/version_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/test_support.h"

namespace vektest {
namespace {

void Pad4(std::vector<uint8_t>& out)
{
    while (out.size() % 4) out.push_back(0);
}

void Append16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t v)
{
    Append16(out, static_cast<uint16_t>(v));
    Append16(out, static_cast<uint16_t>(v >> 16));
}

// Offsets inside a node are measured from the block's start, so the node
// is encoded in place at the end of out.
void EncodeInto(std::vector<uint8_t>& out, const VersionNode& node)
{
    Pad4(out);
    const size_t start = out.size();
    Append16(out, 0);
    Append16(out, node.valueLength);
    Append16(out, node.type);
    for (char16_t c : node.key) Append16(out, c);
    Append16(out, 0);
    Pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) EncodeInto(out, child);
    Put16(out, start, static_cast<uint16_t>(out.size() - start));
}

}  // namespace

std::vector<uint8_t> EncodeVersionNode(const VersionNode& node)
{
    std::vector<uint8_t> out;
    EncodeInto(out, node);
    return out;
}

VersionNode StringNode(const std::u16string& key, const std::u16string& value)
{
    VersionNode node{key, static_cast<uint16_t>(value.size() + 1), 1, Utf16Bytes(value), {}};
    Append16(node.value, 0);
    return node;
}

VersionNode VersionTree(const std::u16string& productVersion)
{
    VersionNode root{u"VS_VERSION_INFO", 52, 0, {}, {}};
    const uint32_t fixed[13] = {0xFEEF04BD, 0x00010000, 0x00010009, 0x00030006, 0x00010009, 0x00030006,
                                0x3F,       0,          0x40004,    2,          0,          0, 0};
    for (uint32_t word : fixed) Append32(root.value, word);

    VersionNode table{u"040904B0", 0, 1, {}, {}};
    table.children.push_back(StringNode(u"FileVersion", u"7, 7, 7, 7"));
    table.children.push_back(StringNode(u"ProductVersion", productVersion));
    root.children.push_back(VersionNode{u"StringFileInfo", 0, 1, {}, {table}});

    VersionNode translation{u"Translation", 4, 0, {}, {}};
    Append16(translation.value, 0x0409);
    Append16(translation.value, 0x04B0);
    root.children.push_back(VersionNode{u"VarFileInfo", 0, 1, {}, {translation}});
    return root;
}

std::vector<uint8_t> VersionBlock(const std::u16string& productVersion)
{
    return EncodeVersionNode(VersionTree(productVersion));
}

PeFile BuildPe(bool pe32Plus, const std::vector<PeResource>& resources)
{
    constexpr uint32_t kSectionRva = 0x1000;
    constexpr size_t kHeadersSize = 0x200;
    PeFile pe;
    std::vector<uint8_t>& b = pe.bytes;

    // MS-DOS header: "MZ" and the PE header's offset at 0x3C.
    b.assign(0x40, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);

    // Signature and COFF header: machine, one section, optional header size, DLL.
    const uint16_t optionalSize = pe32Plus ? 240 : 224;
    b.insert(b.end(), {'P', 'E', 0, 0});
    Append16(b, pe32Plus ? 0x8664 : 0x14C);
    Append16(b, 1);
    Append32(b, 0);
    Append32(b, 0);
    Append32(b, 0);
    Append16(b, optionalSize);
    Append16(b, 0x2022);

    // Optional header: magic, 16 data directories (only the resource one set).
    const size_t optionalHeader = b.size();
    b.resize(b.size() + optionalSize, 0);
    Put16(b, optionalHeader, pe32Plus ? 0x20B : 0x10B);
    const size_t directories = optionalHeader + (pe32Plus ? 112 : 96);
    Put32(b, directories - 4, 16);
    pe.at.resourceDirectoryEntry = directories + 2 * 8;

    // The section table follows, then padding to the first section's data.
    pe.at.sectionTable = b.size();
    b.resize(b.size() + 40, 0);
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::copy(name, name + 8, b.begin() + static_cast<long>(pe.at.sectionTable));
    b.resize(kHeadersSize, 0);

    // The resource tree: type directory, name directory, language directory
    // (named entries first, as the format sorts them), data entries, blocks.
    std::vector<const PeResource*> ordered;
    for (const PeResource& r : resources)
        if (r.named) ordered.push_back(&r);
    for (const PeResource& r : resources)
        if (!r.named) ordered.push_back(&r);
    const size_t n = ordered.size();
    std::vector<uint8_t> rsrc;
    auto directory = [&rsrc](uint16_t named, uint16_t ids) {
        rsrc.resize(rsrc.size() + 12, 0);
        Append16(rsrc, named);
        Append16(rsrc, ids);
    };
    const uint32_t nameDir = 16 + 8, languageDir = nameDir + 16 + 8;
    const uint32_t dataEntries = languageDir + 16 + 8 * static_cast<uint32_t>(n);
    directory(0, 1);
    Append32(rsrc, 16);
    Append32(rsrc, 0x80000000u | nameDir);
    directory(0, 1);
    Append32(rsrc, 1);
    Append32(rsrc, 0x80000000u | languageDir);
    uint16_t namedCount = 0;
    for (const PeResource* r : ordered) namedCount += r->named ? 1 : 0;
    directory(namedCount, static_cast<uint16_t>(n - namedCount));
    for (size_t i = 0; i < n; ++i) {
        Append32(rsrc, (ordered[i]->named ? 0x80000000u : 0) | ordered[i]->language);
        Append32(rsrc, dataEntries + 16 * static_cast<uint32_t>(i));
    }
    size_t blockAt = dataEntries + 16 * n;
    std::vector<size_t> blockOffsets;
    for (const PeResource* r : ordered) {
        blockAt = (blockAt + 3) & ~size_t(3);
        blockOffsets.push_back(blockAt);
        blockAt += r->block.size();
    }
    for (size_t i = 0; i < n; ++i) {
        Append32(rsrc, kSectionRva + static_cast<uint32_t>(blockOffsets[i]));
        Append32(rsrc, static_cast<uint32_t>(ordered[i]->block.size()));
        Append32(rsrc, 0);
        Append32(rsrc, 0);
    }
    for (size_t i = 0; i < n; ++i) {
        rsrc.resize(blockOffsets[i], 0);
        rsrc.insert(rsrc.end(), ordered[i]->block.begin(), ordered[i]->block.end());
    }
    const size_t rawSize = (rsrc.size() + 0x1FF) & ~size_t(0x1FF);

    Put32(b, pe.at.resourceDirectoryEntry, kSectionRva);
    Put32(b, pe.at.resourceDirectoryEntry + 4, static_cast<uint32_t>(rsrc.size()));
    Put32(b, pe.at.sectionTable + 8, static_cast<uint32_t>(rsrc.size()));
    Put32(b, pe.at.sectionTable + 12, kSectionRva);
    Put32(b, pe.at.sectionTable + 16, static_cast<uint32_t>(rawSize));
    Put32(b, pe.at.sectionTable + 20, static_cast<uint32_t>(kHeadersSize));

    pe.at.resourceSection = kHeadersSize;
    pe.at.nameDirectory = kHeadersSize + nameDir;
    pe.at.languageDirectory = kHeadersSize + languageDir;
    pe.at.firstDataEntry = kHeadersSize + dataEntries;
    pe.at.firstBlock = n ? kHeadersSize + blockOffsets[0] : 0;
    rsrc.resize(rawSize, 0);
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    return pe;
}

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value)
{
    bytes.at(at) = static_cast<uint8_t>(value);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    Put16(bytes, at, static_cast<uint16_t>(value));
    Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at)
{
    return Get16(bytes, at) | (static_cast<uint32_t>(Get16(bytes, at + 2)) << 16);
}

std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = TempDir() + "/" + name;
    // A new file rather than a truncated one: the file system flushes a file
    // that is truncated and rewritten, which makes a test writing thousands
    // of variants crawl.
    std::remove(path.c_str());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text)
{
    std::vector<uint8_t> out;
    for (char16_t c : text) Append16(out, c);
    return out;
}

}  // namespace vektest
