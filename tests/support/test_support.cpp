// test_support.cpp - temporary files and log lines for test_support.h.
#include "support/test_support.h"

#include <stdlib.h>

#include <atomic>
#include <fstream>

namespace vektest {

std::string TempDir()
{
    static std::string dir = [] {
        char pattern[] = "/tmp/vektest-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

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
