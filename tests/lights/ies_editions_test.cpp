// General lights from IES text of every edition: the real files of
// tests/data/ies as they are, the same data under every edition line and
// through the 1991 reader (bit for bit, and alike in every direction), the
// quirks of real files, the messages and warnings of refusals, sharing by
// path, and hostile input through files and streams.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "light_test_support.h"

using lighttest::FiniteEverywhere;
using lighttest::kIdentity;
using lighttest::LightAround;
using lighttest::TextStream;

class IesEditionsTest : public vektest::LibraryTest {};

namespace {

float kEnergy[3] = {-1, 0, 5};
float kPosition[3] = {1, 2, 3};
float* const kFrame = const_cast<float*>(kIdentity);

// A small distribution with every part of the format, to vary and to cut.
const std::string kPlain =
    "IESNA:LM-63-2002\n[TEST] plain\n[MANUFAC] nobody\nTILT=NONE\n1 1000 1 3 2 1 1 0 0 0\n1 1 10\n0 45 90\n0 90\n"
    "100 80 10\n90 70 5\n";

const std::map<std::string, std::string> kRefusedRealFiles = {
    {"iesna91_mdl_test_file_format_error.ies", "LM-63-1991, line 3: expected the number of lamps"},
    {"iesna91_mdl_test_typeB_crlf.ies", "LM-63-1991, line 3: photometric type B is not read (only type C)"},
    {"lm02_echo_flood_2_1_typeB_crlf.ies", "LM-63-2002, line 29: photometric type B is not read (only type C)"},
};

_VekGeneralLightData* DataOf(const _VekLight* light)
{
    return light ? static_cast<_VekGeneralLight*>(light->parameters)->data : nullptr;
}

_VekGeneralLightData* ReadPath(const std::string& path)
{
    return DataOf(VekLight_InstanciateGeneralLightWithIesFileInternal(kEnergy, kPosition, path.c_str(), kFrame));
}

_VekGeneralLightData* ReadIes(const std::string& text)
{
    TextStream stream(text, "ies text");
    return DataOf(VekLight_InstanciateGeneralLightWithIesStreamInternal(kEnergy, kPosition, &stream, kFrame));
}

std::string Real(const std::string& name) { return std::string(VEK_IES_DATA_DIR) + "/" + name; }

std::set<std::string> RealFiles()
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(VEK_IES_DATA_DIR))
        if (entry.path().extension() == ".ies") names.insert(entry.path().filename());
    return names;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every occurrence of from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The text with its first line replaced by edition; "" drops it, leaving a
// 1986 file whose keyword lines are labels.
std::string WithEdition(const std::string& text, const std::string& edition)
{
    const size_t end = text.find_first_of("\r\n");
    const size_t rest = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    return edition.empty() ? text.substr(rest) : edition + text.substr(end, rest - end) + text.substr(rest);
}

bool SameBits(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

// Every field and every table of two prepared records, bit for bit.
void ExpectSameRecord(const _VekGeneralLightData* a, const _VekGeneralLightData* b, const std::string& what)
{
    ASSERT_TRUE(a && b) << what;
    ASSERT_TRUE(a->verticalCount == b->verticalCount && a->horizontalCount == b->horizontalCount) << what;
    const size_t n = a->verticalCount, m = a->horizontalCount;
    const size_t coefficients = m > 1 ? 16 * (n > 1 ? n - 1 : 1) * (m - 1) : n;
    // The header values, lumensPerLamp to height.
    const size_t header =
        offsetof(_VekGeneralLightData, verticalAngles) - offsetof(_VekGeneralLightData, lumensPerLamp);
    EXPECT_TRUE(SameBits(&a->lumensPerLamp, &b->lumensPerLamp, header) &&
                SameBits(a->verticalAngles, b->verticalAngles, 4 * n) &&
                SameBits(a->horizontalAngles, b->horizontalAngles, 4 * m) &&
                SameBits(a->candela, b->candela, 8 * n * m) &&
                SameBits(a->coefficients, b->coefficients, 8 * coefficients))
        << what;
}

// Both answer the same bits on and between the grid angles, poles included.
void ExpectSameEverywhere(_VekGeneralLightData* a, _VekGeneralLightData* b, const std::string& what)
{
    LightAround atA(a), atB(b);
    int differences = 0;
    for (double v = 0; v <= 180; v += 1.25)
        for (double h = 0; h < 360; h += 2.5)
            for (double offset : {0.0, 0.45}) {
                const float x = atA(v + offset, h + 2 * offset), y = atB(v + offset, h + 2 * offset);
                differences += !SameBits(&x, &y, sizeof x);
            }
    EXPECT_EQ(differences, 0) << what;
}

}  // namespace

