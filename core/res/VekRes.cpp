// VekRes.cpp - the sibling resource module. VekMain loads it by name when it
// is mapped into a process and frees it when it is unmapped; nothing in it
// is called. It carries the library's version record like every module of ours.
