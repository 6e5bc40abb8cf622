// options.cpp - parsing of the command line. Every option takes its value
// either as the next argument ("--size 800x600") or after an equals sign
// ("--size=800x600").
#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace example {
namespace {

// A whole decimal number in [low, high]; nothing else may follow it.
bool ParseInt(const std::string& text, int low, int high, int& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

// "WIDTHxHEIGHT", each within the image limits.
bool ParseSize(const std::string& text, int& width, int& height)
{
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return ParseInt(text.substr(0, x), kMinImageSize, kMaxImageSize, width) &&
           ParseInt(text.substr(x + 1), kMinImageSize, kMaxImageSize, height);
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            continue;
        }

        // Split "--name=value"; otherwise the value is the next argument.
        std::string name = argument, value;
        bool hasValue = false;
        size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        bool known = name == "-o" || name == "--output" || name == "-s" || name == "--size" || name == "-t" ||
                     name == "--threads" || name == "--ies";
        if (!known) {
            error = "unknown option '" + argument + "'";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = "option '" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        }

        if (name == "-o" || name == "--output") {
            if (value.empty()) {
                error = "the output folder may not be empty";
                return false;
            }
            options.outputDir = value;
        } else if (name == "-s" || name == "--size") {
            if (!ParseSize(value, options.width, options.height)) {
                error = "bad image size '" + value + "': expected WIDTHxHEIGHT, each " +
                        std::to_string(kMinImageSize) + " to " + std::to_string(kMaxImageSize);
                return false;
            }
        } else if (name == "-t" || name == "--threads") {
            if (!ParseInt(value, 1, kMaxThreads, options.threads)) {
                error = "bad thread count '" + value + "': expected 1 to " + std::to_string(kMaxThreads);
                return false;
            }
        } else {
            if (value.empty()) {
                error = "the IES file name may not be empty";
                return false;
            }
            options.iesPath = value;
        }
    }
    return true;
}

void PrintUsage(std::FILE* out, const char* program)
{
    std::fprintf(out,
                 "Usage: %s [options]\n"
                 "\n"
                 "Builds a furnished room lit by a photometric downlight, a spot light, an\n"
                 "area light and the sky, casts rays into it with the VekMain library and\n"
                 "writes three pictures: the lit scene, the illuminance on the floor in\n"
                 "false colour, and an OpenGL preview drawn by the library.\n"
                 "\n"
                 "Options:\n"
                 "  -o, --output DIR      folder for the pictures and the library's log\n"
                 "                        (default: vek-example-output)\n"
                 "  -s, --size WxH        size of the rendered picture and the preview\n"
                 "                        (default: 640x480; %d to %d each)\n"
                 "  -t, --threads N       ray threads (default: one per processor; 1 to %d)\n"
                 "      --ies FILE        light the room with this IES LM-63-1991 file\n"
                 "                        instead of the example's own downlight\n"
                 "  -h, --help            show this help and exit\n",
                 program, kMinImageSize, kMaxImageSize, kMaxThreads);
}

}  // namespace example
