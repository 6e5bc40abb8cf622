// log_capture.cpp - temporary paths and line reading for log checks.
#include "support/log_capture.h"

#include <atomic>
#include <fstream>

#include "support/test_support.h"

namespace vektest {

std::string FreshTempPath(const std::string& stem)
{
    static std::atomic<int> counter{0};
    return TempDir() + "/" + std::to_string(counter++) + "-" + stem;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace vektest