TEST_F(IesEditionsTest, RealFilesReadOrAreRefusedWithTheirCause)
{
    for (const std::string& name : RealFiles()) {
        _VekGeneralLightData* d = ReadPath(Real(name));
        const auto refused = kRefusedRealFiles.find(name);
        if (refused == kRefusedRealFiles.end()) {
            ASSERT_NE(d, nullptr) << name << ": " << VekLight_GetIesReadMessage();
            EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
            EXPECT_TRUE(FiniteEverywhere(d)) << name;
        } else {
            EXPECT_EQ(d, nullptr) << name;
            EXPECT_EQ(VekLight_GetIesReadMessage(), refused->second);
            EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_FAIL_READ_GENERAL_LIGHT);
            EXPECT_EQ(VekMain_GetWarningString(), "VekLight_InstanciateGeneralLightWithIesFile : " + Real(name));
        }
    }
    EXPECT_EQ(RealFiles().size(), 27u);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 24);

    // Against the files' numbers: commas, a 1986 file, a tilt block skipped.
    EXPECT_NEAR(LightAround(ReadPath(Real("iesna91_rp_star_focused_commas.ies")))(2.5, 45), 153.0f, 0.01);
    EXPECT_NEAR(LightAround(ReadPath(Real("lm86_rp_erco_defined_diffuse_ctrlz.ies")))(5, 0), 557.11f, 0.01);
    EXPECT_NEAR(LightAround(ReadPath(Real("lm95_simonced_tilt_include_tabs.ies")))(22.5, 45), 35000.0f, 0.1);
    // One luminaire with a byte order mark and CRLF, with a tilt block, and
    // with a keyword that lost its bracket.
    _VekGeneralLightData* plain = ReadPath(Real("lm95_kalamazpi_glh_utf8_bom_crlf.ies"));
    for (const char* variant : {"lm95_kalamazpi_glh_tilt_include.ies", "lm95_kalamazpi_glh_missing_bracket.ies"}) {
        ExpectSameRecord(plain, ReadPath(Real(variant)), variant);
        ExpectSameEverywhere(plain, ReadPath(Real(variant)), variant);
    }
}

TEST_F(IesEditionsTest, EveryEditionAndThe1991ReaderGiveTheSameLight)
{
    // What the 1991 reader cannot take even as "IESNA91": labels without
    // brackets, tilt blocks, commas.
    const std::set<std::string> not1991 = {
        "lm86_rp_erco_defined_diffuse_ctrlz.ies", "lm95_kalamazpi_glh_missing_bracket.ies",
        "lm95_kalamazpi_glh_tilt_include.ies", "lm95_simonced_tilt_include_tabs.ies",
        "iesna91_rp_star_focused_commas.ies"};
    for (const std::string& name : RealFiles()) {
        if (kRefusedRealFiles.count(name)) continue;
        const std::string text = Slurp(Real(name));
        _VekGeneralLightData* original = ReadPath(Real(name));
        for (const char* edition : {"", "IESNA91", "IESNA:LM-63-1995", "IESNA:LM-63-2002", "IES:LM-63-2019"})
            ExpectSameRecord(original, ReadIes(WithEdition(text, edition)), name + " as " + edition);
        if (not1991.count(name)) continue;

        const std::string path = lighttest::WriteTemp(name, WithEdition(text, "IESNA91"));
        _VekGeneralLightData* old = VekLight_InstanciateGeneralLightDataWithFile(path.c_str());
        ASSERT_NE(old, nullptr) << name;
        if (name == "lm95_luxpy_isym3_h90_270.ies") {
            // The one difference: the 1991 reader keeps 90 to 270 as
            // written, with no light below 90; this reader unfolds it.
            EXPECT_EQ(LightAround(old)(30, 45), 0.0f);
            EXPECT_GT(LightAround(original)(30, 45), 0.0f);
            continue;
        }
        ExpectSameRecord(old, original, name + " and the 1991 reader");
        ExpectSameEverywhere(old, original, name + " and the 1991 reader");
    }
}

TEST_F(IesEditionsTest, SymmetryAboutThe90To270PlaneIsUnfolded)
{
    LightAround at(ReadPath(Real("lm95_luxpy_isym3_h90_270.ies")));
    EXPECT_NEAR(at(2.5, 105), 1402.99f, 0.01);
    EXPECT_NEAR(at(2.5, 75), 1402.99f, 0.01);
    // Along every tabulated angle the mirror image answers alike (between
    // them, as closely as the interpolation goes).
    int asymmetric = 0;
    for (double h = 90; h <= 270; h += 15)
        for (double v = 0; v <= 90; v += 1.3) asymmetric += std::fabs(at(v, h) - at(v, 180 - h)) > 1e-4f * at(v, h);
    EXPECT_EQ(asymmetric, 0);
}

