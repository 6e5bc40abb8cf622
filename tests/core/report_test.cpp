// Errors, warnings, the log file and the four range checks, as a host sees
// them through the shared library.
#include <cmath>
#include <limits>
#include <string>

#include "support/log_capture.h"
#include "support/test_support.h"
#include "support/version_files.h"

using vektest::CaptureLog;
using vektest::LibraryTest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

std::string FileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = vektest::ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

const std::string kOutOfRange = "VEK_WARNING_OUT_OF_RANGE\t";

}  // namespace

TEST_F(LibraryTest, ErrorsReachTheHostAsVekException)
{
    // Raised by the host's own call...
    try {
        VekMain_Error(VEK_ERROR_INVALID_VALUE, Text("HostCheck"));
        FAIL() << "VekMain_Error returned";
    } catch (const _VekException& e) {
        EXPECT_EQ(e.code, VEK_ERROR_INVALID_VALUE);
        EXPECT_STREQ(e.text, "HostCheck");
    }
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_INVALID_VALUE);
    EXPECT_STREQ(VekMain_GetErrorString(), "HostCheck");

    // ... and from deep inside a library operation.
    VekAttribute_SetMap(VEK_MAP_1, Text("no such map"));
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_INVALID_NAME, [] { VekAttribute_Instanciate(Text("a")); }),
              "VekAttribute_Instanciate");
    EXPECT_EQ(g_mainStatusTable.errorCode, VEK_ERROR_INVALID_NAME);
    EXPECT_STREQ(g_mainStatusTable.errorText, "VekAttribute_Instanciate");

    // Nothing clears the error until the next Initialize.
    VekAttribute_SetMap(0, nullptr);
    VekAttribute_Instanciate(Text("b"));
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_INVALID_NAME);
    VekMain_Initialize();
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_NONE);
    EXPECT_STREQ(VekMain_GetErrorString(), "");
}

TEST_F(LibraryTest, WarningsRecordAndTheCallGoesOn)
{
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, Text("First"));
    VekMain_Warning(VEK_WARNING_DUPLICATE_POSITION, Text("Second"));
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_DUPLICATE_POSITION);
    EXPECT_STREQ(VekMain_GetWarningString(), "Second");
    EXPECT_EQ(VekMain_GetError(), VEK_ERROR_NONE);
}

TEST_F(LibraryTest, LongAndNullNamesAreCutOrEmpty)
{
    const std::string longName(300, 'n');
    try {
        VekMain_Error(VEK_ERROR_GENERAL, Text(longName.c_str()));
    } catch (const _VekException& e) {
        EXPECT_EQ(std::string(e.text), longName.substr(0, 63));
    }
    EXPECT_EQ(std::string(VekMain_GetErrorString()), longName.substr(0, 255));
    VekMain_Warning(VEK_WARNING_GENERAL, Text(longName.c_str()));
    EXPECT_EQ(std::string(VekMain_GetWarningString()), longName.substr(0, 255));

    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_GENERAL, [] { VekMain_Error(VEK_ERROR_GENERAL, nullptr); }), "");

    // Re-reporting the last text passes the library's own field back to it.
    VekMain_Warning(VEK_WARNING_GENERAL, Text("Again"));
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, VekMain_GetWarningString());
    EXPECT_STREQ(VekMain_GetWarningString(), "Again");
    vektest::ExpectVekError(VEK_ERROR_MEMORY, [&] { VekMain_Error(VEK_ERROR_MEMORY, Text(longName.c_str())); });
    EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_MEMORY, [] { VekMain_Error(VEK_ERROR_MEMORY, VekMain_GetErrorString()); }),
              longName.substr(0, 63));
    VekMain_Warning(VEK_WARNING_GENERAL, nullptr);
    EXPECT_STREQ(VekMain_GetWarningString(), "");
}

