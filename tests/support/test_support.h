// test_support.h - what every test program shares: a fixture that starts
// and ends the library around each test, the library's reports, and its log
// file read back (the status table keeps only the last report).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Vek.h"

namespace vektest {

// Starts the library before each test and ends it after, so every test sees
// a fresh scene.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override { VekMain_Initialize(); }
    void TearDown() override { VekMain_End(); }
};

// Forgets the last warning so that a test can tell whether the next call
// raised one.
inline void ClearWarning()
{
    g_mainStatusTable.warningCode = VEK_WARNING_NONE;
    g_mainStatusTable.warningText[0] = '\0';
}

// Calls f, expecting _VekException with code; returns its text.
template <class F>
std::string ExpectVekError(long code, F f)
{
    try {
        f();
    } catch (const _VekException& e) {
        EXPECT_EQ(e.code, code);
        return e.text;
    }
    ADD_FAILURE() << "expected _VekException with code " << code;
    return "";
}

// A writable temporary directory for the test program, created on demand,
// and a path inside it that no earlier call returned.
std::string TempDir();
std::string FreshTempPath(const std::string& stem);

// The file's lines without their '\n'; a last line without one is kept.
std::vector<std::string> ReadLines(const std::string& path);

// Runs f with the library's log open at a fresh path, then turns logging
// off (which closes and so flushes the file) and returns the lines written.
template <class F>
std::vector<std::string> CaptureLog(F f)
{
    const std::string path = FreshTempPath("capture.log");
    VekMain_SetLogFilePath(const_cast<char*>(path.c_str()));
    f();
    VekMain_SetLogFilePath(nullptr);
    return ReadLines(path);
}

}  // namespace vektest
