// attribute.h - lookups by name that other subsystems use: exact,
// case-sensitive, the record created first wins; null when none matches.
#pragma once

struct VekAttribute;
struct _VekMap;

namespace vek {

VekAttribute* FindAttribute(const char* name);
_VekMap* FindMap(const char* name);

}  // namespace vek
