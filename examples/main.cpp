// main.cpp - vek_example, a host program of the VekMain library.
//
// It does what a lighting-simulation host does, in order: start the
// library; build a scene (maps, attributes, surfaces, a Bezier patch,
// lights from an IES file and from parameters); hand it to the
// intersection engine; cast camera and shadow rays from several threads;
// turn the result into pictures; draw an OpenGL preview through the
// display family; end the library. Errors of the library arrive as
// _VekException and end the run with a message.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

#include <Vek.h>

#include "camera.h"
#include "environment.h"
#include "false_colour.h"
#include "options.h"
#include "png_writer.h"
#include "preview.h"
#include "render.h"
#include "scene.h"

namespace fs = std::filesystem;
using namespace example;

namespace {

constexpr float kFloorSamplesPerMetre = 40.0f;

// Thrown for failures of the host's own (files, folders).
struct HostError {
    std::string message;
};

// The library from VekMain_Initialize to VekMain_End, also when an error
// ends the run early (End also ends an open intersection environment).
class LibrarySession {
public:
    LibrarySession() { VekMain_Initialize(); }
    ~LibrarySession() { VekMain_End(); }
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;
};

// The example's own IES file: copied beside the program at build time,
// else still in the source tree.
std::string DefaultIesPath()
{
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path beside = program.parent_path() / "data" / "downlight.ies";
        if (fs::is_regular_file(beside, error)) return beside.string();
    }
    return std::string(VEK_EXAMPLE_DATA_DIR) + "/downlight.ies";
}

void CheckReadableFile(const std::string& path, const char* what)
{
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) throw HostError{std::string("cannot read the ") + what + " '" + path + "': " + std::strerror(errno)};
    std::fclose(file);
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw HostError{std::string("the ") + what + " '" + path + "' is not a file"};
}

void MakeOutputFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw HostError{"cannot create the output folder '" + folder.string() + "'" +
                        (error ? ": " + error.message() : ": a file of that name is in the way")};
}

void SavePng(const fs::path& path, const Image& image, const char* what)
{
    std::string error;
    if (!WritePng(path.string(), image, error)) throw HostError{error};
    std::printf("  %-24s %s\n", path.filename().c_str(), what);
}

int LineCount(const fs::path& path)
{
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
}

void PrintSceneFigures(const Scene& scene, const EnvironmentInfo& environment)
{
    std::printf("  %d surfaces made, %d after merging triangle pairs; %d triangles from %d Bezier patch\n",
                scene.surfacesBeforeMerge, scene.surfacesAfterMerge, scene.bezierTriangles,
                g_mainStatusTable.bezierSurfaceCount);
    std::printf("  %d maps, %d attributes, %d lights (the sky in %d directions)\n", g_mainStatusTable.mapCount,
                g_mainStatusTable.attributeCount, static_cast<int>(scene.lights.size()), scene.lights.back().cacheRows);
    std::printf("  intersection environment: %d surfaces and %d area light registered,\n"
                "  scene box (%.2f, %.2f, %.2f) to (%.2f, %.2f, %.2f)\n\n",
                environment.registeredSurfaces, environment.registeredAreaLights, environment.bounds[0],
                environment.bounds[2], environment.bounds[4], environment.bounds[1], environment.bounds[3],
                environment.bounds[5]);
}

// The preview draws the library's scene lists, so it runs before End. A
// machine without an offscreen OpenGL context skips it.
void WritePreview(const fs::path& output, const Scene& scene, const Options& options)
{
    Image preview;
    std::string message;
    if (!DrawPreview(CameraView(scene.camera, options.width, options.height), options.width, options.height, preview,
                     message)) {
        std::printf("  %-24s skipped: %s\n", "preview.png", message.c_str());
        return;
    }
    SavePng(output / "preview.png", preview, "OpenGL preview drawn by the library");
    if (!message.empty()) std::printf("  note: %s\n", message.c_str());
}

int Run(const Options& options)
{
    auto start = std::chrono::steady_clock::now();
    const int threads = options.threads > 0
                            ? options.threads
                            : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
    const std::string iesPath = options.iesPath.empty() ? DefaultIesPath() : options.iesPath;
    CheckReadableFile(iesPath, "IES file");
    const fs::path output = options.outputDir;
    MakeOutputFolder(output);
    const fs::path logPath = output / "vek.log";

    std::printf("VekMain example: a furnished room lit by a photometric downlight, a spot light,\n"
                "an area light and the sky\n"
                "  picture %dx%d, %d ray thread%s, IES file %s\n\n",
                options.width, options.height, threads, threads == 1 ? "" : "s", iesPath.c_str());

    RenderResult result;
    IlluminanceSummary floor{};
    int registered = 0;
    {
        LibrarySession library;
        VekMain_SetLogFilePath(const_cast<char*>(logPath.c_str()));
        // Ray threads: set before any face takes its per-thread ray marks.
        g_mainValueTable.threadCount = threads;

        std::printf("Scene\n");
        Scene scene = BuildDefaultScene(iesPath);
        EnvironmentInfo environment = PrepareRayEnvironment(scene);
        registered = environment.registeredSurfaces;
        PrintSceneFigures(scene, environment);

        std::printf("Rays\n");
        result = RenderScene(scene, RenderSettings{options.width, options.height, threads, kFloorSamplesPerMetre});
        VekIntersection_End();

        std::printf("\nPictures and log in %s\n", output.c_str());
        SavePng(output / "render.png", result.picture, "the lit scene");
        SavePng(output / "floor_illuminance.png", DrawIlluminanceMap(result.floor, floor),
                "illuminance on the floor, false colour");
        WritePreview(output, scene, options);
    }
    int logLines = LineCount(logPath);
    std::printf("  %-24s the library's log (%d line%s)\n\n", "vek.log", logLines, logLines == 1 ? "" : "s");

    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Summary\n"
                "  faces: %d surfaces registered, %zu points lit\n"
                "  floor: %.0f lx average, %.0f lx minimum, %.0f lx maximum\n"
                "  rays: %.2f M in %.2f s, %.2f M rays/s on %d thread%s; total run %.1f s\n",
                registered, result.receivers, floor.average, floor.minimum, floor.maximum, result.rays / 1e6,
                result.raySeconds, result.rays / 1e6 / std::max(result.raySeconds, 1e-9), threads,
                threads == 1 ? "" : "s", total);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 0 ? argv[0] : "vek_example";
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, error.c_str(), program);
        return 2;
    }
    if (options.help) {
        PrintUsage(stdout, program);
        return 0;
    }

    try {
        return Run(options);
    } catch (const _VekException& e) {
        std::fprintf(stderr, "%s: the library reported %s in %s\n", program,
                     e.code >= 0 && e.code < VEK_ERROR_COUNT ? g_errorStringTable[e.code] : "an unknown error", e.text);
    } catch (const SceneError& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
    } catch (const HostError& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.message.c_str());
    }
    return 1;
}
