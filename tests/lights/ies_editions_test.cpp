// General lights from IES text of every edition: the real files of
// tests/data/ies as they are, the same data under every edition line and
// through the 1991 reader (bit for bit, and alike in every direction), the
// quirks of real files, the messages and warnings of refusals, sharing by
// path, and hostile input through files and streams.
#include <dirent.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "light_test_support.h"

using lighttest::FiniteEverywhere;
using lighttest::kIdentity;
using lighttest::LightAround;
using lighttest::TextStream;
using lighttest::WriteTemp;

class IesEditionsTest : public vektest::LibraryTest {};

namespace {

float kEnergy[3] = {1, 2, 3};
float kOrigin[3] = {0, 0, 0};
float* const kFrame = const_cast<float*>(kIdentity);

// A small distribution with every part of the format, to vary and to cut.
const std::string kPlain =
    "IESNA:LM-63-2002\n[TEST] plain\n[MANUFAC] nobody\nTILT=NONE\n1 1000 1 3 2 1 1 0 0 0\n1 1 10\n0 45 90\n0 90\n"
    "100 80 10\n90 70 5\n";
const char* const kEditionLines[] = {"", "IESNA91", "IESNA:LM-63-1995", "IESNA:LM-63-2002", "IES:LM-63-2019"};

_VekGeneralLightData* DataOf(const _VekLight* light)
{
    return light ? static_cast<_VekGeneralLight*>(light->parameters)->data : nullptr;
}

_VekGeneralLightData* ReadPath(const std::string& path)
{
    return DataOf(VekLight_InstanciateGeneralLightWithIesFileInternal(kEnergy, kOrigin, path.c_str(), kFrame));
}

_VekGeneralLightData* ReadIes(const std::string& text)
{
    TextStream stream(text, "ies text");
    return DataOf(VekLight_InstanciateGeneralLightWithIesStreamInternal(kEnergy, kOrigin, &stream, kFrame));
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RealPath(const std::string& name) { return std::string(VEK_IES_DATA_DIR) + "/" + name; }

std::vector<std::string> RealFiles()
{
    std::vector<std::string> names;
    DIR* listing = opendir(VEK_IES_DATA_DIR);
    while (dirent* entry = listing ? readdir(listing) : nullptr) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".ies") names.push_back(name);
    }
    if (listing) closedir(listing);
    return names;
}

// The text with its first line replaced by edition ("" drops it, making a
// 1986 file of the keyword lines).
std::string WithEdition(const std::string& text, const std::string& edition)
{
    const size_t end = text.find_first_of("\r\n");
    const size_t rest = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    return edition.empty() ? text.substr(rest) : edition + text.substr(end, rest - end) + text.substr(rest);
}

// Every field and every table of two prepared records, bit for bit.
template <class T>
bool SameBits(const T* a, const T* b, size_t count)
{
    return count == 0 || std::memcmp(a, b, sizeof(T) * count) == 0;
}

void ExpectSameRecord(const _VekGeneralLightData* a, const _VekGeneralLightData* b, const std::string& what)
{
    ASSERT_TRUE(a && b) << what;
    ASSERT_EQ(a->verticalCount, b->verticalCount) << what;
    ASSERT_EQ(a->horizontalCount, b->horizontalCount) << what;
    EXPECT_TRUE(SameBits(&a->lumensPerLamp, &b->lumensPerLamp, 2)) << what;
    EXPECT_EQ(a->unitsType, b->unitsType) << what;
    EXPECT_TRUE(SameBits(&a->width, &b->width, 3)) << what;
    const size_t n = a->verticalCount, m = a->horizontalCount;
    const size_t coefficients = m > 1 ? 16 * (n > 1 ? n - 1 : 1) * (m - 1) : n;
    EXPECT_TRUE(SameBits(a->verticalAngles, b->verticalAngles, n) &&
                SameBits(a->horizontalAngles, b->horizontalAngles, m) && SameBits(a->candela, b->candela, n * m) &&
                SameBits(a->coefficients, b->coefficients, coefficients))
        << what;
}

