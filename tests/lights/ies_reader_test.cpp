// The IES reader on real text: our own small files (symmetries, keyword
// lines, line ends, wrapped numbers), the third-party files of
// tests/data/ies as they are, and hostile input through files and streams.
#include <dirent.h>

#include <cmath>
#include <string>
#include <vector>

#include "light_test_support.h"

using lighttest::Direction;
using lighttest::FiniteEverywhere;
using lighttest::LightAround;
using lighttest::OwnIes;
using lighttest::ReadText;
using lighttest::TextStream;

class IesReaderTest : public vektest::LibraryTest {};

namespace {

// A well-formed file to cut, corrupt and extend.
const std::string kSmall =
    "IESNA91\n[TEST] small\nTILT=NONE\n1 100 2 3 2 1 1 0.5 0.25 0.125\n1.0 1.0 10\n0 45 90\n0 180\n"
    "30 20 10\n40 25 5\n";

void ExpectValues(const _VekGeneralLightData* d, const std::vector<float>& v, const std::vector<float>& h,
                  const std::vector<double>& candela)
{
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->verticalCount, static_cast<int32_t>(v.size()));
    ASSERT_GE(d->horizontalCount, static_cast<int32_t>(h.size()));
    for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(d->verticalAngles[i], v[i]);
    for (size_t j = 0; j < h.size(); ++j) EXPECT_EQ(d->horizontalAngles[j], h[j]);
    for (size_t k = 0; k < candela.size(); ++k) EXPECT_EQ(d->candela[k], candela[k]) << k;
}

}  // namespace

TEST_F(IesReaderTest, OwnFilesReadAsWrittenWhateverTheirLineEnds)
{
    _VekGeneralLightData* rotational = VekLight_InstanciateGeneralLightDataWithFile(OwnIes("rotational.ies").c_str());
    ExpectValues(rotational, {0, 15, 30, 45, 60, 75, 90}, {0}, {1000, 980, 900, 750, 500, 200, 0});
    EXPECT_STREQ(rotational->name, OwnIes("rotational.ies").c_str());
    EXPECT_EQ(rotational->lumensPerLamp, 1000.0f);
    EXPECT_EQ(rotational->width, 0.1f);
    EXPECT_NEAR(LightAround(rotational)(45, 77), 750.0f, 0.05);

    // The quadrant file wraps its numbers anywhere; a multiplier of 2 is
    // stored, not applied.
    _VekGeneralLightData* quadrant = VekLight_InstanciateGeneralLightDataWithFile(OwnIes("quadrant.ies").c_str());
    ExpectValues(quadrant, {0, 30, 60, 90, 120}, {0, 30, 60, 90},
                 {1000, 900, 600, 250, 50, 1000, 850, 550, 200, 40, 1000, 800, 450, 150, 30, 1000, 700, 400, 100, 20});
    EXPECT_EQ(quadrant->candelaMultiplier, 2.0f);
    LightAround atQuadrant(quadrant);
    EXPECT_NEAR(atQuadrant(60, 240), 450.0f, 0.05);   // mirrored
    EXPECT_NEAR(LightAround(VekLight_InstanciateGeneralLightDataWithFile(OwnIes("half.ies").c_str()))(45, 225), 250.0f, 0.05);

    // The same full distribution with CR ends, on one line, and wrapped with CRLF.
    _VekGeneralLightData* cr = VekLight_InstanciateGeneralLightDataWithFile(OwnIes("full_cr.ies").c_str());
    ASSERT_NE(cr, nullptr);
    EXPECT_NEAR(LightAround(cr)(90, 270), 350.0f, 0.05);
    for (const char* name : {"full_one_line.ies", "full_wrapped_crlf.ies"}) {
        _VekGeneralLightData* other = VekLight_InstanciateGeneralLightDataWithFile(OwnIes(name).c_str());
        ASSERT_NE(other, nullptr) << name;
        ASSERT_EQ(other->horizontalCount, cr->horizontalCount);
        const int cells = (cr->verticalCount - 1) * (cr->horizontalCount - 1);
        for (int k = 0; k < 16 * cells; ++k) ASSERT_EQ(other->coefficients[k], cr->coefficients[k]) << name;
    }
}

