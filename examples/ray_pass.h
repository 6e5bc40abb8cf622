// ray_pass.h - work spread over the host's ray threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "progress.h"

namespace example {

// Work on items [begin, end) by the ray thread numbered thread; returns the
// number of rays it cast.
using RayWork = std::function<uint64_t(int thread, size_t begin, size_t end)>;

// Runs work over items [0, count) on threads threads and waits for it,
// returning the rays cast. Each thread first stores its number
// (0 .. threads - 1) for the library with VekMain_SetThreadNumber, so that
// the library's per-thread ray state stays apart; items are handed out in
// small chunks so that the threads finish together. The calling thread
// reports the share of items done to progress while it waits.
uint64_t RunRayPass(int threads, size_t count, const RayWork& work, const Progress::Span& progress);

}  // namespace example
