// environment.cpp - the intersection environment's life: registration of
// surfaces (billboards as a view copy and a shadow copy) and area lights,
// preparation of the grid over everything registered, and its end.
//
// The environment owns the billboard copies and the grids, never the
// registered surfaces or area lights.
#include "intersection/environment.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <system_error>
#include <thread>

#include "VekIntersection.h"
#include "VekLight.h"
#include "core/platform.h"
#include "core/report.h"
#include "core/subsystems.h"
#include "intersection/hierarchy_kernels.h"

namespace vek {
namespace {

// API static data: the one environment of the process.
Environment g_environment;

// Extents at or below this count as zero when the scene box gets its margin.
constexpr float kZeroExtent = 1e-10f;
// The scene box grows by this share of its extent on each side (or by this
// absolute amount along a flat axis), so no face lies on the grid's boundary.
constexpr float kMarginShare = 0.001f;
constexpr float kFlatMargin = 0.001f;

// No scene reaches this far from the origin; within it the scene box, its
// extent and margins, the extent sums of two billion faces and every cell
// size stay finite in single precision.
constexpr float kFarthestCoordinate = 1e28f;

// A box the grid can place: finite, within kFarthestCoordinate and not
// empty. Anything else (a NaN or infinite corner of a host-built face, a
// corner near the float limit, bounds never set) is left out of the grid
// rather than turned into a cell index or an infinite scene box.
bool PlaceableBox(const VekFace& f)
{
    for (int k = 0; k < 3; ++k)
        if (!(std::fabs(f.boundsMin[k]) <= kFarthestCoordinate) ||
            !(std::fabs(f.boundsMax[k]) <= kFarthestCoordinate) || f.boundsMin[k] > f.boundsMax[k])
            return false;
    return true;
}

// Widens a billboard copy's box in x and y to cover the copy in every turn
// about a vertical axis through the box centre: the full xy diagonal either
// side of the centre.
void WidenForTurns(VekFace& f)
{
    const float dx = f.boundsMax.x - f.boundsMin.x, dy = f.boundsMax.y - f.boundsMin.y;
    const float r = std::sqrt(dx * dx + dy * dy);
    const float cx = (f.boundsMin.x + f.boundsMax.x) * 0.5f;
    const float cy = (f.boundsMin.y + f.boundsMax.y) * 0.5f;
    f.boundsMin.x = cx - r;
    f.boundsMax.x = cx + r;
    f.boundsMin.y = cy - r;
    f.boundsMax.y = cy + r;
}

// A registered element needs its ray marks before the grid may hand it to
// a query.
bool HasRayMarks(const VekFace* face, const char* name)
{
    if (face && face->rayNumbers) return true;
    Warn(VEK_WARNING_INVALID_VALUE, name);
    return false;
}

// Faces from which the grid and the hierarchy are built on two threads:
// below, starting a thread costs more than the smaller build.
constexpr size_t kBuildsApartFaces = 4096;

// Runs beside() and here(), beside() on a thread of its own when apart and
// the processor has a second core (else one after the other), and returns
// when both have ended, with the first exception either raised; true when
// a thread of its own ran beside().
template <class Beside, class Here>
bool RunBoth(Beside beside, Here here, bool apart)
{
    if (apart && std::thread::hardware_concurrency() != 1) {
        std::future<void> other;
        try {
            other = std::async(std::launch::async, beside);
        } catch (const std::system_error&) {
            apart = false;  // no thread to be had: both on this one
        }
        if (apart) {
            try {
                here();
            } catch (...) {
                other.wait();
                throw;
            }
            other.get();
            return true;
        }
    }
    beside();
    here();
    return false;
}

void EndEnvironment(Environment& env)
{
    // 1. The grids (their nested grids and cell arrays with them) and the hierarchy.
    env.topGrid.reset();
    env.hierarchy = Hierarchy();
    env.secondaryGrid.reset();
    // 2. The billboard copies, then both lists.
    env.faces.clear();
    env.shadowBillboards.clear();
    env.copies.clear();
    env.threadLimit = 0;
}

}  // namespace

Environment& CurrentEnvironment() { return g_environment; }

void EndOpenEnvironment() { EndEnvironment(g_environment); }

}  // namespace vek

using vek::g_environment;

void VekIntersection_Initialize()
{
    // An environment left open is ended first, so its copies and grids are
    // not leaked.
    vek::EndEnvironment(g_environment);
}

void VekIntersection_RegisterSurface(VekSurface* s)
{
    if (!vek::HasRayMarks(s, "VekIntersection_RegisterSurface")) return;
    vek::Environment& env = g_environment;
    // Room for two more first (grown geometrically), so that nothing below
    // fails half-way through linking a billboard's copies.
    if (env.faces.capacity() < env.faces.size() + 2) env.faces.reserve(2 * env.faces.size() + 2);
    if (env.copies.capacity() < env.copies.size() + 2) env.copies.reserve(2 * env.copies.size() + 2);
    // 1. A plain surface takes part as it is.
    if (!s->IsBillboard()) {
        env.faces.push_back(s);
        return;
    }
    // 2. A billboard becomes two copies. Each has ray marks of its own, so a
    //    hit query that passes over the shadow copy still meets the view copy.
    std::unique_ptr<VekSurface> view(new VekSurface(*s));
    view->flags |= VEK_FACE_BILLBOARD_VIEW | VEK_FACE_NO_SHADOW;
    view->SetRaytraceInfo();
    view->SetBoundingBox();
    vek::WidenForTurns(*view);
    view->SetRayNumber();
    std::unique_ptr<VekSurface> shadow(new VekSurface(*s));
    shadow->flags = (shadow->flags & ~VEK_FACE_NO_SHADOW) | VEK_FACE_BILLBOARD_SHADOW;
    shadow->SetRaytraceInfo();
    shadow->SetBoundingBox();
    vek::WidenForTurns(*shadow);
    shadow->SetRayNumber();
    // 3. The twin ring source -> view copy -> shadow copy -> source.
    s->twin = view.get();
    view->twin = shadow.get();
    shadow->twin = s;
    env.faces.push_back(view.get());
    env.faces.push_back(shadow.get());
    env.shadowBillboards.push_back({shadow.get(), s});
    env.copies.push_back(std::move(view));
    env.copies.push_back(std::move(shadow));
}

