// The version query on PE files: real DLLs that Debian ships, and files
// built byte by byte that state a known version, break one rule at a time,
// or are cut or corrupted anywhere.
#include <unistd.h>

#include <array>
#include <string>

#include "support/test_support.h"
#include "support/version_files.h"

using vektest::BuildPe;
using vektest::PeFile;
using vektest::PeResource;
using vektest::VersionBlock;
using vektest::VersionInfo;
using vektest::WriteTempFile;

namespace {

using Version = std::array<long, 4>;
constexpr Version kUntouched = {-7, -7, -7, -7};

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

PeFile SimplePe(bool pe32Plus, const VersionInfo& info = VersionInfo())
{
    return BuildPe(pe32Plus, {PeResource{0x0409, VersionBlock(info), false}});
}

VersionInfo WithProduct(const std::u16string& productVersion)
{
    VersionInfo info;
    info.productVersion = productVersion;
    return info;
}

}  // namespace

TEST(VersionPe, DebianZlibHasDotsAndAnswersFalse)
{
    // zlib1.dll states "1.2.13": dots, no commas.
    for (const char* path : {"/usr/x86_64-w64-mingw32/lib/zlib1.dll", "/usr/i686-w64-mingw32/lib/zlib1.dll"}) {
        SCOPED_TRACE(path);
        Version v;
        ASSERT_FALSE(vektest::ReadWholeFile(path).empty()) << "install libz-mingw-w64 (scripts/install-deps.sh)";
        EXPECT_FALSE(Query(path, v));
        EXPECT_EQ(v, kUntouched);
    }
}

TEST(VersionPe, DebianZlibWithCommasPatchedInIsReadThroughToTheEnd)
{
    // The same real files with their ProductVersion value rewritten in place
    // ("1.2.13" -> "1,2,1,", same length): true proves that the real PE32
    // and PE32+ headers, resource tree and block were walked all the way.
    const auto key = vektest::Utf16Bytes(u"ProductVersion");
    const auto dotted = vektest::Utf16Bytes(u"1.2.13");
    const auto commas = vektest::Utf16Bytes(u"1,2,1,");
    for (const char* path : {"/usr/x86_64-w64-mingw32/lib/zlib1.dll", "/usr/i686-w64-mingw32/lib/zlib1.dll"}) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes = vektest::ReadWholeFile(path);
        const size_t keyAt = vektest::FindBytes(bytes, key);
        ASSERT_NE(keyAt, std::string::npos);
        const size_t valueAt = vektest::FindBytes(bytes, dotted, keyAt);
        ASSERT_NE(valueAt, std::string::npos);
        std::copy(commas.begin(), commas.end(), bytes.begin() + static_cast<long>(valueAt));
        Version v;
        EXPECT_TRUE(QueryBytes(bytes, v, "zlib-commas.dll"));
        EXPECT_EQ(v, (Version{1, 2, 1, 0}));
    }
}

TEST(VersionPe, DebianWinpthreadStatesOneZeroZeroZero)
{
    // Shipped by mingw-w64-x86-64-dev, which is too large to install just for
    // this; the built files below cover the same comma form.
    const char* path = "/usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll";
    if (access(path, R_OK) != 0) GTEST_SKIP() << path << " is not installed";
    Version v;
    EXPECT_TRUE(Query(path, v));
    EXPECT_EQ(v, (Version{1, 0, 0, 0}));
}

