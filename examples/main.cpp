// main.cpp - vek_example, a lighting calculation built on the VekMain
// library, and the host program that shows how to drive it.
//
// In order: read the scene description (JSON and OBJ/MTL, or an OBJ
// alone); start the library; build the scene through it (maps, attributes,
// surfaces, area lights from emitting materials, photometric luminaires
// from IES files, the sky); hand it to the intersection engine; compute
// the calculation grids and render the picture from several ray threads;
// write numbers and pictures; draw an OpenGL preview through the display
// family; end the library. Errors of the library arrive as _VekException,
// unusable files as InputError; both end the run with a message.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>

#include <Vek.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "camera.h"
#include "environment.h"
#include "grid_calculation.h"
#include "grid_map.h"
#include "input_error.h"
#include "options.h"
#include "picture_files.h"
#include "preview.h"
#include "render.h"
#include "result_files.h"
#include "scene.h"

namespace fs = std::filesystem;
using namespace example;

namespace {

// Thrown for failures of the host's own (folders, output files).
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

// The example's own scene: copied beside the program at build time, else
// still in the source tree.
std::string DefaultScenePath()
{
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path beside = program.parent_path() / "data" / "room.json";
        if (fs::is_regular_file(beside, error)) return beside.string();
    }
    return std::string(VEK_EXAMPLE_DATA_DIR) + "/room.json";
}

void MakeOutputFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw HostError{"cannot create the output folder '" + folder.string() + "'" +
                        (error ? ": " + error.message() : ": a file of that name is in the way")};
}

void Written(bool ok, const std::string& why, const fs::path& path, const std::string& what)
{
    if (!ok) throw HostError{why};
    std::printf("  %-28s %s\n", path.filename().c_str(), what.c_str());
}

int LineCount(const fs::path& path)
{
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
}

void PrintScene(const Scene& scene, const EnvironmentInfo& environment)
{
    const LoadedGeometry& g = scene.geometry;
    std::printf("  %d faces read; %d surfaces made, %d after merging triangle pairs", g.faces,
                g.surfacesBeforeMerge, g.surfacesAfterMerge);
    if (g.skippedFaces) std::printf("; %d degenerate faces skipped", g.skippedFaces);
    std::printf("\n  %d materials, %d maps; lights:", static_cast<int>(g.materials.size()), g_mainStatusTable.mapCount);
    for (const SceneLight& light : scene.lights) std::printf(" %s;", light.label.c_str());
    std::printf("\n  scene box (%.2f, %.2f, %.2f) to (%.2f, %.2f, %.2f) m, %d surfaces and %d area lights registered\n",
                environment.bounds[0], environment.bounds[2], environment.bounds[4], environment.bounds[1],
                environment.bounds[3], environment.bounds[5], environment.registeredSurfaces,
                environment.registeredAreaLights);
    std::printf("  interreflections: %d light paths per grid point, %d full bounces\n\n", scene.indirect.samples,
                scene.indirect.bounces);
}

// The preview draws the library's scene lists, so it runs before End. A
// machine without an offscreen OpenGL context skips it.
void WritePreview(const fs::path& output, const Scene& scene, const Options& options)
{
    Image preview;
    std::string message;
    if (!DrawPreview(CameraView(scene.camera, options.width, options.height), options.width, options.height, preview,
                     message)) {
        std::printf("  %-28s skipped: %s\n", "preview.png", message.c_str());
        return;
    }
    std::string why;
    Written(WritePng((output / "preview.png").string(), preview, why), why, output / "preview.png",
            "OpenGL preview drawn by the library");
    if (!message.empty()) std::printf("  note: %s\n", message.c_str());
}

