// The version query on our own shared objects, which carry their version
// record in an ELF section, and on ELF files that are damaged or carry none.
#include <dlfcn.h>

#include <array>
#include <string>

#include "support/test_support.h"
#include "support/version_files.h"

namespace {

using Version = std::array<long, 4>;
constexpr Version kUntouched = {-7, -7, -7, -7};
constexpr Version kProjectVersion = {VEK_PROJECT_VERSION_MAJOR, VEK_PROJECT_VERSION_MINOR, VEK_PROJECT_VERSION_PATCH, 0};

bool Query(const std::string& path, Version& version)
{
    version = kUntouched;
    return VekMain_GetVersionInfo(const_cast<char*>(path.c_str()), version.data());
}

bool QueryBytes(const std::vector<uint8_t>& bytes, Version& version)
{
    return Query(vektest::WriteTempFile("module.so", bytes), version);
}

// ELF64 header fields.
constexpr size_t kSectionTableOffset = 0x28;
constexpr size_t kSectionCount = 0x3C;
constexpr size_t kNamesIndex = 0x3E;

// The section header of the section named name.
size_t SectionHeaderOf(const std::vector<uint8_t>& elf, const std::string& name)
{
    const uint64_t table = vektest::Get32(elf, kSectionTableOffset);
    const size_t names = table + 64 * vektest::Get16(elf, kNamesIndex);
    const uint64_t namesOffset = vektest::Get32(elf, names + 24);
    for (size_t i = 0; i < vektest::Get16(elf, kSectionCount); ++i) {
        const size_t header = table + 64 * i;
        if (name == reinterpret_cast<const char*>(elf.data() + namesOffset + vektest::Get32(elf, header)))
            return header;
    }
    return 0;
}

}  // namespace

TEST(VersionModule, OurModulesStateTheProjectVersion)
{
    // The file the loader mapped, as a host would find it, and each module as built.
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&VekMain_GetVersionInfo), &info), 0);
    for (const std::string& file : {std::string(info.dli_fname), std::string(VEK_MAIN_FILE),
                                    std::string(VEK_TOOL_FILE), std::string(VEK_RES_FILE)}) {
        Version v;
        EXPECT_TRUE(Query(file, v)) << file;
        EXPECT_EQ(v, kProjectVersion) << file;
    }
    Version v;
    EXPECT_FALSE(Query("/proc/self/exe", v));   // the test program: ELF, no record
}

TEST(VersionModule, DamagedElfGivesFalse)
{
    const std::vector<uint8_t> original = vektest::ReadWholeFile(VEK_RES_FILE);
    const size_t header = SectionHeaderOf(original, ".vek_version");
    ASSERT_NE(header, 0u);
    const size_t namesHeader = vektest::Get32(original, kSectionTableOffset) + 64 * vektest::Get16(original, kNamesIndex);
    struct Corruption {
        const char* what;
        size_t at;
        uint64_t value;
        int bytes;
    };
    const Corruption corruptions[] = {
        {"record renamed", header, vektest::Get32(original, header) + 1, 4},
        {"big-endian", 5, 2, 1},
        {"section table past the end", kSectionTableOffset, 0xFFFFFFFFFFFFFF00ull, 8},
        {"section count huge", kSectionCount, 0xFFFF, 2},
        {"name table size wraps", namesHeader + 32, 0xFFFFFFFFFFFFFFFFull, 8},
        {"record past the end", header + 24, 0x7FFFFFFFFFFFFFFFull, 8},
        {"record without file bytes", header + 4, 8, 4},
    };
    Version v;
    ASSERT_TRUE(QueryBytes(original, v));
    for (const Corruption& c : corruptions) {
        std::vector<uint8_t> elf = original;
        for (int i = 0; i < c.bytes; ++i) elf.at(c.at + i) = static_cast<uint8_t>(c.value >> (8 * i));
        EXPECT_FALSE(QueryBytes(elf, v)) << c.what;
        EXPECT_EQ(v, kUntouched) << c.what;
    }
}

TEST(VersionModule, TruncatedModulesGiveFalse)
{
    // The record sits in the middle of the file and the section headers at
    // its end: every cut that loses either part answers false.
    const std::vector<uint8_t> elf = vektest::ReadWholeFile(VEK_RES_FILE);
    Version v;
    for (size_t length = 0; length < elf.size(); length += length < 128 ? 1 : 97) {
        std::vector<uint8_t> cut(elf.begin(), elf.begin() + static_cast<long>(length));
        ASSERT_FALSE(QueryBytes(cut, v)) << "length " << length;
    }
    std::vector<uint8_t> cut(elf.begin(), elf.end() - 1);
    EXPECT_FALSE(QueryBytes(cut, v));
    EXPECT_EQ(v, kUntouched);
}
