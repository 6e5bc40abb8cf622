// indirect_filter.cpp - a cross-bilateral box filter: the picture's
// geometry (points and normals) decides which neighbours count, each
// counting the same.
#include "indirect_filter.h"

#include <algorithm>
#include <cmath>

#include "ray_pass.h"

namespace example {
namespace {

constexpr float kSameNormal = 0.9f;        // cosine: about 25 degrees
constexpr float kPlaneTolerance = 0.005f;  // metres off the plane, plus...
constexpr float kPlaneSlope = 0.05f;       // ...this share of the distance apart

bool SameSurface(const SeenPoint& a, const SeenPoint& b)
{
    if (CG::dot(a.normal, b.normal) < kSameNormal) return false;
    Vec3 apart = b.point - a.point;
    float tolerance = kPlaneTolerance + kPlaneSlope * Length(apart);
    return std::fabs(CG::dot(a.normal, apart)) < tolerance && std::fabs(CG::dot(b.normal, apart)) < tolerance;
}

}  // namespace

std::vector<Vec3> FilterIndirect(const std::vector<SeenPoint>& seen, int width, int height, int radius, int threads,
                                 const Progress::Span& progress)
{
    std::vector<Vec3> filtered(seen.size(), Vec3(0, 0, 0));
    RunRayPass(threads, seen.size(), [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const SeenPoint& centre = seen[i];
            if (CG::dot(centre.normal, centre.normal) == 0.0f) continue;
            const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
            Vec3 sum(0, 0, 0);
            int count = 0;
            for (int qy = std::max(y - radius, 0); qy <= std::min(y + radius, height - 1); ++qy)
                for (int qx = std::max(x - radius, 0); qx <= std::min(x + radius, width - 1); ++qx) {
                    const SeenPoint& other = seen[static_cast<size_t>(qy) * width + qx];
                    if (CG::dot(other.normal, other.normal) == 0.0f || !SameSurface(centre, other)) continue;
                    sum += other.irradiance;
                    ++count;
                }
            filtered[i] = sum * (1.0f / count);  // count >= 1: the centre itself
        }
        return uint64_t(0);
    }, progress);
    return filtered;
}

}  // namespace example
