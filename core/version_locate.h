// version_locate.h - where a file keeps its VS_VERSIONINFO block: in the
// resource tree of a PE image (a Windows executable or DLL), or in the
// version section of our own ELF shared objects (core/version_record.h).
#pragma once

#include <cstdint>
#include <vector>

#include "core/file_reader.h"

namespace vek {

// The root node's 16-bit length bounds every version block; bytes after it
// are never read.
constexpr uint64_t kMaxVersionBlock = 0xFFFF;

// Each answers false when the file is not of its format, is malformed or
// truncated, or carries no version block; otherwise block holds the block's
// bytes (at most kMaxVersionBlock).
bool LocatePeVersionBlock(FileReader& file, std::vector<uint8_t>& block);
bool LocateElfVersionBlock(FileReader& file, std::vector<uint8_t>& block);

}  // namespace vek