TEST_F(IesReaderTest, KeywordAndEditionRules)
{
    // Keyword lines may be indented and separated by blank lines.
    EXPECT_NE(ReadText("IESNA91\n\n   [A] x\n\n\t[B]\n\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr);
    // Only the 1991 edition, spelled exactly.
    EXPECT_EQ(ReadText("IESNA:LM-63-1995\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr);
    EXPECT_EQ(ReadText("IESNA91x\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr);
    EXPECT_EQ(ReadText(std::string("IESNA91") + '\0' + "x\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr);
    // Text after the edition token is the tilt line: the keyword line is then
    // read as numbers (0 lamps ...) and the counts come out wrong.
    _VekGeneralLightData* misread = ReadText("IESNA91 extra\n[K] a\nTILT=NONE\n1 1 1 2 1 1 1 0 0 0 1 1 0 0 90 5 6\n");
    if (misread) {
        EXPECT_NE(misread->verticalCount, 2);
    }
}

TEST_F(IesReaderTest, RealFilesReadOrAreRefused)
{
    const std::string dir = VEK_IES_DATA_DIR;
    DIR* listing = opendir(dir.c_str());
    ASSERT_NE(listing, nullptr);
    int read = 0, refused = 0;
    while (dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.substr(name.size() - 4) != ".ies") continue;
        const bool shouldRead = name.rfind("iesna91_", 0) == 0 && name.find("_commas") == std::string::npos &&
                                name.find("format_error") == std::string::npos;
        _VekGeneralLightData* d = VekLight_InstanciateGeneralLightDataWithFile((dir + "/" + name).c_str());
        if (shouldRead) {
            ++read;
            ASSERT_NE(d, nullptr) << name;
            EXPECT_TRUE(FiniteEverywhere(d)) << name;
        } else {
            ++refused;
            EXPECT_EQ(d, nullptr) << name;
        }
    }
    closedir(listing);
    EXPECT_EQ(read + refused, 27);
    EXPECT_EQ(read, 7);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 7);

    // Spot checks against the numbers in the files.
    LightAround soft(VekLight_InstanciateGeneralLightDataWithFile((dir + "/iesna91_rp_soft_arrow.ies").c_str()));
    const float down[3] = {0, 0, 1};
    EXPECT_FLOAT_EQ(soft(down), 1512.0f);
    EXPECT_NEAR(soft(17.5, 0), 578.0f, 0.1);
    _VekGeneralLightData* bega =
        VekLight_InstanciateGeneralLightDataWithFile((dir + "/iesna91_arnoldusd_bega_profile.ies").c_str());
    ASSERT_NE(bega, nullptr);
    EXPECT_EQ(bega->verticalCount, 73);
    EXPECT_EQ(bega->horizontalCount, 37);
    // Two vertical angles from -90: linear along the vertical angle.
    LightAround typeB(VekLight_InstanciateGeneralLightDataWithFile((dir + "/iesna91_mdl_test_typeB_crlf.ies").c_str()));
    EXPECT_NEAR(typeB(0, 0), 0.55f, 1e-5);   // halfway between 0.5 and 0.6 of the 0 degree column
}

TEST_F(IesReaderTest, RangesEndingAt90Or180MirrorWhereverTheyStart)
{
    // The real type B file: vertical -90..90, horizontal -90..90 with light
    // everywhere in its table. Every direction of the upper hemisphere has
    // light, mirrored into 0..90 (100 looks up 80, 300 looks up 60).
    LightAround typeB(
        VekLight_InstanciateGeneralLightDataWithFile(VEK_IES_DATA_DIR "/iesna91_mdl_test_typeB_crlf.ies"));
    ASSERT_NE(typeB.light.data, nullptr);
    int dark = 0;
    for (double a = 0; a <= 90; a += 3)
        for (double b = 0; b < 360; b += 3) dark += !(typeB(a, b) > 0.5f);
    EXPECT_EQ(dark, 0);
    for (double a : {10.0, 45.0, 80.0}) {
        EXPECT_NEAR(typeB(a, 100), typeB(a, 80), 1e-5);
        EXPECT_NEAR(typeB(a, 300), typeB(a, 60), 1e-5);
    }
    EXPECT_EQ(typeB(120, 30), 0.0f);   // below the last vertical angle's horizon

    // A range from -180 to 180 mirrors about the 0-180 plane; one from 10
    // to 180 has no light below 10 on either side.
    LightAround lateral(ReadText("IESNA91\nTILT=NONE\n1 1 1 2 3 1 1 0 0 0 1 1 0\n0 90\n-180 0 180\n1 2 3 4 5 6\n"));
    LightAround late(ReadText("IESNA91\nTILT=NONE\n1 1 1 2 3 1 1 0 0 0 1 1 0\n0 90\n10 90 180\n1 2 3 4 5 6\n"));
    EXPECT_NEAR(lateral(45, 0), 3.5f, 1e-5);
    EXPECT_NEAR(lateral(45, 200), lateral(45, 160), 1e-5);
    EXPECT_GT(late(45, 350), 0.0f);   // mirrored to 10
    EXPECT_EQ(late(45, 5), 0.0f);
    EXPECT_EQ(late(45, 355), 0.0f);
}

TEST_F(IesReaderTest, HostileCountsAndNumbers)
{
    const std::string head = "IESNA91\nTILT=NONE\n1 1 1 ";
    for (const char* counts : {"0 1", "2147483648 1", "2048 1024", "x 1"})
        EXPECT_EQ(ReadText(head + counts + " 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr) << counts;
    // Numbers that are not finite, or too long to be numbers.
    EXPECT_EQ(ReadText(head + "2 1 1 1 0 0 0 1 1 0 0 90 0 nan 5\n"), nullptr);
    EXPECT_EQ(ReadText(head + "2 1 1 1 0 0 0 1 1 0 0 1e39 0 1 5\n"), nullptr);
    EXPECT_EQ(ReadText(head + "2 1 1 1 0 0 0 1 1 0 0 90 0 " + std::string(256, '7') + " 5\n"), nullptr);
    // A token of 255 characters is still a token; a keyword line of any length is skipped.
    const std::string digits = "0." + std::string(253, '5');
    EXPECT_NE(ReadText(head + "2 1 1 1 0 0 0 1 1 0 0 90 0 " + digits + " 5\n"), nullptr);
    EXPECT_NE(ReadText("IESNA91\n[" + std::string(5000, 'k') + "]\nTILT=NONE\n1 1 1 1 1 1 1 0 0 0 1 1 0 0 0 5\n"), nullptr);
    // A token without a number reads as 0, as atof has it.
    _VekGeneralLightData* d = ReadText(head + "2 1 1 1 0 0 0 1 1 0 0 90 0 abc 5\n");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->candela[0], 0.0);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 3);
}

TEST_F(IesReaderTest, TruncatedInputFails)
{
    // Every cut before the last number starts leaves the table incomplete.
    const size_t lastNumber = kSmall.rfind(' ') + 1;
    for (size_t cut = 0; cut < lastNumber; ++cut) EXPECT_EQ(ReadText(kSmall.substr(0, cut)), nullptr) << cut;
    // The last number may end the input without a line end.
    EXPECT_NE(ReadText(kSmall.substr(0, kSmall.size() - 1)), nullptr);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 1);
    // A NUL byte is an ordinary character: a token that starts with one
    // has no leading number and reads as 0.
    std::string withNul = kSmall;
    withNul.insert(withNul.rfind("30"), std::string(1, '\0'));
    _VekGeneralLightData* d = ReadText(withNul);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->candela[0], 0.0);
    EXPECT_EQ(d->candela[1], 20.0);
}

TEST_F(IesReaderTest, StreamsThatMisbehave)
{
    // Never ending: keyword lines for ever (cut off after 32 MiB).
    TextStream keywords("IESNA91\n");
    keywords.filler = "[K] and on\n";
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithStream(&keywords), nullptr);
    // A complete distribution followed by endless text reads: nothing past
    // the table is asked for.
    TextStream tail(kSmall);
    tail.filler = "junk ";
    EXPECT_NE(VekLight_InstanciateGeneralLightDataWithStream(&tail), nullptr);
    EXPECT_EQ(tail.reads, static_cast<long>(kSmall.size()));

    // The end byte is the end; the stream is not asked again.
    TextStream ended("IESNA91");
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithStream(&ended), nullptr);
    EXPECT_EQ(ended.reads, 8);

    // A host exception passes through and leaves nothing behind.
    TextStream broken(kSmall);
    broken.throwAfter = static_cast<long>(kSmall.size()) - 3;
    EXPECT_THROW(VekLight_InstanciateGeneralLightDataWithStream(&broken), std::runtime_error);
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithStream(nullptr), nullptr);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 1);
}

TEST_F(IesReaderTest, MissingEmptyAndOddFiles)
{
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithFile("/nonexistent/lamp.ies"), nullptr);
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithFile(nullptr), nullptr);
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithFile(lighttest::WriteTemp("empty.ies", "").c_str()), nullptr);
    EXPECT_EQ(VekLight_InstanciateGeneralLightDataWithFile(vektest::TempDir().c_str()), nullptr);
    EXPECT_EQ(g_mainStatusTable.generalLightDataCount, 0);
    // A 0xFF byte in a file's keyword line is text, not the end.
    const std::string path = lighttest::WriteTemp("latin1.ies", "IESNA91\n[LAMP] \xff\n" + kSmall.substr(8));
    EXPECT_NE(VekLight_InstanciateGeneralLightDataWithFile(path.c_str()), nullptr);
}
