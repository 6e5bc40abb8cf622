// bezier.cpp - tensor-product Bezier patches, tessellated into triangle
// surfaces that carry the patch's own normal at every corner.
//
// Method: a curve is evaluated in Horner form over the Bernstein basis, with
// integer binomials built multiplicatively; a patch point is the curve
// through the row curves' points, and its tangents are difference curves
// (derivative / degree) across the rows and across the columns. The
// parameter grid's density follows the control net's size in scene units.
// Where it departs from evaluating every grid point from scratch: the row
// curves at each u and the column curves at each v are evaluated once and
// shared by all grid points on that grid line; the arithmetic on each value
// is the same, and so are the results.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "VekBezierSurface.h"
#include "VekMemory.h"
#include "core/checked.h"
#include "core/report.h"
#include "scene/attribute.h"
#include "scene/instanciate.h"
#include "scene/surface_state.h"

namespace vek {
namespace {

const char* const kName = "VekBezierSurface_Instanciate";

using Vec = CG::vec3<float>;

// Tangents need two points each way; evaluation buffers hold 32.
constexpr long kMinCount = 2;
constexpr long kMaxCount = 32;
// One grid cell per this many scene units of control-net edge.
constexpr float kCellSize = 0.2f;
// Cells per direction at most: 1024 x 1024 cells already make two million
// surfaces, far past any visual need, and the cap keeps every size below
// bounded whatever the patch's extent.
constexpr int32_t kMaxSteps = 1024;

// Sizes from host counts; a product that does not fit is a failed
// allocation.
size_t CheckedProduct(size_t a, size_t b)
{
    uint64_t product;
    if (!CheckedMul(a, b, product) || product > SIZE_MAX) Fail(VEK_ERROR_MEMORY, kName);
    return static_cast<size_t>(product);
}

// Memory from malloc, handed to the record (which End releases with free)
// only once the record exists.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using MallocArray = std::unique_ptr<T[], FreeDeleter>;

template <class T>
MallocArray<T> AllocateArray(size_t count, bool zeroed)
{
    void* p = zeroed ? std::calloc(count, sizeof(T)) : std::malloc(CheckedProduct(count, sizeof(T)));
    if (!p) Fail(VEK_ERROR_MEMORY, kName);
    return MallocArray<T>(static_cast<T*>(p));
}

// The curve of n points at t (degree d = n - 1), in Horner form:
// r = s P0; r = (r + B(d, i) t^i Pi) s for i = 1 .. d - 1; r + t^d Pd.
Vec EvaluateBezier(int n, const Vec* points, float t)
{
    assert(n >= 1 && n <= kMaxCount);
    if (n == 1) return points[0];
    const int d = n - 1;
    const float s = 1.0f - t;
    Vec r = points[0] * s;
    int64_t binomial = 1;  // B(d, i), exact: multiplied before it is divided
    float power = 1.0f;    // t^i, one factor of t per step
    for (int i = 1; i < d; ++i) {
        binomial = binomial * (d - i + 1) / i;
        power *= t;
        r = (r + points[i] * (static_cast<float>(binomial) * power)) * s;
    }
    power *= t;
    return r + points[d] * power;
}

// The curve's derivative divided by its degree: the curve of the n - 1
// differences. Only its direction is used.
Vec EvaluateBezierDifference(int n, const Vec* points, float t)
{
    assert(n >= 2 && n <= kMaxCount);
    Vec differences[kMaxCount];
    for (int i = 0; i + 1 < n; ++i) differences[i] = points[i + 1] - points[i];
    return EvaluateBezier(n - 1, differences, t);
}

Vec UnitOrZero(const Vec& v)
{
    const float length = std::sqrt(CG::dot(v, v));
    return length > 0.0f ? Vec(v.x / length, v.y / length, v.z / length) : v;
}

// Cells along one direction: the longest neighbour distance times the
// number of edges, one cell per 0.2 units, truncated; at least one. A count
// past kMaxSteps (a huge or overflowing extent) is held there with
// VEK_WARNING_OUT_OF_RANGE.
int32_t StepsAlong(float longestSquared, long count)
{
    const float cells = std::sqrt(longestSquared) * static_cast<float>(count - 1) / kCellSize;
    if (!(cells < static_cast<float>(kMaxSteps) + 1.0f)) {
        Warn(VEK_WARNING_OUT_OF_RANGE, kName);
        return kMaxSteps;
    }
    const int32_t steps = static_cast<int32_t>(cells);
    return steps < 1 ? 1 : steps;
}

// The patch as the evaluation sees it: its control net with rows and
// columns each contiguous.
struct Net {
    int uCount, vCount;
    const Vec* rows;         // point (i, r) at r * uCount + i
    std::vector<Vec> columns;  // point (i, r) at i * vCount + r

