// platform.h - the few operating-system services the library needs, behind
// one small interface: thread-local slots, loading a sibling module, the
// location of our own shared object, and advice on large memory. Only platform_posix.cpp implements it;
// no other file of the library includes an operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {
namespace platform {

// A slot index that names no slot (what an unset g_tlsIndexThreadNo holds).
constexpr uint32_t kNoSlot = 0xFFFFFFFFu;

// A fresh thread-local slot, reading null on every thread; kNoSlot when the
// system has none left.
uint32_t AllocateSlot();
void FreeSlot(uint32_t slot);
// The calling thread's value of a slot (null for kNoSlot or a freed slot).
void* GetSlot(uint32_t slot);
void SetSlot(uint32_t slot, void* value);

// Loads a module of ours by its base name ("VekRes" loads libVekRes.so from
// beside this library or the loader's path); null on failure.
void* LoadModule(const char* baseName);
void FreeModule(void* module);

// Full path of the shared object that holds this library's code, or "" when
// it cannot be told.
const char* OwnModulePath();

// Asks the system to back the whole large pages inside [data, data + bytes)
// with large pages, where it can: structures that rays read at random then
// miss the address translation caches far less often. Given before the
// memory is first written, it costs nothing at all. Advice only; nothing
// changes when it is not taken.
void AdviseLargePages(const void* data, size_t bytes);

// Gives memory the allocator keeps back after it was freed to the system:
// what a finished worker thread freed stays with that thread's allocator
// otherwise, which the calling thread never reuses.
void ReturnFreeMemory();

}  // namespace platform
}  // namespace vek
