// ray_pass.cpp - one pass of ray work on fresh threads: each thread takes
// the next chunk of items from a shared counter until none is left, and the
// waiting thread reports progress from the count of finished items.
#include "ray_pass.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <VekMain.h>

namespace example {
namespace {

constexpr size_t kChunk = 64;  // items per hand-out: a fraction of an image row
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

uint64_t RunRayPass(int threads, size_t count, const RayWork& work, const Progress::Span& progress)
{
    std::atomic<size_t> next{0}, finished{0};
    std::vector<uint64_t> rays(threads, 0);
    std::mutex mutex;
    std::condition_variable allDone;
    int running = threads;

    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            VekMain_SetThreadNumber(t);
            uint64_t cast = 0;
            for (size_t begin; (begin = next.fetch_add(kChunk)) < count;) {
                size_t end = std::min(begin + kChunk, count);
                cast += work(t, begin, end);
                finished += end - begin;
            }
            rays[t] = cast;
            std::lock_guard<std::mutex> lock(mutex);
            if (--running == 0) allDone.notify_one();
        });
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!allDone.wait_for(lock, kProgressInterval, [&] { return running == 0; }))
            progress.Set(count ? static_cast<double>(finished.load()) / count : 1.0);
    }
    for (std::thread& worker : workers) worker.join();
    progress.Set(1.0);

    uint64_t total = 0;
    for (uint64_t r : rays) total += r;
    return total;
}

}  // namespace example
