// attribute.h - lookups by name that other subsystems use: exact,
// case-sensitive, over the first 63 characters (as names are stored); the
// record created first wins; null when none matches. A null name is "".
#pragma once

struct VekAttribute;
struct _VekMap;

namespace vek {

VekAttribute* FindAttribute(const char* name);
_VekMap* FindMap(const char* name);

}  // namespace vek
