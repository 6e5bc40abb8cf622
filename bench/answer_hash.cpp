// answer_hash.cpp - a fingerprint of every answer the grid gives on the
// benchmark rooms, to hold two builds of the engine against each other ray
// by ray: a change to how the grid is built or walked must leave every
// fingerprint as it was.
//
// For each room size (20k, 300k and 1M triangles by default, or the sizes
// given as arguments) it prints the preparation time and the peak resident
// memory the preparation added, then one hash per query kind over the
// answers to the same rays: face (by its place in the surface list), t and
// point for RayCast (culled and not), Pick, Raytrace and MultiRaytrace
// (records in order), and the RGB factor for Search and SearchDirection.
// Rays start inside the room, a third aimed at the torus, whose crowded
// cells hold nested grids. "answer_hash families" does the same per ray on
// the crowded scenes of the preparation benchmark (see RunFamilies).
//
// "answer_hash --dump FILE sizes..." also writes every answer, ray by ray,
// and "answer_hash --compare A B" holds two such files against each other:
// where two builds answer differently it tells exact ties (two faces at the
// same t, either right) and transmission factors that differ only by the
// order of their products (at most 1e-6 relative) from real differences.
#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "crowded_scenes.h"
#include "memory_use.h"

namespace {

using vekbench::V3;

// FNV-1a over the bytes of each value added.
struct Hash {
    uint64_t h = 1469598103934665603ull;
    template <class T>
    void Add(const T& value)
    {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    }
};

V3 Normalized(V3 v) { return v * (1.0f / std::sqrt(CG::dot(v, v))); }

// Faces by their place in the surface list; a billboard's view and shadow
// copies by their source's place with a tag.
std::unordered_map<const VekFace*, uint32_t> FaceNumbers()
{
    std::unordered_map<const VekFace*, uint32_t> number;
    uint32_t n = 0;
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next, ++n) {
        number.emplace(s, n);
        if (s->IsBillboard() && s->twin) {
            number.emplace(s->twin, n | 1u << 30);
            number.emplace(s->twin->twin, n | 2u << 30);
        }
    }
    return number;
}

// The crowded families at the sizes the preparation benchmark starts from:
// one line per ray with MultiRaytrace's records hashed in the order given
// and sorted ("family ray ordered sorted"), then per family a hash of the
// nearest hits (RayCast, Raytrace) and the searches. Two builds of the
// engine that agree on the sorted hashes but not on the ordered ones report
// the same hits in another order.
void RunFamilies(int rayCount)
{
    const struct {
        const char* name;
        void (*build)(int);
        int count;
    } families[] = {{"disc", vekbench::Disc, 300},
                    {"cone", vekbench::Cone, 250},
                    {"coincident", vekbench::Coincident, 70},
                    {"cluster", vekbench::Cluster, 300},
                    {"billboards", vekbench::Billboards, 50}};
    for (const auto& family : families) {
        vekbench::BuildCrowdedScene(family.build, family.count);
        std::unordered_map<const VekFace*, uint32_t> number = FaceNumbers();
        VekIntersection_PrepareEnvironment();
        VekIntersection_Reset(1);
        std::mt19937 rng(23);
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        Hash nearest;
        for (int n = 0; n < rayCount; ++n) {
            const V3 o(uni(0.05f, vekbench::kRoomX - 0.05f), uni(0.05f, vekbench::kRoomY - 0.05f),
                       uni(0.05f, vekbench::kRoomZ - 0.05f));
            const float spread = n % 3 == 0 ? 2.0f : 0.4f;
            const V3 d = Normalized(vekbench::kCrowdedSpot +
                                    V3(uni(-spread, spread), uni(-spread, spread), uni(-0.2f, 0.2f)) - o);
            HitInfo all[512];
            const long count = VekIntersection_MultiRaytrace(o, d, nullptr, 512, all, 1e-4f);
            std::vector<std::pair<uint32_t, float>> records;
            for (long i = 0; i < count; ++i) records.emplace_back(number.count(all[i].face) ? number[all[i].face] : ~0u, all[i].t);
            Hash ordered, sorted;
            for (const auto& r : records) ordered.Add(r);
            std::sort(records.begin(), records.end());
            for (const auto& r : records) sorted.Add(r);
            std::printf("%s %d %016llx %016llx\n", family.name, n, static_cast<unsigned long long>(ordered.h),
                        static_cast<unsigned long long>(sorted.h));
            HitInfo h{};
            if (VekIntersection_RayCast(o, d, h, 1e-4f, 0)) nearest.Add(h.t);
            if (VekIntersection_Raytrace(o, d, nullptr, h, 1e-4f, 0)) nearest.Add(h.t);
            nearest.Add(VekIntersection_Search(o, d * 12.0f, nullptr, nullptr, 0));
        }
        std::printf("%s nearest %016llx\n", family.name, static_cast<unsigned long long>(nearest.h));
    }
}