TEST(VersionPe, BuiltFilesGiveTheirCommaVersion)
{
    for (bool pe32Plus : {true, false}) {
        SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
        Version v;
        EXPECT_TRUE(QueryBytes(SimplePe(pe32Plus).bytes, v));
        EXPECT_EQ(v, (Version{1, 9, 3, 6}));
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
        {u",,,", true, {0, 0, 0, 0}},
        {u"99999999999, -99999999999, 1, 2", true, {2147483647, -2147483647 - 1, 1, 2}},  // held to int
        {u"1, 2, 3\u00e9, 4\u4e2d", true, {1, 2, 3, 4}},           // non-ASCII read as '?'
        {u"1, 9, 3", false, kUntouched},                            // two commas
        {u"1, 9, 3, 6, 0", false, kUntouched},                      // four commas
        {u"1.9.3.6", false, kUntouched},                            // dots
        {u"", false, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        Version v;
        EXPECT_EQ(QueryBytes(SimplePe(true, WithProduct(c.text)).bytes, v), c.result);
        EXPECT_EQ(v, c.version);
    }
}

TEST(VersionPe, TableIsChosenByTranslationIgnoringCase)
{
    Version v;
    VersionInfo lower;
    lower.tableKey = u"040904b0";
    EXPECT_TRUE(QueryBytes(SimplePe(true, lower).bytes, v));
    EXPECT_EQ(v, (Version{1, 9, 3, 6}));

    // Translation names 0409/04E4, the only table is 040904B0: no answer.
    VersionInfo other;
    other.codePage = 0x04E4;
    EXPECT_FALSE(QueryBytes(SimplePe(true, other).bytes, v));

    // Two tables: the one Translation names wins, not the first.
    vektest::VersionNode tree = vektest::VersionTree(VersionInfo());
    vektest::VersionNode decoy{u"040704B0", 0, 1, {}, {vektest::StringNode(u"ProductVersion", u"6, 6, 6, 6")}};
    auto& tables = tree.children[0].children;
    tables.insert(tables.begin(), decoy);
    EXPECT_TRUE(QueryBytes(BuildPe(true, {PeResource{0x0409, vektest::EncodeVersionNode(tree)}}).bytes, v));
    EXPECT_EQ(v, (Version{1, 9, 3, 6}));

    // Path components match ignoring case; the root's key must be exact.
    vektest::VersionNode shouted = vektest::VersionTree(VersionInfo());
    shouted.children[0].key = u"STRINGFILEINFO";
    shouted.children[0].children[0].children[1].key = u"productversion";
    shouted.children[1].children[0].key = u"TRANSLATION";
    EXPECT_TRUE(QueryBytes(BuildPe(true, {PeResource{0x0409, vektest::EncodeVersionNode(shouted)}}).bytes, v));
    vektest::VersionNode badRoot = vektest::VersionTree(VersionInfo());
    badRoot.key = u"vs_version_info";
    EXPECT_FALSE(QueryBytes(BuildPe(true, {PeResource{0x0409, vektest::EncodeVersionNode(badRoot)}}).bytes, v));
}

TEST(VersionPe, MissingPartsOfTheBlockGiveFalse)
{
    Version v;
    auto query = [&](const vektest::VersionNode& tree) {
        return QueryBytes(BuildPe(true, {PeResource{0x0409, vektest::EncodeVersionNode(tree)}}).bytes, v);
    };
    vektest::VersionNode noStrings = vektest::VersionTree(VersionInfo());
    noStrings.children.erase(noStrings.children.begin());
    EXPECT_FALSE(query(noStrings));

    vektest::VersionNode noTranslation = vektest::VersionTree(VersionInfo());
    noTranslation.children.pop_back();
    EXPECT_FALSE(query(noTranslation));

    vektest::VersionNode shortTranslation = vektest::VersionTree(VersionInfo());
    shortTranslation.children[1].children[0].valueLength = 2;
    EXPECT_FALSE(query(shortTranslation));

    vektest::VersionNode noProduct = vektest::VersionTree(VersionInfo());
    noProduct.children[0].children[0].children.pop_back();
    EXPECT_FALSE(query(noProduct));
    EXPECT_EQ(v, kUntouched);

    // A value without its NUL is read up to the node's end.
    vektest::VersionNode unterminated = vektest::VersionTree(VersionInfo());
    auto& product = unterminated.children[0].children[0].children[1];
    product.value.resize(product.value.size() - 2);
    unterminated.children[0].children[0].children.push_back(vektest::StringNode(u"Comments", u"9"));
    EXPECT_TRUE(query(unterminated));
    EXPECT_EQ(v, (Version{1, 9, 3, 6}));
}

TEST(VersionPe, LanguageZeroThenUsEnglishThenTheFirst)
{
    auto block = [](const std::u16string& text) { return VersionBlock(WithProduct(text)); };
    Version v;
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0407, block(u"7,0,0,0")}, {0x0000, block(u"0,0,0,0")},
                                          {0x0409, block(u"4,0,0,9")}})
                               .bytes,
                           v));
    EXPECT_EQ(v, (Version{0, 0, 0, 0}));
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0407, block(u"7,0,0,0")}, {0x0409, block(u"4,0,0,9")}}).bytes, v));
    EXPECT_EQ(v, (Version{4, 0, 0, 9}));
    EXPECT_TRUE(QueryBytes(BuildPe(false, {{0x0410, block(u"1,0,0,0")}, {0x0407, block(u"7,0,0,0")}}).bytes, v));
    EXPECT_EQ(v, (Version{1, 0, 0, 0}));
    // A named entry is no language, even when its name field reads 0 without the high bit.
    EXPECT_TRUE(QueryBytes(BuildPe(true, {{0x0000, block(u"6,6,6,6"), true}, {0x0409, block(u"4,0,0,9")}}).bytes, v));
    EXPECT_EQ(v, (Version{4, 0, 0, 9}));
}

TEST(VersionPe, MissingUnreadableAndForeignFilesGiveFalse)
{
    Version v = kUntouched;
    EXPECT_FALSE(VekMain_GetVersionInfo(nullptr, v.data()));
    EXPECT_FALSE(VekMain_GetVersionInfo(const_cast<char*>(WriteTempFile("n.dll", SimplePe(true).bytes).c_str()),
                                        nullptr));
    EXPECT_FALSE(Query(vektest::TempDir() + "/no-such-file.dll", v));
    EXPECT_FALSE(Query("", v));
    EXPECT_FALSE(Query(vektest::TempDir(), v));  // a directory
    EXPECT_FALSE(Query("/dev/zero", v));          // endless, not a regular file
    EXPECT_FALSE(QueryBytes({}, v));
    EXPECT_FALSE(QueryBytes({'M'}, v));
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
    EXPECT_EQ(v, (Version{1, 9, 3, 6}));
}

