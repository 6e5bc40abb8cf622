// options.h - the example's command line.
#pragma once

#include <cstdio>
#include <string>

namespace example {

struct Options {
    std::string scenePath;                         // empty: the example's own room
    std::string outputDir = "vek-example-output";  // created when missing
    int width = 640;                               // rendered picture, pixels
    int height = 480;
    int threads = 0;                               // 0: one per processor
    int strata = 2;                                // strata x strata rays per pixel
    std::string iesPath;                           // empty: each luminaire's own file
    int samples = -1;                              // light paths per grid point; -1: the scene file's
    int bounces = -1;                              // -1: the scene file's
    bool help = false;
};

// Limits of the options, checked by ParseOptions.
constexpr int kMinImageSize = 16;
constexpr int kMaxImageSize = 4096;
constexpr int kMaxThreads = 64;  // the library's limit on ray threads
constexpr int kMaxStrata = 16;

// Fills options from the arguments. False, with a message naming the
// offending argument in error, for an unknown option, a missing or
// malformed value (a value-taking option followed by another option says
// its value is missing) or a value out of range.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

void PrintUsage(std::FILE* out, const char* program);

}  // namespace example
