// version_files.h - version resources and PE files built byte by byte, so
// that a test knows every byte of the file it hands to VekMain_GetVersionInfo
// and can break any of them on purpose. Written from the published PE and
// VS_VERSIONINFO formats, independently of the library's reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vektest {

// One node of a VS_VERSIONINFO tree. valueLength is written as given: bytes
// for binary values, UTF-16 units for String nodes, 0 for containers.
struct VersionNode {
    std::u16string key;
    uint16_t valueLength = 0;
    uint16_t type = 1;
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

// Header, key with NUL, padding, value, then the children on 4-byte
// boundaries; the length word covers all but the trailing padding.
std::vector<uint8_t> EncodeVersionNode(const VersionNode& node);

// Root with a VS_FIXEDFILEINFO, StringFileInfo\040904B0\{FileVersion,
// ProductVersion}, VarFileInfo\Translation 0409/04B0. Tests edit the tree
// before encoding it.
VersionNode VersionTree(const std::u16string& productVersion = u"1, 9, 3, 6");
// A String node: value with its NUL, length in UTF-16 units.
VersionNode StringNode(const std::u16string& key, const std::u16string& value);
std::vector<uint8_t> VersionBlock(const std::u16string& productVersion = u"1, 9, 3, 6");

// One language's version resource. A named entry carries the language in
// its name field with the high bit set, as a resource name would.
struct PeResource {
    uint16_t language = 0x0409;
    std::vector<uint8_t> block;
    bool named = false;
};

// File offsets of the parts tests corrupt.
struct PeLayout {
    size_t sectionTable;
    size_t resourceDirectoryEntry;   // data directory 2: address, size
    size_t resourceSection, nameDirectory, languageDirectory, firstDataEntry, firstBlock;
};

struct PeFile {
    std::vector<uint8_t> bytes;
    PeLayout at{};
};

// A PE32+ (or PE32) DLL image with one section, .rsrc, at image address
// 0x1000, whose resource tree holds type 16, name 1 and one language entry
// per resource, in the order given.
PeFile BuildPe(bool pe32Plus, const std::vector<PeResource>& resources);

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value);
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at);
uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at);

// Writes bytes to name inside TempDir() and returns the full path.
std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes);
// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// The UTF-16LE bytes of text, without a NUL.
std::vector<uint8_t> Utf16Bytes(const std::u16string& text);

}  // namespace vektest