int Run(const Options& options)
{
    auto start = std::chrono::steady_clock::now();
    const int threads = options.threads > 0
                            ? options.threads
                            : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
    const std::string scenePath = options.scenePath.empty() ? DefaultScenePath() : options.scenePath;
    SceneDescription description = ReadSceneFile(scenePath);
    if (!options.iesPath.empty() && description.luminaires.empty())
        std::fprintf(stderr, "note: --ies has no luminaire to give its file to in %s\n", scenePath.c_str());
    for (LuminaireDesc& luminaire : description.luminaires)
        if (!options.iesPath.empty()) luminaire.iesPath = options.iesPath;
    if (options.samples >= 0) description.indirect.samples = options.samples;
    if (options.bounces > 0) description.indirect.bounces = options.bounces;

    const fs::path output = options.outputDir;
    MakeOutputFolder(output);
    const fs::path logPath = output / "vek.log";
    std::printf("VekMain example: a lighting calculation of %s\n  picture %dx%d, %d x %d rays per pixel, %d ray thread%s\n\n",
                scenePath.c_str(), options.width, options.height, options.strata, options.strata, threads,
                threads == 1 ? "" : "s");

    uint64_t rays = 0;
    double raySeconds = 0.0;
    std::vector<GridResult> grids;
    {
        LibrarySession library;
        VekMain_SetLogFilePath(const_cast<char*>(logPath.c_str()));
        // Ray threads: set before any face takes its per-thread ray marks.
        g_mainValueTable.threadCount = threads;

        std::printf("Scene\n");
        Scene scene = BuildScene(description);
        EnvironmentInfo environment = PrepareRayEnvironment(scene);
        PrintScene(scene, environment);

        std::printf("Rays\n");
        GridStats gridStats{};
        grids = CalculateGrids(scene, scenePath, threads, gridStats);
        RenderResult render = RenderScene(scene, RenderSettings{options.width, options.height, threads, options.strata});
        rays = gridStats.rays + render.rays;
        raySeconds = gridStats.seconds + render.seconds;
        VekIntersection_End();

        std::printf("\nResults in %s\n", output.c_str());
        std::string why;
        for (const GridResult& grid : grids) {
            const std::string stem = FileStem(grid.grid.name);
            Written(WriteGridCsv((output / (stem + ".csv")).string(), grid, why), why, output / (stem + ".csv"),
                    grid.grid.name + ": illuminance at every point");
            Written(WriteGridMap(grid, scene, (output / (stem + ".png")).string(), why), why, output / (stem + ".png"),
                    grid.grid.name + ": false-colour map");
        }
        Written(WriteResultsJson((output / "results.json").string(), scenePath, scene.indirect, grids, why), why,
                output / "results.json", "every grid's figures and points");
        Written(WritePng((output / "render.png").string(), render.picture, why), why, output / "render.png",
                "the lit scene");
        Written(WritePfm((output / "render.pfm").string(), render.luminance, options.width, options.height, why), why,
                output / "render.pfm", "the lit scene in cd/m2 (HDR)");
        WritePreview(output, scene, options);
    }
    int logLines = LineCount(logPath);
    std::printf("  %-28s the library's log (%d line%s)\n\n", "vek.log", logLines, logLines == 1 ? "" : "s");

    std::printf("Summary                     Emin     Eavg     Emax    U0    (direct + interreflected Eavg)\n");
    for (const GridResult& g : grids)
        std::printf("  %-24s %6.0f lx %6.0f lx %6.0f lx  %.2f  (%.0f + %.0f lx)\n", g.grid.name.c_str(),
                    g.totalFigures.minimum, g.totalFigures.average, g.totalFigures.maximum, g.totalFigures.uniformity,
                    g.directFigures.average, g.indirectFigures.average);
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  rays: %.1f M in %.2f s, %.1f M rays/s on %d thread%s; total run %.1f s\n", rays / 1e6, raySeconds,
                rays / 1e6 / std::max(raySeconds, 1e-9), threads, threads == 1 ? "" : "s", total);
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

    // cairo and fontconfig keep font caches for the life of the process;
    // released at the end, so that a leak checker sees a clean exit.
    struct FontCaches {
        ~FontCaches()
        {
            cairo_debug_reset_static_data();
            FcFini();
        }
    } fontCaches;
    try {
        return Run(options);
    } catch (const _VekException& e) {
        std::fflush(stdout);  // the report follows what was printed so far
        std::fprintf(stderr, "%s: the library reported %s in %s\n", program,
                     e.code >= 0 && e.code < VEK_ERROR_COUNT ? g_errorStringTable[e.code] : "an unknown error", e.text);
    } catch (const InputError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
    } catch (const HostError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", program, e.message.c_str());
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: out of memory; try a smaller --size or --aa\n", program);
    }
    return 1;
}