TEST_F(IesEditionsTest, QuirksOfRealFilesReadAlike)
{
    _VekGeneralLightData* plain = ReadIes(kPlain);
    const std::string variants[] = {
        Replaced(kPlain, "\n", "\r\n"),
        Replaced(kPlain, "\n", "\r"),
        "\xEF\xBB\xBF" + kPlain,
        kPlain.substr(0, kPlain.size() - 1) + "\x1A" + "1 2 3",   // right after the last number
        kPlain.substr(0, kPlain.size() - 1),
        "\n \t" + Replaced(kPlain, "\n", "\n  "),
        Replaced(Replaced(kPlain, " ", ","), "\n1,1,10", "\n1,\t1 ,10"),
        Replaced(kPlain, "[MANUFAC] nobody", "[MORE] more\n[" + std::string(100000, 'k') + "]\nno bracket"),
        Replaced(kPlain, "TILT=NONE", "TILT=INCLUDE\n1\n3\n0 45 90\n1 .9 .8"),
        Replaced(kPlain, "TILT=NONE", "  tilt = none  "),
        Replaced(kPlain, "0 45 90\n0 90\n", "0\n45\n90 0\n90 "),
        Replaced(kPlain, "1 1000", "+1 1.0e3"),
        "SOME LAB\n" + WithEdition(kPlain, ""),
    };
    for (const std::string& variant : variants) ExpectSameRecord(plain, ReadIes(variant), variant.substr(0, 60));
}

TEST_F(IesEditionsTest, RefusalsNameTheEditionTheLineAndTheCause)
{
    const std::pair<std::string, std::string> cases[] = {
        {Replaced(kPlain, "1 1000 1 3", "1 1000 1 x"), "LM-63-2002, line 5: expected the number of vertical angles"},
        {Replaced(kPlain, "1 1000 1 3 2", "1 1000 1 2048 1024"),
         "LM-63-2002, line 5: expected the number of horizontal angles from 1 to 512"},
        {Replaced(kPlain, "0 45 90", "0 90 45"), "LM-63-2002, line 7: expected vertical angles in increasing order"},
        {Replaced(kPlain, "0 45 90", "0 45 1e39"), "LM-63-2002, line 7: expected vertical angle 3 of 3"},
        {Replaced(kPlain, "90 70 5", "90 nan 5"), "LM-63-2002, line 10: expected candela value 5 of 6"},
        {Replaced(kPlain, "90 70 5", "90 70 5abc"), "LM-63-2002, line 10: expected candela value 6 of 6"},
        {Replaced(kPlain, "1 1000 1 3 2 1", "1 1000 1 3 2 4"),
         "LM-63-2002, line 5: expected the photometric type from 1 to 3"},
        {Replaced(kPlain, "TILT=NONE", "TILT="),
         "LM-63-2002, line 4: expected NONE, INCLUDE or a file name after TILT="},
        {Replaced(kPlain, "TILT=NONE", "TILT=INCLUDE\n1\n1000000000\n0 1"),
         "LM-63-2002, line 13: expected tilt angle 27 of 1000000000"},
        {"IESNA91 and more\nTILT=NONE\n1 1 1 0",
         "LM-63-1991, line 3: expected the number of vertical angles from 1 to 65536"},
        {"IES:LM-63-2019\n[TEST]\n", "LM-63-2019, line 2: expected the TILT= line"},
        {Replaced(kPlain, "0 90\n", "90 270\n"),
         "LM-63-2002, line 8: expected 180 among the horizontal angles from 90 to 270"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(ReadIes(text), nullptr) << message;
        EXPECT_EQ(VekLight_GetIesReadMessage(), message);
        EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_FAIL_READ_GENERAL_LIGHT);
    }
    // What the library does not model gets a warning of its own first.
    const auto log = vektest::CaptureLog([] {
        EXPECT_EQ(ReadIes(Replaced(kPlain, "TILT=NONE", "TILT=lamp.tlt")), nullptr);
        EXPECT_EQ(ReadIes(Replaced(kPlain, "1 1000 1 3 2 1", "1 1000 1 3 2 3")), nullptr);
    });
    const std::string name = "VekLight_InstanciateGeneralLightWithIesStream : ";
    EXPECT_EQ(log, std::vector<std::string>({
                       "VEK_WARNING_INVALID_VALUE\t" + name +
                           "LM-63-2002, line 4: tilt data in another file (TILT=<file>) are not read",
                       "VEK_WARNING_FAIL_READ_GENERAL_LIGHT\t" + name + "ies text",
                       "VEK_WARNING_INVALID_VALUE\t" + name +
                           "LM-63-2002, line 5: photometric type A is not read (only type C)",
                       "VEK_WARNING_FAIL_READ_GENERAL_LIGHT\t" + name + "ies text",
                   }));
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 0);
    EXPECT_EQ(g_mainStatusTable.lightCount, 0);
}