// The two distributions answer alike, bit for bit, on a dense set of
// directions: on and between the grid angles, the poles included.
void ExpectSameEverywhere(_VekGeneralLightData* a, _VekGeneralLightData* b, const std::string& what)
{
    LightAround atA(a), atB(b);
    int differences = 0;
    for (double v = 0; v <= 180; v += 1.25)
        for (double h = 0; h < 360; h += 2.5) {
            const float x = atA(v, h), y = atB(v, h), xOff = atA(v + 0.4, h + 0.9), yOff = atB(v + 0.4, h + 0.9);
            differences += std::memcmp(&x, &y, sizeof x) != 0;
            differences += std::memcmp(&xOff, &yOff, sizeof x) != 0;
        }
    EXPECT_EQ(differences, 0) << what;
}

// The 1991 reader takes a file only when every line before TILT= is a
// bracketed keyword line, the tilt is NONE and no comma separates numbers.
bool Readable1991(const std::string& text)
{
    const size_t tilt = text.find("TILT=");
    size_t line = text.find_first_of("\r\n");
    for (; line < tilt; line = text.find_first_of("\r\n", line + 1)) {
        const size_t start = text.find_first_not_of(" \t\r\n", line);
        if (start < tilt && text[start] != '[') return false;
    }
    return text.compare(tilt, 9, "TILT=NONE") == 0 && text.find(',', tilt) == std::string::npos;
}

const std::map<std::string, std::string> kRefusedRealFiles = {
    {"iesna91_mdl_test_file_format_error.ies", "LM-63-1991, line 3: expected the number of lamps"},
    {"iesna91_mdl_test_typeB_crlf.ies", "LM-63-1991, line 3: photometric type B is not read (only type C)"},
    {"lm02_echo_flood_2_1_typeB_crlf.ies", "LM-63-2002, line 29: photometric type B is not read (only type C)"},
};

}  // namespace

TEST_F(IesEditionsTest, RealFilesReadOrAreRefusedWithTheirCause)
{
    int read = 0;
    for (const std::string& name : RealFiles()) {
        const std::string path = RealPath(name);
        _VekGeneralLightData* d = ReadPath(path);
        const auto refused = kRefusedRealFiles.find(name);
        if (refused == kRefusedRealFiles.end()) {
            ++read;
            ASSERT_NE(d, nullptr) << name << ": " << VekLight_GetIesReadMessage();
            EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
            EXPECT_TRUE(FiniteEverywhere(d)) << name;
        } else {
            EXPECT_EQ(d, nullptr) << name;
            EXPECT_EQ(VekLight_GetIesReadMessage(), refused->second);
            EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_FAIL_READ_GENERAL_LIGHT);
            EXPECT_EQ(VekMain_GetWarningString(), "VekLight_InstanciateGeneralLightWithIesFile : " + path);
        }
    }
    EXPECT_EQ(read, 24);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 24);

    // Spot checks against the files' numbers: commas, a 1986 file, tilt data skipped.
    EXPECT_NEAR(LightAround(ReadPath(RealPath("iesna91_rp_star_focused_commas.ies")))(2.5, 45), 153.0f, 0.01);
    EXPECT_NEAR(LightAround(ReadPath(RealPath("lm86_rp_erco_defined_diffuse_ctrlz.ies")))(5, 0), 557.11f, 0.01);
    EXPECT_NEAR(LightAround(ReadPath(RealPath("lm95_simonced_tilt_include_tabs.ies")))(22.5, 45), 35000.0f, 0.1);
    // The same luminaire with a tilt block, a keyword without its bracket,
    // and a byte order mark with CRLF ends.
    _VekGeneralLightData* plain = ReadPath(RealPath("lm95_kalamazpi_glh_utf8_bom_crlf.ies"));
    for (const char* variant : {"lm95_kalamazpi_glh_tilt_include.ies", "lm95_kalamazpi_glh_missing_bracket.ies"}) {
        ExpectSameRecord(plain, ReadPath(RealPath(variant)), variant);
        ExpectSameEverywhere(plain, ReadPath(RealPath(variant)), variant);
    }
}