TEST(VersionPe, EveryTruncationGivesFalse)
{
    for (bool pe32Plus : {true, false}) {
        const PeFile pe = SimplePe(pe32Plus);
        // Past the block's end only the section's zero fill is cut.
        const size_t blockEnd = pe.at.firstBlock + VersionBlock(VersionInfo()).size();
        Version v;
        for (size_t length = 0; length < blockEnd; ++length) {
            std::vector<uint8_t> cut(pe.bytes.begin(), pe.bytes.begin() + static_cast<long>(length));
            ASSERT_FALSE(QueryBytes(cut, v)) << "length " << length;
            ASSERT_EQ(v, kUntouched);
        }
    }
}

TEST(VersionPe, CorruptOffsetsGiveFalse)
{
    const PeFile pe = SimplePe(true);
    struct Corruption {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
    };
    const size_t s = pe.at.sectionTable;
    const Corruption corruptions[] = {
        {"PE offset past the end", 0x3C, 0xFFFFFFF0u, true},
        {"PE offset into the stub", 0x3C, 0x2, true},
        {"section count huge", pe.at.peHeader + 6, 0xFFFF, false},
        {"optional header too short", pe.at.peHeader + 20, 16, false},
        {"optional header past the end", pe.at.peHeader + 20, 0xFFFF, false},
        {"unknown optional magic", pe.at.optionalHeader, 0x107, false},
        {"only two data directories", pe.at.optionalHeader + 108, 2, true},
        {"no resource directory", pe.at.resourceDirectoryEntry, 0, true},
        {"resource directory in no section", pe.at.resourceDirectoryEntry, 0x900000, true},
        {"section data past the end", s + 20, 0xFFFFFF00u, true},
        {"section raw size short of the block", s + 16, 0x40, true},
        {"type directory entry count huge", pe.at.resourceSection + 14, 0xFFFF, false},
        {"type entry to a data entry", pe.at.resourceSection + 20, 0x18, true},
        {"name directory past the section", pe.at.resourceSection + 20, 0x80FFFFF0u, true},
        {"language entry past the section", pe.at.languageDirectory + 20, 0x7FFFFFF0u, true},
        {"data entry address below the section", pe.at.firstDataEntry, 0x10, true},
        {"data entry address past the section", pe.at.firstDataEntry, 0x1000 + 0x10000, true},
        {"data entry size huge", pe.at.firstDataEntry + 4, 0xFFFFFFFFu, true},
        {"data entry size short", pe.at.firstDataEntry + 4, 8, true},
        {"root length below a header", pe.at.firstBlock, 4, false},
        {"root length past the block", pe.at.firstBlock, 0xFFFF, false},
        {"root value length huge", pe.at.firstBlock + 2, 0xFFFF, false},
        {"first child length past the root", pe.at.firstBlock + 92, 0xFFF0, false},
        {"first child length zero", pe.at.firstBlock + 92, 0, false},
    };
    Version v;
    ASSERT_TRUE(QueryBytes(pe.bytes, v));
    for (const Corruption& c : corruptions) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = pe.bytes;
        if (c.wide)
            vektest::Put32(bytes, c.at, c.value);
        else
            vektest::Put16(bytes, c.at, static_cast<uint16_t>(c.value));
        EXPECT_FALSE(QueryBytes(bytes, v));
        EXPECT_EQ(v, kUntouched);
    }
}

TEST(VersionPe, LoopsInTheResourceTreeEndTheWalk)
{
    const PeFile pe = SimplePe(true);
    Version v;
    // The name entry leads back to the type directory, then the language
    // entry leads back to the name directory: each level still descends once.
    std::vector<uint8_t> bytes = pe.bytes;
    vektest::Put32(bytes, pe.at.nameDirectory + 20, 0x80000000u);
    EXPECT_FALSE(QueryBytes(bytes, v));
    bytes = pe.bytes;
    vektest::Put32(bytes, pe.at.languageDirectory + 20,
                   0x80000000u | static_cast<uint32_t>(pe.at.nameDirectory - pe.at.resourceSection));
    EXPECT_FALSE(QueryBytes(bytes, v));
    // A directory that names itself.
    bytes = pe.bytes;
    vektest::Put32(bytes, pe.at.resourceSection + 20, 0x80000000u);
    EXPECT_FALSE(QueryBytes(bytes, v));
    EXPECT_EQ(v, kUntouched);
}

TEST(VersionPe, EverySingleByteCorruptionIsSafe)
{
    // Whatever one byte becomes, the query answers without reading outside
    // the file (the sanitizer builds check that); a true answer still
    // writes four numbers.
    const PeFile pe = SimplePe(false);
    const size_t end = pe.at.firstBlock + VersionBlock(VersionInfo()).size();
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