// One answer as the dump keeps it: a hit's face number, t and point, or a
// search's factor in the point's place.
struct Answer {
    int32_t kind;
    int32_t found;
    uint32_t face;
    float t;
    V3 point;
};
std::FILE* g_dump = nullptr;

void Run(long triangles, int rayCount)
{
    VekMain_End();
    VekMain_Initialize();
    vekbench::BuildRoom(triangles);
    std::unordered_map<const VekFace*, uint32_t> number = FaceNumbers();
    VekIntersection_Initialize();
    for (VekSurface* s = VekMemory_GetSurfaceList(); s; s = s->next) {
        s->SetRayNumber();
        VekIntersection_RegisterSurface(s);
    }
    // Preparation: time and the peak resident memory above what the scene
    // itself holds.
    double ms = 0.0;
    const double peak = vekbench::PeakMiB([&] {
        const auto start = std::chrono::steady_clock::now();
        VekIntersection_PrepareEnvironment();
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    });
    VekIntersection_Reset(2);
    std::printf("%ld triangles (%zu surfaces): prepared in %.0f ms, peak +%.0f MiB\n", triangles, number.size(), ms,
                peak);

    std::mt19937 rng(17);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    using vekbench::kRoomX;
    using vekbench::kRoomY;
    using vekbench::kRoomZ;
    enum { kCast, kCastCulled, kPick, kTrace, kTraceSkip, kAll, kSearch, kSearchDirection, kKinds };
    const char* names[kKinds] = {"RayCast",      "RayCast culled", "Pick",   "Raytrace",
                                 "Raytrace skip", "MultiRaytrace", "Search", "SearchDirection"};
    Hash hashes[kKinds];
    long hits[kKinds] = {};
    auto addHit = [&](int kind, long found, const HitInfo& h) {
        if (g_dump) {
            const Answer a{kind, static_cast<int32_t>(found), found && number.count(h.face) ? number[h.face] : ~0u,
                           found ? h.t : 0.0f, found ? h.point : V3(0, 0, 0)};
            std::fwrite(&a, sizeof a, 1, g_dump);
        }
        hashes[kind].Add(found);
        if (!found) return;
        ++hits[kind];
        hashes[kind].Add(number.count(h.face) ? number[h.face] : ~0u);
        hashes[kind].Add(h.t);
        hashes[kind].Add(h.point);
    };
    const VekFace* skip = nullptr;
    for (int n = 0; n < rayCount; ++n) {
        const V3 o(uni(0.05f, kRoomX - 0.05f), uni(0.05f, kRoomY - 0.05f), uni(0.05f, kRoomZ - 0.05f));
        V3 d;
        if (n % 3 == 0) {
            const float a = uni(0, 6.2831853f);
            d = vekbench::kTorusCentre + V3(1.2f * std::cos(a), 1.2f * std::sin(a), uni(-0.45f, 0.45f)) - o;
        } else {
            d = V3(uni(-1, 1), uni(-1, 1), uni(-1, 1));
        }
        d = Normalized(d);
        HitInfo h{};
        addHit(kCast, VekIntersection_RayCast(o, d, h, 1e-4f, 0), h);
        addHit(kCastCulled, VekIntersection_RayCast(o, d, h, 1e-4f, 1), h);
        addHit(kPick, VekIntersection_Pick(o - d * 40.0f, d, h), h);
        addHit(kTrace, VekIntersection_Raytrace(o, d, nullptr, h, 1e-4f, 0), h);
        const long found = VekIntersection_Raytrace(o, d, skip, h, 1e-4f, 1);
        addHit(kTraceSkip, found, h);
        skip = found ? h.face : nullptr;
        HitInfo all[64];
        const long count = VekIntersection_MultiRaytrace(o, d, nullptr, 64, all, 1e-4f);
        hashes[kAll].Add(count);
        for (long i = 0; i < count; ++i) addHit(kAll, 1, all[i]);
        const V3 target(uni(0, kRoomX), uni(0, kRoomY), uni(0, kRoomZ));
        // A search "hits" when something dims the light.
        auto addFactor = [&](int kind, const V3& factor) {
            if (g_dump) {
                const Answer a{kind, 1, ~0u, 0.0f, factor};
                std::fwrite(&a, sizeof a, 1, g_dump);
            }
            hashes[kind].Add(factor);
            if (!(factor == V3(1, 1, 1))) ++hits[kind];
        };
        addFactor(kSearch, VekIntersection_Search(o, target - o, nullptr, nullptr, 0));
        addFactor(kSearchDirection, VekIntersection_SearchDirection(o, d, nullptr, 1));
    }
    for (int k = 0; k < kKinds; ++k)
        std::printf("  %-16s %016llx  (%ld hits over %d rays)\n", names[k], static_cast<unsigned long long>(hashes[k].h),
                    hits[k], rayCount);
}

