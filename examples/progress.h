// progress.h - one line per stage of the run ("work plane  45%  3 s
// left"), redrawn in place on a terminal once the stage has run for a
// second, and a closing line with its time and rays.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace example {

class Progress {
public:
    explicit Progress(std::string label);

    // Done share of the whole stage, 0 to 1; redraws at most a few times a second.
    void Set(double done);
    // The closing line; returns the stage's seconds.
    double Finish(uint64_t rays);

    // A share [begin, begin + size) of the stage, for a part of it that
    // counts its own progress from 0 to 1.
    struct Span {
        Progress* progress;
        double begin;
        double size;
        void Set(double done) const { progress->Set(begin + size * done); }
    };

private:
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool terminal_;
    bool drawn_ = false;
};

}  // namespace example
