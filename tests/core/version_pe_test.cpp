// The version query on PE files: real DLLs that Debian ships, and files
// built byte by byte that state a known version, break one rule at a time,
// or are cut or corrupted anywhere.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>

#include "support/test_support.h"
#include "support/version_files.h"

using vektest::BuildPe;
using vektest::PeFile;
using vektest::PeResource;
using vektest::VersionBlock;
using vektest::VersionNode;
using vektest::WriteTempFile;

namespace {

using Version = std::array<long, 4>;
constexpr Version kUntouched = {-7, -7, -7, -7};
constexpr Version kBuilt = {1, 9, 3, 6};

// Queries path; version keeps kUntouched where the query did not write.
bool Query(const std::string& path, Version& version)
{
    version = kUntouched;
    return VekMain_GetVersionInfo(const_cast<char*>(path.c_str()), version.data());
}

bool QueryBytes(const std::vector<uint8_t>& bytes, Version& version, const std::string& name = "built.dll")
{
    return Query(WriteTempFile(name, bytes), version);
}

bool QueryTree(const VersionNode& tree, Version& version)
{
    return QueryBytes(BuildPe(true, {PeResource{0x0409, vektest::EncodeVersionNode(tree)}}).bytes, version);
}

PeFile SimplePe(bool pe32Plus) { return BuildPe(pe32Plus, {PeResource{0x0409, VersionBlock()}}); }

}  // namespace

TEST(VersionPe, DebianZlibIsReadThroughToTheEnd)
{
    // zlib1.dll states "1.2.13": dots, no commas, so false. Rewritten in place
    // to "1,2,1," (same length), true proves that the real PE32 and PE32+
    // headers, resource tree and block were walked all the way.
    const auto key = vektest::Utf16Bytes(u"ProductVersion");
    const auto dotted = vektest::Utf16Bytes(u"1.2.13");
    const auto commas = vektest::Utf16Bytes(u"1,2,1,");
    for (const char* path : {"/usr/x86_64-w64-mingw32/lib/zlib1.dll", "/usr/i686-w64-mingw32/lib/zlib1.dll"}) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes = vektest::ReadWholeFile(path);
        ASSERT_FALSE(bytes.empty()) << "install libz-mingw-w64 (scripts/install-deps.sh)";
        Version v;
        EXPECT_FALSE(Query(path, v));
        EXPECT_EQ(v, kUntouched);
        const auto keyAt = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
        const auto valueAt = std::search(keyAt, bytes.end(), dotted.begin(), dotted.end());
        ASSERT_NE(valueAt, bytes.end());
        std::copy(commas.begin(), commas.end(), valueAt);
        EXPECT_TRUE(QueryBytes(bytes, v, "zlib-commas.dll"));
        EXPECT_EQ(v, (Version{1, 2, 1, 0}));
    }
}

TEST(VersionPe, ProductVersionSplitsAtExactlyThreeCommas)
{
    struct Case {
        std::u16string text;
        bool result;
        Version version;
    };
    const Case cases[] = {
        {u"1,9,3,6", true, {1, 9, 3, 6}},
        {u"  12 ,\t0, 2800 , 1106x", true, {12, 0, 2800, 1106}},  // atoi: leading blanks, stops at a non-digit
        {u"-1, +2, 03, ", true, {-1, 2, 3, 0}},                     // signs; an empty part is 0
        {u"99999999999, -99999999999, 1, 2", true, {2147483647, -2147483647 - 1, 1, 2}},  // held to int
        {u"1, 2, 3\u00e9, 4\u4e2d", true, {1, 2, 3, 4}},           // non-ASCII read as '?'
        {u"1, 9, 3", false, kUntouched},                            // two commas
        {u"1, 9, 3, 6, 0", false, kUntouched},                      // four commas
        {u"", false, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        Version v;
        EXPECT_EQ(QueryBytes(BuildPe(true, {PeResource{0x0409, VersionBlock(c.text)}}).bytes, v), c.result);
        EXPECT_EQ(v, c.version);
    }
}

TEST(VersionPe, BlockPathsMatchAsTheSystemQueryDoes)
{
    // Each case edits the typical tree (StringFileInfo\040904B0\{FileVersion,
    // ProductVersion}, VarFileInfo\Translation 0409/04B0).
    struct Case {
        const char* what;
        std::function<void(VersionNode&)> edit;
        bool result;
    };
    const Case cases[] = {
        {"table key in lower case", [](VersionNode& t) { t.children[0].children[0].key = u"040904b0"; }, true},
        {"path components in other cases",
         [](VersionNode& t) {
             t.children[0].key = u"STRINGFILEINFO";
             t.children[0].children[0].children[1].key = u"productversion";
             t.children[1].children[0].key = u"TRANSLATION";
         },
         true},
        {"a decoy table before the one Translation names",
         [](VersionNode& t) {
             auto& tables = t.children[0].children;
             tables.insert(tables.begin(), VersionNode{u"040704B0", 0, 1, {}, {vektest::StringNode(u"ProductVersion", u"6, 6, 6, 6")}});
         },
         true},
        {"a value without its NUL is read up to its node's end",
         [](VersionNode& t) {
             auto& strings = t.children[0].children[0].children;
             strings[1].value.resize(strings[1].value.size() - 2);
             strings.push_back(vektest::StringNode(u"Comments", u"9"));
         },
         true},
        {"root key not exact", [](VersionNode& t) { t.key = u"vs_version_info"; }, false},
        {"no Translation", [](VersionNode& t) { t.children.pop_back(); }, false},
        {"Translation names another code page", [](VersionNode& t) { t.children[1].children[0].value[2] = 0xE4; }, false},
        {"no ProductVersion", [](VersionNode& t) { t.children[0].children[0].children.pop_back(); }, false},
    };
    for (const Case& c : cases) {
        VersionNode tree = vektest::VersionTree();
        c.edit(tree);
        Version v;
        EXPECT_EQ(QueryTree(tree, v), c.result) << c.what;
        EXPECT_EQ(v, c.result ? kBuilt : kUntouched) << c.what;
    }
}

TEST(VersionPe, LanguageZeroThenUsEnglishThenTheFirst)
{
    const auto b7 = VersionBlock(u"7,0,0,0"), b0 = VersionBlock(u"0,0,0,0"), b4 = VersionBlock(u"4,0,0,9");
    Version v;
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0407, b7}, {0x0000, b0}, {0x0409, b4}}).bytes, v));
    EXPECT_EQ(v, (Version{0, 0, 0, 0}));
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0407, b7}, {0x0409, b4}}).bytes, v));
    EXPECT_EQ(v, (Version{4, 0, 0, 9}));
    EXPECT_TRUE(QueryBytes(BuildPe(false, {{0x0410, VersionBlock(u"1,0,0,0")}, {0x0407, b7}}).bytes, v));
    EXPECT_EQ(v, (Version{1, 0, 0, 0}));
    // A named entry is no language, even when its name field reads 0 without the high bit.
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0000, b7, true}, {0x0409, b4}}).bytes, v));
    EXPECT_EQ(v, (Version{4, 0, 0, 9}));
}

