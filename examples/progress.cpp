// progress.cpp - the time left is the time so far scaled by the share still
// to do: good enough for passes whose items cost about the same.
#include "progress.h"

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace example {
namespace {

constexpr double kQuietSeconds = 1.0;   // stages shorter than this draw no progress
constexpr double kRedrawSeconds = 0.25;
constexpr int kLabelWidth = 24;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

Progress::Progress(std::string label)
    : label_(std::move(label)), start_(std::chrono::steady_clock::now()), lastDrawn_(start_),
      terminal_(isatty(STDOUT_FILENO) != 0)
{
}

void Progress::Set(double done)
{
    auto now = std::chrono::steady_clock::now();
    double elapsed = Seconds(now - start_);
    if (!terminal_ || elapsed < kQuietSeconds || Seconds(now - lastDrawn_) < kRedrawSeconds) return;
    lastDrawn_ = now;
    done = std::clamp(done, 0.0, 1.0);
    if (done > 0.0)
        std::printf("\r  %-*s %3d%%  %.0f s left   ", kLabelWidth, label_.c_str(), static_cast<int>(100 * done),
                    elapsed * (1.0 - done) / done + 0.5);
    else
        std::printf("\r  %-*s   0%%", kLabelWidth, label_.c_str());
    std::fflush(stdout);
    drawn_ = true;
}

double Progress::Finish(uint64_t rays)
{
    double seconds = Seconds(std::chrono::steady_clock::now() - start_);
    if (drawn_) std::printf("\r");
    std::printf("  %-*s %6.2f s  %8.2f M rays  %6.1f M rays/s      \n", kLabelWidth, label_.c_str(), seconds,
                rays / 1e6, rays / 1e6 / std::max(seconds, 1e-9));
    std::fflush(stdout);
    return seconds;
}

}  // namespace example