TEST_F(IesEditionsTest, EveryEditionAndThe1991ReaderGiveTheSameLight)
{
    int compared1991 = 0;
    for (const std::string& name : RealFiles()) {
        if (kRefusedRealFiles.count(name)) continue;
        const std::string text = Slurp(RealPath(name));
        _VekGeneralLightData* original = ReadPath(RealPath(name));
        for (const char* edition : kEditionLines)
            ExpectSameRecord(original, ReadIes(WithEdition(text, edition)), name + " as " + edition);

        // The 1991 reader on the same numbers, where it can take them.
        const std::string as1991 = WithEdition(text, "IESNA91");
        if (!Readable1991(as1991)) continue;
        _VekGeneralLightData* old = VekLight_InstanciateGeneralLightDataWithFile(WriteTemp(name, as1991).c_str());
        ASSERT_NE(old, nullptr) << name;
        ++compared1991;
        if (name == "lm95_luxpy_isym3_h90_270.ies") {
            // Only here do they part: the 1991 reader keeps 90 to 270 as
            // written, with no light below 90; this reader unfolds it.
            EXPECT_EQ(old->horizontalCount, 14);
            EXPECT_EQ(LightAround(old)(30, 45), 0.0f);
            continue;
        }
        ExpectSameRecord(old, original, name + " and the 1991 reader");
        ExpectSameEverywhere(old, original, name + " and the 1991 reader");
    }
    EXPECT_EQ(compared1991, 19);
}

TEST_F(IesEditionsTest, SymmetryAboutThe90To270PlaneIsUnfolded)
{
    LightAround at(ReadPath(RealPath("lm95_luxpy_isym3_h90_270.ies")));
    // Tabulated values, and their mirror images.
    EXPECT_NEAR(at(0, 90), 1501.86f, 0.01);
    EXPECT_NEAR(at(2.5, 105), 1402.99f, 0.01);
    EXPECT_NEAR(at(2.5, 75), 1402.99f, 0.01);
    // Along every tabulated horizontal angle the mirror image answers alike;
    // between them the halves agree as closely as the interpolation goes.
    int asymmetric = 0;
    for (double h = 90; h <= 270; h += 15)
        for (double v = 0; v <= 90; v += 1.3) asymmetric += std::fabs(at(v, h) - at(v, 180 - h)) > 1e-4f * at(v, h);
    EXPECT_EQ(asymmetric, 0);
    // Without 180 among the angles the halves cannot be joined.
    EXPECT_EQ(ReadIes("IESNA:LM-63-1995\nTILT=NONE\n1 1 1 2 2 1 1 0 0 0\n1 1 1\n0 90\n90 270\n1 2 3 4\n"), nullptr);
    EXPECT_STREQ(VekLight_GetIesReadMessage(),
                 "LM-63-1995, line 6: expected 180 among the horizontal angles from 90 to 270");
}

TEST_F(IesEditionsTest, QuirksOfRealFilesReadAlike)
{
    _VekGeneralLightData* plain = ReadIes(kPlain);
    ASSERT_NE(plain, nullptr);
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    const std::string variants[] = {
        replaced(kPlain, "\n", "\r\n"),
        replaced(kPlain, "\n", "\r"),
        "\xEF\xBB\xBF" + kPlain,
        kPlain + "\x1A" + "trailing junk 1 2 3",
        kPlain.substr(0, kPlain.size() - 1),
        " \t" + replaced(kPlain, "\n", "\n  "),
        "\n\n" + replaced(replaced(kPlain, " ", ","), "\n1,1,10", "\n1,\t1 ,10"),
        replaced(kPlain, "[MANUFAC] nobody", "[MORE] more\n[" + std::string(100000, 'k') + "]\nno bracket"),
        replaced(kPlain, "TILT=NONE", "TILT=INCLUDE\n1\n3\n0 45 90\n1 .9 .8"),
        replaced(kPlain, "TILT=NONE", "  tilt = none  "),
        replaced(kPlain, "0 45 90\n0 90\n", "0\n45\n90 0\n90 "),
        replaced(kPlain, "1 1000", "+1 1.0e3"),
    };
    for (const std::string& variant : variants) ExpectSameRecord(plain, ReadIes(variant), variant.substr(0, 60));

    // An unknown first line is a label line of a file without an edition line.
    ExpectSameRecord(plain, ReadIes("SOME LAB\n" + WithEdition(kPlain, "")), "labels");
}