TEST(VersionPe, MissingUnreadableAndForeignFilesGiveFalse)
{
    Version v = kUntouched;
    EXPECT_FALSE(VekMain_GetVersionInfo(nullptr, v.data()));
    EXPECT_FALSE(VekMain_GetVersionInfo(const_cast<char*>(WriteTempFile("n.dll", SimplePe(true).bytes).c_str()),
                                        nullptr));
    EXPECT_FALSE(Query(vektest::TempDir() + "/no-such-file.dll", v));
    EXPECT_FALSE(Query(vektest::TempDir(), v));  // a directory
    EXPECT_FALSE(Query("/dev/zero", v));          // endless, not a regular file
    EXPECT_FALSE(QueryBytes(std::vector<uint8_t>(4096, 0), v));
    EXPECT_EQ(v, kUntouched);
}

TEST(VersionPe, NameWithoutDirectoryOpensInTheWorkingDirectory)
{
    WriteTempFile("here.dll", SimplePe(true).bytes);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(vektest::TempDir().c_str()), 0);
    Version v;
    const bool found = Query("here.dll", v);
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(v, kBuilt);
}

TEST(VersionPe, EveryTruncationGivesFalse)
{
    for (bool pe32Plus : {true, false}) {
        const PeFile pe = SimplePe(pe32Plus);
        // Past the block's end only the section's zero fill is cut.
        const size_t blockEnd = pe.at.firstBlock + VersionBlock().size();
        Version v;
        for (size_t length = 0; length < blockEnd; ++length) {
            std::vector<uint8_t> cut(pe.bytes.begin(), pe.bytes.begin() + static_cast<long>(length));
            ASSERT_FALSE(QueryBytes(cut, v)) << "length " << length;
            ASSERT_EQ(v, kUntouched);
        }
    }
}

TEST(VersionPe, CorruptOffsetsAndLoopsGiveFalse)
{
    // Every single-byte change is tried below for safety; these break one
    // rule each and must answer false.
    const PeFile pe = SimplePe(true);
    const size_t rsrc = pe.at.resourceSection;
    const std::pair<size_t, uint32_t> corruptions[] = {
        {0x3C, 0xFFFFFFF0u},                                  // PE header past the end
        {pe.at.sectionTable + 20, 0xFFFFFF00u},               // section data past the end
        {pe.at.resourceDirectoryEntry, 0x900000},             // resource directory in no section
        {rsrc + 20, 0x18},                                    // type entry to a data entry
        {pe.at.firstDataEntry + 4, 0xFFFFFFFFu},              // data size wraps past the section
        {rsrc + 20, 0x80000000u},                             // a directory naming itself
        {pe.at.languageDirectory + 20, 0x80000000u | static_cast<uint32_t>(pe.at.nameDirectory - rsrc)},  // a loop
    };
    Version v;
    ASSERT_TRUE(QueryBytes(pe.bytes, v));
    for (const auto& [at, value] : corruptions) {
        std::vector<uint8_t> bytes = pe.bytes;
        vektest::Put32(bytes, at, value);
        EXPECT_FALSE(QueryBytes(bytes, v)) << "offset " << at;
        EXPECT_EQ(v, kUntouched);
    }
}

TEST(VersionPe, EverySingleByteCorruptionIsSafe)
{
    // Whatever one byte becomes, the query answers without reading outside
    // the file (the sanitizer builds check that); a true answer still
    // writes four numbers.
    const PeFile pe = SimplePe(false);
    const size_t end = pe.at.firstBlock + VersionBlock().size();
    for (size_t at = 0; at < end; ++at) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(pe.bytes[at] ^ 0x80)}) {
            std::vector<uint8_t> bytes = pe.bytes;
            bytes[at] = value;
            Version v;
            if (QueryBytes(bytes, v)) {
                EXPECT_NE(v[3], kUntouched[3]) << "offset " << at;
            }
        }
    }
}