void VekIntersection_RegisterArealight(VekAreaLight* light)
{
    if (!vek::HasRayMarks(light, "VekIntersection_RegisterArealight")) return;
    g_environment.faces.push_back(light);
}

void VekIntersection_PrepareEnvironment()
{
    vek::Environment& env = g_environment;
    // A new preparation replaces the previous grid (and its occluder cache)
    // and hierarchy.
    env.topGrid.reset();
    env.hierarchy = vek::Hierarchy();
    g_mainStatusTable.sceneMin = CG::vec3<float>(1e38f, 1e38f, 1e38f);
    g_mainStatusTable.sceneMax = CG::vec3<float>(-1e38f, -1e38f, -1e38f);

    // 1. Scene box and 2. extent sums, over every element the grid can place;
    //    the walks learn here, once, which elements are no surfaces.
    std::vector<vek::CellItem> items;
    items.reserve(env.faces.size());
    CG::vec3<float> lo(0, 0, 0), hi(0, 0, 0), sums(0, 0, 0);
    for (VekFace* f : env.faces) {
        if (!vek::PlaceableBox(*f)) continue;
        if (items.empty()) {
            lo = f->boundsMin;
            hi = f->boundsMax;
        }
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], f->boundsMin[k]);
            hi[k] = std::max(hi[k], f->boundsMax[k]);
            sums[k] += f->boundsMax[k] - f->boundsMin[k];
        }
        items.push_back(reinterpret_cast<vek::CellItem>(f) | (f->Type() != 0 ? vek::kItemNotSurface : 0));
    }
    if (items.empty()) return;  // nothing to place: queries find nothing

    // 3. Margin, and 4. the margin box published as the scene boundary.
    for (int k = 0; k < 3; ++k) {
        const float e = hi[k] - lo[k];
        const float margin = e > vek::kZeroExtent ? vek::kMarginShare * e : vek::kFlatMargin;
        lo[k] -= margin;
        hi[k] += margin;
    }
    g_mainStatusTable.sceneMin = lo;
    g_mainStatusTable.sceneMax = hi;

    // 5. Resolution from the extent sums; 6. the grid and 7. the hierarchy
    //    over the face records, for the queries whose answer does not
    //    depend on the order cells are crossed in. The two builds share
    //    nothing until the grid's entries are renumbered to the records'
    //    leaf order, so they run side by side when the host runs rays on
    //    more than one thread.
    int32_t res[3];
    vek::ResolutionRule(sums, static_cast<int64_t>(items.size()), vek::kMaxResolution, res);
    std::unique_ptr<vek::VekGrid> grid(new vek::VekGrid(lo, hi, res));
    bool apart = false;
    {
        std::vector<vek::FaceRecord> records;
        std::vector<uint32_t> placeInList;
        vek::HierarchyBuild hierarchy;
        apart = vek::RunBoth(
            [&] {
                vek::MakeRecords(items, records, placeInList);
                hierarchy.Start(records, placeInList);
                hierarchy.Work();
            },
            [&] {
                grid->Build(items);
                hierarchy.Work();  // then subtrees still waiting, beside the other thread
            },
            g_mainValueTable.threadCount >= 2 && items.size() >= vek::kBuildsApartFaces);
        hierarchy.Finish(env.hierarchy);
        grid->AdoptRecords(std::move(records), placeInList, items.size());
    }
    // What the second thread's build freed would stay with it.
    if (apart) vek::platform::ReturnFreeMemory();
    env.kernels = &vek::SelectKernels();
    env.topGrid = std::move(grid);
    env.threadLimit = std::clamp<int32_t>(g_mainValueTable.threadCount, 1, VEK_MAX_THREADS);
    // 8. Every element's ray marks cleared: the new grid numbers rays from 1
    //    again, and a face still marked by an earlier ray of the same number
    //    would be passed over.
    for (VekFace* f : env.faces) std::fill(f->rayNumbers, f->rayNumbers + env.threadLimit, 0u);
}

// Test hook, not part of the interface (no header declares it): sets a
// thread's ray counter in the prepared grid, so that tests reach the end of
// the ray numbering without two billion queries.
VEK_API void VekTest_SetRayCounter(long thread, unsigned long value)
{
    vek::Environment& env = g_environment;
    if (env.topGrid && thread >= 0 && thread < env.threadLimit)
        env.topGrid->rayCounters[thread].value = static_cast<uint32_t>(value);
}

void VekIntersection_End() { vek::EndEnvironment(g_environment); }
