// log_capture.h - reads back what the library wrote to its log file, to
// count reports (the status table keeps only the last one) and to check
// the line format.
#pragma once

#include <string>
#include <vector>

#include "Vek.h"

namespace vektest {

// A path in TempDir() that no earlier call returned.
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