TEST_F(IesEditionsTest, RefusalsNameTheEditionTheLineAndTheCause)
{
    auto replaced = [](const std::string& from, const std::string& to) {
        std::string text = kPlain;
        return text.replace(text.find(from), from.size(), to);
    };
    const std::pair<std::string, std::string> cases[] = {
        {replaced("1 1000 1 3", "1 1000 1 x"), "LM-63-2002, line 5: expected the number of vertical angles"},
        {replaced("1 1000 1 3", "1 1000 1 0"),
         "LM-63-2002, line 5: expected the number of vertical angles from 1 to 65536"},
        {replaced("1 1000 1 3 2", "1 1000 1 2048 1024"),
         "LM-63-2002, line 5: expected the number of horizontal angles from 1 to 512"},
        {replaced("1 1000 1 3 2", "1 1000 1 3.5 2"), "LM-63-2002, line 5: expected the number of vertical angles"},
        {replaced("0 45 90", "0 90 45"), "LM-63-2002, line 7: expected vertical angles in increasing order"},
        {replaced("90 70 5", "90 nan 5"), "LM-63-2002, line 10: expected candela value 5 of 6"},
        {replaced("90 70 5", "90 1e999 5"), "LM-63-2002, line 10: expected candela value 5 of 6"},
        {replaced("0 45 90", "0 45 1e39"), "LM-63-2002, line 7: expected vertical angle 3 of 3"},
        {replaced("90 70 5", "90 70 5abc"), "LM-63-2002, line 10: expected candela value 6 of 6"},
        {replaced("1 1000 1 3 2 1", "1 1000 1 3 2 4"),
         "LM-63-2002, line 5: expected the photometric type from 1 to 3"},
        {replaced("TILT=NONE", "TILT="), "LM-63-2002, line 4: expected NONE, INCLUDE or a file name after TILT="},
        {replaced("TILT=NONE", "TILT=INCLUDE\n1\n-2"),
         "LM-63-2002, line 6: expected the number of tilt angles from 0 to 2147483647"},
        {replaced("TILT=NONE", "TILT=INCLUDE\n1\n1000000000\n0 1"),
         "LM-63-2002, line 13: expected tilt angle 27 of 1000000000"},
        {"IES:LM-63-2019\n[TEST]\n", "LM-63-2019, line 2: expected the TILT= line"},
        {"IESNA91 and more\nTILT=NONE\n1 1 1 0",
         "LM-63-1991, line 3: expected the number of vertical angles from 1 to 65536"},
        {WithEdition(kPlain, "IESNA91").substr(0, 74), "LM-63-1991, line 6: expected the input watts"},
        {"", "LM-63-1986, line 1: expected the TILT= line"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(ReadIes(text), nullptr) << message;
        EXPECT_EQ(VekLight_GetIesReadMessage(), message);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_FAIL_READ_GENERAL_LIGHT);
    }
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 0);
    EXPECT_EQ(g_mainStatusTable.lightCount, 0);

    // What the library does not model gets a warning of its own first.
    const auto log = vektest::CaptureLog([&] {
        EXPECT_EQ(ReadIes(replaced("TILT=NONE", "TILT=lamp.tlt")), nullptr);
        EXPECT_EQ(ReadIes(replaced("1 1000 1 3 2 1", "1 1000 1 3 2 3")), nullptr);
    });
    const std::vector<std::string> expected = {
        "VEK_WARNING_INVALID_VALUE\tVekLight_InstanciateGeneralLightWithIesStream : LM-63-2002, line 4: tilt data in "
        "another file (TILT=<file>) are not read",
        "VEK_WARNING_FAIL_READ_GENERAL_LIGHT\tVekLight_InstanciateGeneralLightWithIesStream : ies text",
        "VEK_WARNING_INVALID_VALUE\tVekLight_InstanciateGeneralLightWithIesStream : LM-63-2002, line 5: photometric "
        "type A is not read (only type C)",
        "VEK_WARNING_FAIL_READ_GENERAL_LIGHT\tVekLight_InstanciateGeneralLightWithIesStream : ies text",
    };
    EXPECT_EQ(log, expected);
}

