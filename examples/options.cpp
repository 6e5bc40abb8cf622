// options.cpp - parsing of the command line. Every option but --help takes
// its value either as the next argument ("--size 800x600") or after an
// equals sign ("--size=800x600"). A next argument that looks like an option
// is not taken as a value: "--ies --output D" says that --ies has no value
// rather than reading a file named "--output".
#include "options.h"

#include <cerrno>
#include <cstdlib>

#include "scene_file.h"

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

// "--name" or "-n", but not a negative number.
bool LooksLikeOption(const std::string& text)
{
    return text.size() >= 2 && text[0] == '-' && !(std::isdigit(static_cast<unsigned char>(text[1])) || text[1] == '.');
}

struct Known {
    const char* shortName;
    const char* longName;
};
const Known kOptions[] = {{"-o", "--output"}, {"-s", "--size"}, {"-t", "--threads"}, {"", "--scene"},
                          {"", "--ies"},      {"", "--samples"}, {"", "--bounces"},  {"", "--aa"}};

// The long name of a known option, or empty.
std::string LongName(const std::string& name)
{
    for (const Known& k : kOptions)
        if (name == k.longName || (*k.shortName && name == k.shortName)) return k.longName;
    return {};
}

bool Fail(std::string& error, const std::string& message)
{
    error = message;
    return false;
}

// An integer option's value, within [low, high]; false with the message
// naming what was given and what was expected.
bool Integer(const char* what, const std::string& value, int low, int high, int& out, std::string& error)
{
    if (ParseInt(value, low, high, out)) return true;
    return Fail(error, std::string("bad ") + what + " '" + value + "': expected " + std::to_string(low) + " to " +
                           std::to_string(high));
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
        const std::string option = LongName(name);
        if (option.empty()) return Fail(error, "unknown option '" + argument + "'");
        if (!hasValue) {
            if (i + 1 >= argc) return Fail(error, "option '" + name + "' needs a value");
            if (LooksLikeOption(argv[i + 1]))
                return Fail(error, "option '" + name + "' needs a value, but is followed by the option '" +
                                       std::string(argv[i + 1]) + "'");
            value = argv[++i];
        }

        if (option == "--output") {
            if (value.empty()) return Fail(error, "the output folder may not be empty");
            options.outputDir = value;
        } else if (option == "--size") {
            if (!ParseSize(value, options.width, options.height))
                return Fail(error, "bad image size '" + value + "': expected WIDTHxHEIGHT, each " +
                                       std::to_string(kMinImageSize) + " to " + std::to_string(kMaxImageSize));
        } else if (option == "--threads") {
            if (!Integer("thread count", value, 1, kMaxThreads, options.threads, error)) return false;
        } else if (option == "--aa") {
            if (!Integer("--aa", value, 1, kMaxStrata, options.strata, error)) return false;
        } else if (option == "--samples") {
            if (!Integer("--samples", value, 0, kMaxIndirectSamples, options.samples, error)) return false;
        } else if (option == "--bounces") {
            if (!Integer("--bounces", value, 1, kMaxBounces, options.bounces, error)) return false;
        } else {
            if (value.empty()) return Fail(error, "the file name of " + option + " may not be empty");
            (option == "--scene" ? options.scenePath : options.iesPath) = value;
        }
    }
    return true;
}

void PrintUsage(std::FILE* out, const char* program)
{
    std::fprintf(out,
                 "Usage: %s [options]\n"
                 "\n"
                 "A lighting calculation with the VekMain library: reads a scene (an OBJ file\n"
                 "with its MTL materials, and a JSON file with luminaires, sky, camera and\n"
                 "calculation grids), computes the illuminance on each grid, direct and\n"
                 "interreflected, with Emin, Eavg, Emax and U0, and renders the lit scene.\n"
                 "Writes, into the output folder: results.json and one CSV and one\n"
                 "false-colour map per grid, render.png and render.pfm (luminance, cd/m2),\n"
                 "preview.png (drawn by the library's OpenGL display) and vek.log.\n"
                 "\n"
                 "Options:\n"
                 "      --scene FILE      scene description (.json) or an OBJ file alone\n"
                 "                        (default: the example's room, data/room.json)\n"
                 "  -o, --output DIR      folder for the results (default: vek-example-output)\n"
                 "  -s, --size WxH        size of the rendered picture and the preview\n"
                 "                        (default: 640x480; %d to %d each)\n"
                 "      --aa N            N x N rays per pixel, stratified (default: 2; 1 to %d)\n"
                 "  -t, --threads N       ray threads (default: one per processor; 1 to %d)\n"
                 "      --ies FILE        give every luminaire this IES file (any edition)\n"
                 "      --samples N       light paths per grid point for interreflections\n"
                 "                        (default: the scene file's, else 256; 0: direct only)\n"
                 "      --bounces N       bounces followed in full before Russian roulette\n"
                 "                        (default: the scene file's, else 4; 1 to %d)\n"
                 "  -h, --help            show this help and exit\n",
                 program, kMinImageSize, kMaxImageSize, kMaxStrata, kMaxThreads, kMaxBounces);
}

}  // namespace example
