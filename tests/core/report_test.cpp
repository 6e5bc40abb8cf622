// Errors, warnings, the log file and the four range checks, as a host sees
// them through the shared library.
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "support/test_support.h"

using vektest::CaptureLog;
using vektest::LibraryTest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST_F(LibraryTest, ErrorsThrowAndWarningsRecordUntilTheNextInitialize)
{
    // Raised by the host's own call, and from deep inside a library operation.
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_VALUE,
                                      [] { VekMain_Error(VEK_ERROR_INVALID_VALUE, Text("HostCheck")); }),
              "HostCheck");
    VekAttribute_SetMap(VEK_MAP_1, Text("no such map"));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("a")); }),
              "VekAttribute_Instanciate");
    EXPECT_EQ(VekMain_GetErrorString(), g_mainStatusTable.errorText);
    EXPECT_STREQ(VekMain_GetErrorString(), "VekAttribute_Instanciate");

    // A warning records and the call goes on; nothing clears the error.
    VekAttribute_SetMap(0, nullptr);
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, Text("First"));
    VekMain_Warning(VEK_WARNING_DUPLICATE_POSITION, Text("Second"));
    VekAttribute_Instanciate(Text("b"));
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    EXPECT_EQ(VekMain_GetWarningString(), g_mainStatusTable.warningText);
    EXPECT_STREQ(VekMain_GetWarningString(), "Second");
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_INVALID_NAME);
    VekMain_Initialize();
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_NONE);
    EXPECT_STREQ(VekMain_GetErrorString(), "");
}

TEST_F(LibraryTest, LongAndNullNamesAreCutOrEmpty)
{
    const std::string longName(300, 'n');
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_GENERAL, [&] { VekMain_Error(VEK_ERROR_GENERAL, Text(longName.c_str())); }),
              longName.substr(0, 63));
    EXPECT_EQ(std::string(VekMain_GetErrorString()), longName.substr(0, 255));
    VekMain_Warning(VEK_WARNING_GENERAL, Text(longName.c_str()));
    EXPECT_EQ(std::string(VekMain_GetWarningString()), longName.substr(0, 255));
    // Re-reporting the last text passes the library's own field back to it.
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_MEMORY, [] { VekMain_Error(VEK_ERROR_MEMORY, VekMain_GetErrorString()); }),
              longName.substr(0, 63));
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, VekMain_GetWarningString());
    EXPECT_EQ(std::string(VekMain_GetWarningString()), longName.substr(0, 255));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_GENERAL, [] { VekMain_Error(VEK_ERROR_GENERAL, nullptr); }), "");
    VekMain_Warning(VEK_WARNING_GENERAL, nullptr);
    EXPECT_STREQ(VekMain_GetWarningString(), "");
}

TEST_F(LibraryTest, LogFileLinesAreCodeNameTabNameNewline)
{
    const std::string first = vektest::FreshTempPath("first.log");
    const std::string second = vektest::FreshTempPath("second.log");
    std::ofstream(second) << "old\n";
    VekMain_SetLogFilePath(Text(first.c_str()));
    float v = 2.0f;
    VekMain_CheckValueFloorCeil1(&v, 0, 1, Text("VekAttribute_SetReflectivity"));
    vektest::ExpectVekError(VEK_ERROR_MEMORY, [] { VekMain_Error(VEK_ERROR_MEMORY, Text("Ray")); });
    VekMain_Warning(99, Text("Odd"));   // outside its table: logged under GENERAL
    EXPECT_EQ(VekMain_GetWarning(), 99);
    vektest::ExpectVekError(7, [] { VekMain_Error(7, Text("Seven")); });
    VekMain_SetLogFilePath(Text(second.c_str()));  // closes first, truncates second
    VekMain_Warning(VEK_WARNING_GENERAL, Text("ToSecond"));
    VekMain_SetLogFilePath(Text(""));
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, Text("Unlogged"));
    EXPECT_STREQ(VekMain_GetWarningString(), "Unlogged");
    EXPECT_EQ(FileText(first),
              "VEK_WARNING_OUT_OF_RANGE\tVekAttribute_SetReflectivity\n"
              "VEK_ERROR_MEMORY\tRay\n"
              "VEK_WARNING_GENERAL\tOdd\n"
              "VEK_ERROR_RESERVED\tSeven\n");
    EXPECT_EQ(FileText(second), "VEK_WARNING_GENERAL\tToSecond\n");

    // A path that cannot be opened raises error 5 and leaves logging off.
    VekMain_SetLogFilePath(Text(first.c_str()));
    for (const std::string& bad : {vektest::TempDir() + "/no-such-dir/x.log", vektest::TempDir()}) {
        EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_FAIL_OPEN_FILE, [&] { VekMain_SetLogFilePath(Text(bad.c_str())); }),
                  "VekMain_SetLogFilePath")
            << bad;
        EXPECT_EQ(g_mainValueTable.logFile, nullptr);
    }
    VekMain_Warning(VEK_WARNING_GENERAL, Text("After"));
    EXPECT_EQ(FileText(first), "");
}

