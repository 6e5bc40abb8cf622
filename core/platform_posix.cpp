// platform_posix.cpp - the platform layer on POSIX systems: pthread keys for
// thread-local slots and dlopen for the sibling resource module, which the
// library loads when it is mapped into a process and frees when it is
// unmapped (a failed load is ignored: nothing of the module is used).
#include "core/platform.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace vek {
namespace platform {

uint32_t AllocateSlot()
{
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) return kNoSlot;
    return static_cast<uint32_t>(key);
}

void FreeSlot(uint32_t slot)
{
    if (slot != kNoSlot) pthread_key_delete(static_cast<pthread_key_t>(slot));
}

void* GetSlot(uint32_t slot)
{
    if (slot == kNoSlot) return nullptr;
    return pthread_getspecific(static_cast<pthread_key_t>(slot));
}

void SetSlot(uint32_t slot, void* value)
{
    if (slot != kNoSlot) pthread_setspecific(static_cast<pthread_key_t>(slot), value);
}

const char* OwnModulePath()
{
    static std::string path = [] {
        Dl_info info;
        if (dladdr(reinterpret_cast<void*>(&OwnModulePath), &info) && info.dli_fname) return std::string(info.dli_fname);
        return std::string();
    }();
    return path.c_str();
}

void* LoadModule(const char* baseName)
{
    std::string file = std::string("lib") + baseName + ".so";
    // Beside our own file first, so an installed pair always finds its sibling...
    std::string own = OwnModulePath();
    size_t slash = own.rfind('/');
    if (slash != std::string::npos) {
        std::string sibling = own.substr(0, slash + 1) + file;
        if (void* handle = dlopen(sibling.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    // ... then by name through the loader's search path.
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void FreeModule(void* module)
{
    if (module) dlclose(module);
}

namespace {

// Process attach and detach of the resource module.
void* g_resourceModule = nullptr;

__attribute__((constructor)) void AttachResourceModule() { g_resourceModule = LoadModule("VekRes"); }

__attribute__((destructor)) void DetachResourceModule()
{
    FreeModule(g_resourceModule);
    g_resourceModule = nullptr;
}

}  // namespace

void AdviseLargePages(const void* data, size_t bytes)
{
    // Only whole 2 MiB pages inside the range can be backed by large pages;
    // below that size the advice has nothing to act on.
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kLargePage - 1);
#ifdef MADV_HUGEPAGE
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

void ReturnFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace platform
}  // namespace vek