TEST_F(LibraryTest, CodeNameTables)
{
    const char* errors[] = {"VEK_ERROR_NONE",          "VEK_ERROR_GENERAL",     "VEK_ERROR_INVALID_VALUE",
                            "VEK_ERROR_INVALID_NAME",  "VEK_ERROR_MEMORY",      "VEK_ERROR_FAIL_OPEN_FILE",
                            "VEK_ERROR_NO_SURFACE_EXISTS", "VEK_ERROR_RESERVED", "VEK_ERROR_FAIL_SAVE_FILE",
                            "VEK_ERROR_FAIL_LOAD_FILE"};
    const char* warnings[] = {"VEK_WARNING_NONE",          "VEK_WARNING_GENERAL",
                              "VEK_WARNING_OUT_OF_RANGE",  "VEK_WARNING_INVALID_VALUE",
                              "VEK_WARNING_BAD_SHAPE",     "VEK_WARNING_DUPLICATE_POSITION",
                              "VEK_WARNING_FAIL_READ_IMAGE", "VEK_WARNING_FAIL_READ_GENERAL_LIGHT"};
    for (int i = 0; i < VEK_ERROR_COUNT; ++i) EXPECT_STREQ(g_errorStringTable[i], errors[i]);
    for (int i = 0; i < VEK_WARNING_COUNT; ++i) EXPECT_STREQ(g_warningStringTable[i], warnings[i]);
}

TEST_F(LibraryTest, LogFileLinesAreCodeNameTabNameNewline)
{
    const std::string path = vektest::FreshTempPath("exact.log");
    VekMain_SetLogFilePath(Text(path.c_str()));
    float v = 2.0f;
    VekMain_CheckValueFloorCeil1(&v, 0, 1, Text("VekAttribute_SetReflectivity"));
    vektest::ExpectVekError(VEK_ERROR_MEMORY, [] { VekMain_Error(VEK_ERROR_MEMORY, Text("Ray")); });
    // A code outside its table is logged under the table's GENERAL name.
    VekMain_Warning(99, Text("Odd"));
    EXPECT_EQ(VekMain_GetWarning(), 99);
    VekMain_SetLogFilePath(Text(""));
    EXPECT_EQ(FileText(path),
              "VEK_WARNING_OUT_OF_RANGE\tVekAttribute_SetReflectivity\n"
              "VEK_ERROR_MEMORY\tRay\n"
              "VEK_WARNING_GENERAL\tOdd\n");

    // Logging is off: the warning is recorded but written nowhere.
    VekMain_Warning(VEK_WARNING_BAD_SHAPE, Text("Unlogged"));
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_BAD_SHAPE);
    EXPECT_STREQ(VekMain_GetWarningString(), "Unlogged");
    EXPECT_EQ(vektest::ReadLines(path).size(), 3u);
}

TEST_F(LibraryTest, LogFileIsReplacedTruncatedAndClosedByNull)
{
    const std::string first = vektest::FreshTempPath("first.log");
    const std::string second = vektest::FreshTempPath("second.log");
    vektest::WriteTempFile(second.substr(vektest::TempDir().size() + 1), {'o', 'l', 'd', '\n'});

    VekMain_SetLogFilePath(Text(first.c_str()));
    VekMain_Warning(VEK_WARNING_GENERAL, Text("ToFirst"));
    VekMain_SetLogFilePath(Text(second.c_str()));  // closes first, truncates second
    VekMain_Warning(VEK_WARNING_GENERAL, Text("ToSecond"));
    VekMain_SetLogFilePath(nullptr);
    VekMain_Warning(VEK_WARNING_GENERAL, Text("ToNone"));
    EXPECT_EQ(FileText(first), "VEK_WARNING_GENERAL\tToFirst\n");
    EXPECT_EQ(FileText(second), "VEK_WARNING_GENERAL\tToSecond\n");
}