TEST_F(IesEditionsTest, LightsAsTheArrayFormMakesThemSharedByPath)
{
    float v[] = {0, 45, 90}, h[] = {0, 90}, c[] = {100, 80, 10, 90, 70, 5};
    _VekLight* arrays = VekLight_InstanciateGeneralLightInternal(kEnergy, kPosition, kFrame, 1000, 1, 3, v, 2, h, c);
    const std::string path = lighttest::WriteTemp("plain.ies", kPlain);
    _VekLight* file = VekLight_InstanciateGeneralLightWithIesFileInternal(kEnergy, kPosition, path.c_str(), kFrame);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->index, 2);
    const auto& a = *static_cast<_VekGeneralLight*>(arrays->parameters);
    const auto& b = *static_cast<_VekGeneralLight*>(file->parameters);
    EXPECT_TRUE(SameBits(&a, &b, offsetof(_VekGeneralLight, data)));   // energy floored, position, frame
    ExpectSameEverywhere(a.data, b.data, "arrays and file");

    // One path, one distribution, whichever file form reads it first.
    auto readOld = [](const std::string& at) {
        return DataOf(VekLight_InstanciateGeneralLightWithFileInternal(kEnergy, kPosition, at.c_str(), kFrame));
    };
    EXPECT_EQ(readOld(path), b.data);
    _VekGeneralLightData* readFirst = readOld(Real("iesna91_rp_defined.ies"));
    EXPECT_EQ(ReadPath(Real("iesna91_rp_defined.ies")), readFirst);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 3);
    // A stream is read each time; failures take no index.
    TextStream stream(kPlain);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kPosition, &stream, kFrame), 6);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(kEnergy, kPosition, "/no/such.ies", kFrame), -1);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "no such file");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(kEnergy, nullptr, path.c_str(), kFrame), -1);
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_INVALID_VALUE);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(kEnergy, kPosition, path.c_str(), kFrame), 7);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 4);

    // The message belongs to the thread that read.
    std::thread([] {
        ReadIes("junk");
        EXPECT_STRNE(VekLight_GetIesReadMessage(), "");
    }).join();
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "");
}

TEST_F(IesEditionsTest, HostileInputMakesNoLight)
{
    // Every cut before the last number leaves the table incomplete.
    for (size_t cut = 0; cut <= kPlain.rfind(' '); ++cut) {
        EXPECT_EQ(ReadIes(kPlain.substr(0, cut)), nullptr) << cut;
        EXPECT_STRNE(VekLight_GetIesReadMessage(), "") << cut;
    }
    // Binary noise, alone and after a sound beginning.
    std::mt19937 random(16);
    for (int k = 0; k < 300; ++k) {
        std::string noise(random() % 2048, '\0');
        for (char& byte : noise) byte = static_cast<char>(random());
        if (_VekGeneralLightData* d = ReadIes(k % 2 ? noise : kPlain.substr(0, random() % kPlain.size()) + noise)) {
            EXPECT_TRUE(FiniteEverywhere(d));
        }
    }
    // A sparse file of a gigabyte is refused unread; so is what is no file.
    const std::string huge = vektest::FreshTempPath("huge.ies");
    std::ofstream(huge) << kPlain;
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);
    EXPECT_EQ(ReadPath(huge), nullptr);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "the file is larger than 32 MiB, more than any photometric file");
    std::filesystem::remove(huge);
    EXPECT_EQ(ReadPath(vektest::TempDir()), nullptr);
    EXPECT_STREQ(VekLight_GetIesReadMessage(), "not a regular file");
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesFile(kEnergy, kPosition, nullptr, kFrame), -1);
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kPosition, nullptr, kFrame), -1);
    // A stream that never ends is cut off; one that throws leaves nothing.
    TextStream endless("IESNA:LM-63-2002\n");
    endless.filler = "[K] and on\n";
    EXPECT_EQ(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kPosition, &endless, kFrame), -1);
    TextStream broken(kPlain);
    broken.throwAfter = static_cast<long>(kPlain.size()) - 3;
    EXPECT_THROW(VekLight_InstanciateGeneralLightWithIesStream(kEnergy, kPosition, &broken, kFrame),
                 std::runtime_error);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 0);
    EXPECT_EQ(g_mainStatusTable.lightCount, 0);
}
