// example_scene.cpp - the folder, the library session and file texts.
#include "example_scene.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "environment.h"

namespace example_test {
namespace fs = std::filesystem;

ExampleScene::ExampleScene()
{
    static std::atomic<int> counter{0};
    folder_ = (fs::temp_directory_path() /
               ("vek_example_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++)))
                  .string();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
}

ExampleScene::~ExampleScene()
{
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::string ExampleScene::Write(const std::string& name, const std::string& text) const
{
    std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void ExampleScene::Use(const std::function<void(const example::Scene&)>& use, int threads) const
{
    example::SceneDescription description = example::ReadSceneFile(folder_ + "/scene.json");
    VekMain_Initialize();
    g_mainValueTable.threadCount = threads;
    try {
        example::Scene scene = example::BuildScene(description);
        example::PrepareRayEnvironment(scene);
        VekMain_SetThreadNumber(0);
        use(scene);
    } catch (...) {
        VekMain_End();
        throw;
    }
    VekMain_End();
}

std::vector<example::GridResult> ExampleScene::Grids(int threads) const
{
    std::vector<example::GridResult> results;
    Use([&](const example::Scene& scene) {
        example::GridStats stats{};
        results = example::CalculateGrids(scene, folder_ + "/scene.json", threads, stats);
    }, threads);
    return results;
}

std::string Quad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d)
{
    std::string text;
    char line[96];
    for (const Vec3& v : {a, b, c, d}) {
        std::snprintf(line, sizeof line, "v %.6g %.6g %.6g\n", v.x, v.y, v.z);
        text += line;
    }
    return text + "f -4 -3 -2 -1\n";
}

std::string IsotropicIes(float candela)
{
    std::string text = "IESNA91\n[TEST] isotropic source\nTILT=NONE\n1 -1 1 19 1 1 2 0 0 0\n1 1 0\n";
    for (int angle = 0; angle <= 180; angle += 10) text += std::to_string(angle) + " ";
    text += "\n0\n";
    for (int i = 0; i < 19; ++i) text += std::to_string(candela) + " ";
    return text + "\n";
}

Vec3 PointOf(const example::CalculationGrid& grid, int column, int row)
{
    return grid.World(grid.At(column, row)) + grid.normal * example::kPointLift;
}

}  // namespace example_test
