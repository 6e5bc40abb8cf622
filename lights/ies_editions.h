// ies_editions.h - the reader of photometric files of every IES edition,
// for the general light's IES forms (general_light.cpp).
#pragma once

#include "VekLight.h"

namespace vek {

// Read a file or a host stream of any edition into a new, published
// distribution named after the path or the stream. Null when they cannot:
// the thread's IES read message then says why.
_VekGeneralLightData* ReadIesFile(const char* path);
_VekGeneralLightData* ReadIesStream(stream_interface* stream);

// Sets the thread's IES read message ("" for a success), answered by
// VekLight_GetIesReadMessage, for a call that ends before any read.
void SetIesReadMessage(const char* text);

// True when the last read failed on a value the library does not take (tilt
// data in another file, photometry of type A or B) rather than on malformed
// text.
bool IesReadRefusedValue();

}  // namespace vek
