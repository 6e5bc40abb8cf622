// memory.h - the library's pools and lists, for the subsystems that fill
// them. The exported VekMemory_* calls are the host's view of the same.
#pragma once

#include "core/pool.h"

struct VekBezierSurface;
class VekSurface;

namespace vek {

// Set up every pool and list (Initialize) and release them (End).
void SetUpPools();
void ReleasePools();

// The Bezier list has no exported getter.
VekBezierSurface* BezierList();

// Takes a surface out of the surface list and returns it to its pool;
// previous is the surface before it in the list (null for the head).
// surfaceCount drops by one.
void ReleaseSurface(VekSurface* previous, VekSurface* surface);

}  // namespace vek