TEST_F(IesEditionsTest, LightsAsTheArrayFormMakesThemSharedByPath)
{
    // The array form and a file with the same numbers make the same light.
    float v[] = {0, 45, 90}, h[] = {0, 90}, c[] = {100, 80, 10, 90, 70, 5};
    float energy[3] = {-1, 0, 5}, position[3] = {1, 2, 3};
    _VekLight* fromArrays = VekLight_InstanciateGeneralLightInternal(energy, position, kFrame, 1000, 1, 3, v, 2, h, c);
    const std::string path = WriteTemp("plain.ies", kPlain);
    _VekLight* fromFile = VekLight_InstanciateGeneralLightWithIesFileInternal(energy, position, path.c_str(), kFrame);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->index, fromArrays->index + 1);
    EXPECT_EQ(fromFile->type, VEK_LIGHT_GENERAL);
    auto& a = *static_cast<_VekGeneralLight*>(fromArrays->parameters);
    auto& b = *static_cast<_VekGeneralLight*>(fromFile->parameters);
    EXPECT_TRUE(SameBits(&a.energy.x, &b.energy.x, 6) && SameBits(a.orientation, b.orientation, 16));
    EXPECT_EQ(b.energy.x, 1e-6f);
    ExpectSameEverywhere(a.data, b.data, "arrays and file");

    // One path, one distribution, whichever file form comes first; a
    // success leaves an empty message.
    EXPECT_EQ(DataOf(VekLight_InstanciateGeneralLightWithFileInternal(energy, position, path.c_str(), kFrame)), b.data);
    const std::string old = RealPath("iesna91_rp_defined.ies");
    _VekLight* first = VekLight_InstanciateGeneralLightWithFileInternal(energy, position, old.c_str(), kFrame);
    EXPECT_EQ(ReadPath(old), DataOf(first));
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 3);
    // Streams read each time; a failure takes no index.
    TextStream stream(kPlain);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(energy, position, &stream, kFrame), 6);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(energy, position, "/no/such.ies", kFrame), -1);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "no such file");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(energy, nullptr, path.c_str(), kFrame), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(energy, position, path.c_str(), kFrame), 7);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 4);

    // The message belongs to the thread that read.
    std::thread([] {
        EXPECT_EQ(ReadIes("junk"), nullptr);
        EXPECT_STRNE(VekLight_GetIesReadMessage(), "");
    }).join();
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
}

TEST_F(IesEditionsTest, HostileInputMakesNoLight)
{
    // Every cut before the last number leaves the table incomplete.
    const size_t lastNumber = kPlain.rfind(' ') + 1;
    for (size_t cut = 0; cut < lastNumber; ++cut) {
        EXPECT_EQ(ReadIes(kPlain.substr(0, cut)), nullptr) << cut;
        EXPECT_STRNE(VekLight_GetIesReadMessage(), "") << cut;
    }

    // Binary noise alone, and after a sound header.
    std::mt19937 random(16);
    for (int k = 0; k < 300; ++k) {
        std::string noise(random() % 2048, '\0');
        for (char& byte : noise) byte = static_cast<char>(random());
        const std::string text = k % 2 ? noise : kPlain.substr(0, random() % kPlain.size()) + noise;
        if (_VekGeneralLightData* d = ReadIes(text)) {
            EXPECT_TRUE(FiniteEverywhere(d));
        }
    }

    // A sparse file of a gigabyte is refused unread; so are what is no file.
    const std::string huge = vektest::FreshTempPath("huge.ies");
    std::ofstream(huge) << kPlain;
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);
    EXPECT_EQ(ReadPath(huge), nullptr);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "the file is larger than 32 MiB, more than any photometric file");
    std::filesystem::remove(huge);
    EXPECT_EQ(ReadPath(vektest::TempDir()), nullptr);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "not a regular file");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(kEnergy, kOrigin, nullptr, kFrame), -1);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kOrigin, nullptr, kFrame), -1);

    // A stream that never ends is cut off; one that throws leaves nothing.
    TextStream endless("IESNA:LM-63-2002\n");
    endless.filler = "[K] and on\n";
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kOrigin, &endless, kFrame), -1);
    TextStream broken(kPlain);
    broken.throwAfter = static_cast<long>(kPlain.size()) - 3;
    EXPECT_THROW(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kOrigin, &broken, kFrame), std::runtime_error);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 0);
    EXPECT_EQ(g_mainStatusTable.lightCount, 0);
}
