// report.h - how the library's own code reports to the host.
//
// Every exported operation reports under its own exported name. Fail never
// returns: the error reaches the host as _VekException. Warn records and
// logs and lets the caller go on. The checks clamp components and warn once
// per corrected component (strict comparisons, so NaN passes silently).
#pragma once

namespace vek {

[[noreturn]] void Fail(long code, const char* functionName);
void Warn(long code, const char* functionName);

void CheckFloorCeil(float* value, int components, float floor, float ceil, const char* functionName);
void CheckFloor(float* value, int components, float floor, const char* functionName);

// Copies a zero-terminated text into a fixed field of capacity bytes,
// cutting it to capacity - 1 characters; null becomes "".
void CopyName(char* field, int capacity, const char* text);

}  // namespace vek
