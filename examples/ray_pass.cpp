// ray_pass.cpp - one pass of ray work on fresh threads: each thread takes
// the next chunk of items from a shared counter until none is left, and the
// waiting thread reports progress from the count of finished items.
#include "ray_pass.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

#include <VekMain.h>

namespace example {
namespace {

constexpr size_t kChunk = 64;  // items per hand-out: a fraction of an image row
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

void PrintProgress(const char* label, size_t done, size_t count)
{
    std::printf("\r  %-28s %3d%%", label, count ? static_cast<int>(100 * done / count) : 100);
    std::fflush(stdout);
}

}  // namespace

PassStats RunRayPass(const char* label, int threads, size_t count, const RayWork& work)
{
    auto start = std::chrono::steady_clock::now();
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

    // Progress on a terminal only; a log gets the final line alone.
    bool terminal = isatty(STDOUT_FILENO);
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!allDone.wait_for(lock, kProgressInterval, [&] { return running == 0; }))
            if (terminal) PrintProgress(label, finished.load(), count);
    }
    for (std::thread& worker : workers) worker.join();

    PassStats stats{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0};
    for (uint64_t r : rays) stats.rays += r;
    if (terminal) std::printf("\r");
    std::printf("  %-28s %6.2f s  %7.2f M rays\n", label, stats.seconds, stats.rays / 1e6);
    return stats;
}

}  // namespace example
