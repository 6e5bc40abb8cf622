// example_scene.h - scenes for the example's tests, written as real files
// (OBJ, MTL, IES, JSON) into a folder of their own and calculated by the
// example's own code through the shared library, as the program does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "grid_calculation.h"
#include "scene.h"

namespace example_test {

using example::Vec3;

class ExampleScene {
public:
    ExampleScene();
    ~ExampleScene();
    ExampleScene(const ExampleScene&) = delete;
    ExampleScene& operator=(const ExampleScene&) = delete;

    // Writes text to name in the scene's folder; returns the path.
    std::string Write(const std::string& name, const std::string& text) const;

    // Reads scene.json (which the test wrote), builds the scene in a fresh
    // library session with threads ray threads, prepares the ray
    // environment and calls use while both stand.
    void Use(const std::function<void(const example::Scene&)>& use, int threads = 2) const;

    // The grids of scene.json, calculated on threads ray threads.
    std::vector<example::GridResult> Grids(int threads = 2) const;

    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};

// OBJ text of a quadrilateral facing along (b - a) x (c - a).
std::string Quad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);

// IES LM-63-1991 text of an isotropic source of candela in every direction.
std::string IsotropicIes(float candela);

// Where a grid's point (column, row) gathers light.
Vec3 PointOf(const example::CalculationGrid& grid, int column, int row);

}  // namespace example_test
