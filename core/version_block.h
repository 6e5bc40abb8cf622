// version_block.h - reads the product version out of a VS_VERSIONINFO block,
// the same tree in a PE version resource and in our own modules' record.
#pragma once

#include <string>

#include "core/byte_span.h"

namespace vek {

// The block's first Translation entry names the string table ("%04x%04x" of
// language and code page, matched ignoring case); its ProductVersion string
// is returned as ASCII, every other character as '?'. False when the block
// is malformed or any of the three is missing.
bool ReadProductVersion(const ByteSpan& block, std::string& productVersion);

}  // namespace vek