// Two dumps ray by ray: per query kind, the answers that differ, and of
// those the exact ties and the factors that differ only in rounding.
int Compare(const char* pathA, const char* pathB)
{
    std::FILE* a = std::fopen(pathA, "rb");
    std::FILE* b = std::fopen(pathB, "rb");
    if (!a || !b) {
        std::fprintf(stderr, "cannot open %s or %s\n", pathA, pathB);
        return 1;
    }
    const char* names[] = {"RayCast", "RayCast culled", "Pick", "Raytrace", "Raytrace skip", "MultiRaytrace", "Search",
                           "SearchDirection"};
    long total[8] = {}, differ[8] = {}, ties[8] = {}, rounding[8] = {};
    Answer x, y;
    while (std::fread(&x, sizeof x, 1, a) == 1 && std::fread(&y, sizeof y, 1, b) == 1) {
        if (x.kind != y.kind || x.kind < 0 || x.kind > 7) {
            std::fprintf(stderr, "the dumps are not of the same rays\n");
            return 1;
        }
        ++total[x.kind];
        if (std::memcmp(&x, &y, sizeof x) == 0) continue;
        ++differ[x.kind];
        const bool search = x.kind >= 6;
        if (!search && x.found && y.found && x.t == y.t && x.face != y.face) ++ties[x.kind];
        if (search) {
            bool close = true;
            for (int k = 0; k < 3; ++k)
                close &= std::fabs(x.point[k] - y.point[k]) <= 1e-6f * std::max(std::fabs(x.point[k]), std::fabs(y.point[k]));
            rounding[x.kind] += close;
        }
    }
    for (int k = 0; k < 8; ++k)
        std::printf("  %-16s %9ld answers: %ld differ (%ld exact ties, %ld factors within 1e-6)\n", names[k], total[k],
                    differ[k], ties[k], rounding[k]);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return Compare(argv[2], argv[3]);
    if (argc > 2 && std::strcmp(argv[1], "--dump") == 0) {
        g_dump = std::fopen(argv[2], "wb");
        if (!g_dump) return 1;
        argv += 2;
        argc -= 2;
    }
    VekMain_Initialize();
    if (argc > 1 && std::strcmp(argv[1], "families") == 0) {
        RunFamilies(20000);
        VekMain_End();
        return 0;
    }
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
    if (sizes.empty()) sizes = {20000, 300000, 1000000};
    for (long triangles : sizes) Run(triangles, 200000);
    VekMain_End();
    if (g_dump) std::fclose(g_dump);
    return 0;
}