TEST_F(LibraryTest, RangeChecksClampPerComponentWithOneWarningEach)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    enum Check { kFloorCeil1, kFloorCeil3, kFloor1, kFloor3 };
    struct Case {
        Check check;
        float floor, ceil;
        float in[3], out[3];
        size_t warnings;
    };
    const Case cases[] = {
        {kFloorCeil1, 0, 1, {1.5f}, {1.0f}, 1},
        {kFloorCeil1, 0, 1, {1.0f}, {1.0f}, 0},                            // bounds pass silently
        {kFloorCeil3, 0, 1, {0.0f, 1.0f, nan}, {0.0f, 1.0f, nan}, 0},      // NaN fails both comparisons
        {kFloorCeil3, 0, 1, {-1.0f, 0.5f, 2.0f}, {0.0f, 0.5f, 1.0f}, 2},
        {kFloorCeil3, -2, 3, {-inf, inf, -0.0f}, {-2.0f, 3.0f, -0.0f}, 2},
        {kFloorCeil1, 10, 1, {5.0f}, {1.0f}, 2},                           // raised to the floor, then lowered
        {kFloor3, 0, 0, {-5.0f, -0.001f, 1e30f}, {0.0f, 0.0f, 1e30f}, 2},  // floor only: nothing is too large
        {kFloor3, 0, 0, {0.0f, 1.0f, nan}, {0.0f, 1.0f, nan}, 0},
        {kFloor1, 1e-6f, 0, {-3.0f}, {1e-6f}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "check " << c.check << " of " << c.in[0] << ", " << c.in[1]);
        float v[3] = {c.in[0], c.in[1], c.in[2]};
        const auto lines = CaptureLog([&] {
            switch (c.check) {
            case kFloorCeil1: VekMain_CheckValueFloorCeil1(v, c.floor, c.ceil, Text("C1")); break;
            case kFloorCeil3: VekMain_CheckValueFloorCeil3(v, c.floor, c.ceil, Text("C3")); break;
            case kFloor1: VekMain_CheckValueFloor1(v, c.floor, Text("F1")); break;
            case kFloor3: VekMain_CheckValueFloor3(v, c.floor, Text("F3")); break;
            }
        });
        const int n = c.check == kFloorCeil3 || c.check == kFloor3 ? 3 : 1;
        for (int k = 0; k < n; ++k) {
            if (std::isnan(c.out[k])) EXPECT_TRUE(std::isnan(v[k]));
            else EXPECT_EQ(v[k], c.out[k]) << k;
        }
        ASSERT_EQ(lines.size(), c.warnings);
        for (const std::string& line : lines) EXPECT_EQ(line.substr(0, 25), "VEK_WARNING_OUT_OF_RANGE\t");
    }
    // Null values: nothing to check.
    const auto lines = CaptureLog([] {
        VekMain_CheckValueFloorCeil3(nullptr, 0, 1, Text("C3"));
        VekMain_CheckValueFloor1(nullptr, 0, Text("F1"));
    });
    EXPECT_TRUE(lines.empty());
}
