// test_support.h - what every test program shares: a fixture that starts
// and ends the library around each test, and small helpers to read the
// library's reports.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

// A writable temporary directory for the current test, created on demand.
std::string TempDir();

}  // namespace vektest