    const Vec* Row(int r) const { return rows + r * uCount; }
    const Vec* Column(int i) const { return columns.data() + i * vCount; }
};

// Step 5: positions and unit normals at every grid point (uSteps + 1 per
// grid row, vSteps + 1 grid rows, j outer).
struct Grid {
    int columns;
    std::vector<Vec> position, normal;
};

Grid EvaluateGrid(const Net& net, const VekBezierSurface& patch)
{
    const int nu = net.uCount, nv = net.vCount;
    const int iCount = patch.uSteps + 1, jCount = patch.vSteps + 1;
    auto uAt = [&](int i) { return static_cast<float>(i) * patch.uStepSize; };
    auto vAt = [&](int j) { return static_cast<float>(j) * patch.vStepSize; };

    // The row curves at every grid u (Q, also R of the v tangent) and the
    // column curves at every grid v (K of the u tangent).
    std::vector<Vec> rowCurves(CheckedProduct(iCount, nv)), columnCurves(CheckedProduct(jCount, nu));
    for (int i = 0; i < iCount; ++i)
        for (int r = 0; r < nv; ++r) rowCurves[i * nv + r] = EvaluateBezier(nu, net.Row(r), uAt(i));
    for (int j = 0; j < jCount; ++j)
        for (int c = 0; c < nu; ++c) columnCurves[j * nu + c] = EvaluateBezier(nv, net.Column(c), vAt(j));

    Grid grid;
    grid.columns = iCount;
    const size_t points = CheckedProduct(iCount, jCount);
    grid.position.resize(points);
    grid.normal.resize(points);
    for (int j = 0; j < jCount; ++j) {
        const float v = vAt(j);
        for (int i = 0; i < iCount; ++i) {
            const float u = uAt(i);
            const Vec* Q = &rowCurves[i * nv];
            const size_t k = static_cast<size_t>(j) * iCount + i;
            grid.position[k] = EvaluateBezier(nv, Q, v);
            const Vec tu = EvaluateBezierDifference(nu, &columnCurves[j * nu], u);
            const Vec tv = EvaluateBezierDifference(nv, Q, v);
            grid.normal[k] = UnitOrZero(CG::cross(tu, tv));
        }
    }
    return grid;
}

// One triangle of grid points a, b, c with their normals and no map
// coordinates, as any surface is made; null when it is rejected.
VekSurface* MakeTriangle(const Grid& grid, size_t a, size_t b, size_t c)
{
    float positions[3][3], normals[3][3];
    const size_t corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        std::memcpy(positions[k], &grid.position[corners[k]], sizeof positions[k]);
        std::memcpy(normals[k], &grid.normal[corners[k]], sizeof normals[k]);
    }
    return InstanciateSurface(3, &positions[0][0], &normals[0][0], nullptr, false);
}

long Instanciate(long uCount, long vCount, const float* controlPoints, const float* cornerVectors)
{
    // Refusals, before anything is taken: counts the evaluation buffers
    // cannot hold, no points, or points that are not finite.
    if (uCount < kMinCount || uCount > kMaxCount || vCount < kMinCount || vCount > kMaxCount || !controlPoints) {
        Warn(VEK_WARNING_INVALID_VALUE, kName);
        return -1;
    }
    const int nu = static_cast<int>(uCount), nv = static_cast<int>(vCount);
    const size_t pointCount = CheckedProduct(nu, nv);
    for (size_t k = 0; k < 3 * pointCount; ++k) {
        if (!std::isfinite(controlPoints[k])) {
            Warn(VEK_WARNING_BAD_SHAPE, kName);
            return -1;
        }
    }

    // 2. The library's copy of the control points (allocated before the
    //    record is taken, so that a failed allocation leaves no record).
    MallocArray<Vec> points = AllocateArray<Vec>(pointCount, false);
    std::memcpy(points.get(), controlPoints, pointCount * sizeof(Vec));
    Net net{nu, nv, points.get(), std::vector<Vec>(pointCount)};
    for (int r = 0; r < nv; ++r)
        for (int i = 0; i < nu; ++i) net.columns[i * nv + r] = net.Row(r)[i];

    // 3. The longest neighbour distances along u and along v, as squares.
    float longestU = 0.0f, longestV = 0.0f;
    for (int r = 0; r < nv; ++r) {
        for (int i = 0; i < nu; ++i) {
            const Vec& p = net.Row(r)[i];
            if (i + 1 < nu) {
                const Vec d = net.Row(r)[i + 1] - p;
                longestU = std::max(longestU, CG::dot(d, d));
            }
            if (r + 1 < nv) {
                const Vec d = net.Row(r + 1)[i] - p;
                longestV = std::max(longestV, CG::dot(d, d));
            }
        }
    }
    // 4. The density rule.
    const int32_t uSteps = StepsAlong(longestU, uCount);
    const int32_t vSteps = StepsAlong(longestV, vCount);

    // 6 (early, for the same reason as 2). The triangle table, zeroed: an
    //    entry whose triangle was rejected stays null.
    const size_t cells = CheckedProduct(uSteps, vSteps);
    MallocArray<VekSurface*> triangles = AllocateArray<VekSurface*>(CheckedProduct(2, cells), true);

    // 1. The record, counted from here on.
    VekBezierSurface* patch = VekMemory_AllocateBezierSurface();
    patch->uCount = nu;
    patch->vCount = nv;
    patch->attribute = FindAttribute(CurrentSurfaceState().attributeName);
    patch->controlPoints = points.release();
    if (cornerVectors)
        std::memcpy(patch->cornerVectors, cornerVectors, sizeof patch->cornerVectors);
    else
        std::memset(patch->cornerVectors, 0, sizeof patch->cornerVectors);
    patch->uSteps = uSteps;
    patch->vSteps = vSteps;
    patch->uStepSize = 1.0f / static_cast<float>(uSteps);
    patch->vStepSize = 1.0f / static_cast<float>(vSteps);
    patch->triangles = triangles.release();

    // 5. Positions and normals on the grid.
    const Grid grid = EvaluateGrid(net, *patch);

    // 7. Two triangles per cell, both counter-clockwise in (u, v); cell k
    //    holds entries 2k and 2k + 1.
    size_t entry = 0;
    const size_t row = static_cast<size_t>(grid.columns);
    for (int j = 0; j < vSteps; ++j) {
        for (int i = 0; i < uSteps; ++i) {
            const size_t k00 = j * row + i, k10 = k00 + 1, k01 = k00 + row, k11 = k01 + 1;
            patch->triangles[entry++] = MakeTriangle(grid, k00, k10, k01);
            patch->triangles[entry++] = MakeTriangle(grid, k10, k11, k01);
        }
    }
    // 8. The temporary grids go with this scope.
    return VekBezierSurface_GetIndex(patch);
}

}  // namespace
}  // namespace vek

long VekBezierSurface_Instanciate(long uCount, long vCount, const float* controlPoints, const float* cornerVectors)
{
    return vek::Instanciate(uCount, vCount, controlPoints, cornerVectors);
}