TEST_F(LibraryTest, UnwritableLogPathRaisesErrorFiveAndLeavesLoggingOff)
{
    const std::string good = vektest::FreshTempPath("good.log");
    VekMain_SetLogFilePath(Text(good.c_str()));
    for (const std::string& bad : {vektest::TempDir() + "/no-such-dir/x.log", vektest::TempDir()}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(vektest::ExpectVekError(VEK_ERROR_FAIL_OPEN_FILE,
                                          [&] { VekMain_SetLogFilePath(Text(bad.c_str())); }),
                  "VekMain_SetLogFilePath");
        EXPECT_EQ(g_mainValueTable.logFile, nullptr);
    }
    VekMain_Warning(VEK_WARNING_GENERAL, Text("After"));
    EXPECT_EQ(FileText(good), "");
}

TEST_F(LibraryTest, RangeChecksClampPerComponentWithOneWarningEach)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    float one = 1.5f;
    auto lines = CaptureLog([&] { VekMain_CheckValueFloorCeil1(&one, 0, 1, Text("C1")); });
    EXPECT_EQ(one, 1.0f);
    EXPECT_EQ(lines, std::vector<std::string>{kOutOfRange + "C1"});

    // Bounds themselves pass silently; NaN fails both comparisons and stays.
    float exact[3] = {0.0f, 1.0f, nan};
    vektest::ClearWarning();
    lines = CaptureLog([&] {
        VekMain_CheckValueFloorCeil3(exact, 0, 1, Text("C3"));
        VekMain_CheckValueFloorCeil1(&exact[1], 0, 1, Text("C1"));
        VekMain_CheckValueFloor1(&exact[0], 0, Text("F1"));
        VekMain_CheckValueFloor3(exact, 0, Text("F3"));
    });
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(VekMain_GetWarning(), VEK_WARNING_NONE);
    EXPECT_EQ(exact[0], 0.0f);
    EXPECT_EQ(exact[1], 1.0f);
    EXPECT_TRUE(std::isnan(exact[2]));

    float three[3] = {-1.0f, 0.5f, 2.0f};
    lines = CaptureLog([&] { VekMain_CheckValueFloorCeil3(three, 0, 1, Text("C3")); });
    EXPECT_EQ(three[0], 0.0f);
    EXPECT_EQ(three[1], 0.5f);
    EXPECT_EQ(three[2], 1.0f);
    EXPECT_EQ(lines.size(), 2u);

    float infinite[3] = {-inf, inf, -0.0f};
    lines = CaptureLog([&] { VekMain_CheckValueFloorCeil3(infinite, -2, 3, Text("C3")); });
    EXPECT_EQ(infinite[0], -2.0f);
    EXPECT_EQ(infinite[1], 3.0f);
    EXPECT_EQ(lines.size(), 2u);

    // Floor only: nothing is too large; every low component warns.
    float low[3] = {-5.0f, -0.001f, 1e30f};
    lines = CaptureLog([&] { VekMain_CheckValueFloor3(low, 0, Text("F3")); });
    EXPECT_EQ(low[0], 0.0f);
    EXPECT_EQ(low[1], 0.0f);
    EXPECT_EQ(low[2], 1e30f);
    EXPECT_EQ(lines, (std::vector<std::string>{kOutOfRange + "F3", kOutOfRange + "F3"}));

    float single = -3.0f;
    lines = CaptureLog([&] { VekMain_CheckValueFloor1(&single, 1e-6f, Text("F1")); });
    EXPECT_EQ(single, 1e-6f);
    EXPECT_EQ(lines.size(), 1u);

    // A floor above the ceiling: raised to the floor, then lowered to the
    // ceiling, two warnings for one component.
    float crossed = 5.0f;
    lines = CaptureLog([&] { VekMain_CheckValueFloorCeil1(&crossed, 10, 1, Text("C1")); });
    EXPECT_EQ(crossed, 1.0f);
    EXPECT_EQ(lines.size(), 2u);

    // Null values: nothing to check.
    lines = CaptureLog([] {
        VekMain_CheckValueFloorCeil3(nullptr, 0, 1, Text("C3"));
        VekMain_CheckValueFloor1(nullptr, 0, Text("F1"));
    });
    EXPECT_TRUE(lines.empty());
}
