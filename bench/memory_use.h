// memory_use.h - the process's resident memory as Linux reports it, for
// benchmarks that show what a step adds at its peak.
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace vekbench {

// A field of /proc/self/status ("VmRSS:", "VmHWM:") in MiB.
inline double StatusMiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, n, key) == 0) return std::atof(line.c_str() + n + 1) / 1024.0;
    return 0.0;
}

// Measures the peak resident memory that step adds: the heap's free memory
// is given back first, so that every page the step touches shows.
template <class Step>
double PeakMiB(Step step)
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak
    const double before = StatusMiB("VmRSS:");
    step();
    return StatusMiB("VmHWM:") - before;
}

}  // namespace vekbench
