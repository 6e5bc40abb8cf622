// threads.h - the calling ray thread's number, read from the slot that
// g_tlsIndexThreadNo names (0 for a thread that never stored one).
#pragma once

#include <cstdint>

#include "VekTypes.h"
#include "core/platform.h"

namespace vek {

inline int CurrentThreadNumber()
{
    return static_cast<int>(reinterpret_cast<intptr_t>(platform::GetSlot(g_tlsIndexThreadNo)));
}

}  // namespace vek
