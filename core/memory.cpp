// memory.cpp - the per-kind object pools, the lists in creation order, slot
// lookups, and the bump allocator of per-face ray-mark arrays.
#include "core/memory.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#include "VekAttribute.h"
#include "VekBezierSurface.h"
#include "VekLight.h"
#include "VekMainMemory.h"
#include "VekMap.h"
#include "VekMemory.h"
#include "VekSurface.h"
#include "core/report.h"

namespace vek {

// --- Pool ---------------------------------------------------------------------

Pool::Pool(int32_t itemsPerBlock, size_t recordBytes)
    : itemsPerBlock_(itemsPerBlock),
      recordBytes_((recordBytes + 7) / 8 * 8)
{
    wordsPerBlock_ = static_cast<int32_t>(1 + itemsPerBlock * (recordBytes_ / 8));
}

Pool::~Pool()
{
    void* block = firstBlock_;
    while (block) {
        void* next = *static_cast<void**>(block);
        ::operator delete(block);
        block = next;
    }
}

void Pool::Grow()
{
    // Room in the lookup tables first, so that a failed allocation leaves
    // the pool as it was.
    if (areas_.size() == areas_.capacity()) {
        areas_.reserve(2 * areas_.size() + 8);
        areasByAddress_.reserve(2 * areas_.size() + 8);
    }
    void* block = ::operator new(static_cast<size_t>(wordsPerBlock_) * 8);
    *static_cast<void**>(block) = nullptr;
    *lastBlockLink_ = block;
    lastBlockLink_ = static_cast<void**>(block);

    // Thread the new records into the free list in address order.
    char* area = RecordArea(block);
    for (int32_t i = 0; i < itemsPerBlock_; ++i) {
        void* next = (i + 1 < itemsPerBlock_) ? area + (i + 1) * recordBytes_ : nullptr;
        *reinterpret_cast<void**>(area + i * recordBytes_) = next;
    }
    freeHead_ = area;

    const std::pair<uintptr_t, long> entry(reinterpret_cast<uintptr_t>(area), blockCount_);
    areas_.push_back(area);
    areasByAddress_.insert(std::upper_bound(areasByAddress_.begin(), areasByAddress_.end(), entry), entry);
    ++blockCount_;
}

void* Pool::Take()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!freeHead_) Grow();
    void* record = freeHead_;
    freeHead_ = *static_cast<void**>(record);
    return record;
}

void Pool::Give(void* record)
{
    std::lock_guard<std::mutex> guard(lock_);
    *static_cast<void**>(record) = freeHead_;
    freeHead_ = record;
}

long Pool::IndexOf(const void* record) const
{
    if (!record) return -1;
    const auto p = reinterpret_cast<uintptr_t>(record);
    // The block whose area starts at or below p is the only one that can hold it.
    auto it = std::upper_bound(areasByAddress_.begin(), areasByAddress_.end(),
                               std::pair<uintptr_t, long>(p, LONG_MAX));
    if (it == areasByAddress_.begin()) return -1;
    --it;
    const uintptr_t start = it->first;
    if (p - start >= static_cast<uintptr_t>(itemsPerBlock_) * recordBytes_) return -1;
    return it->second * itemsPerBlock_ + static_cast<long>((p - start) / recordBytes_);
}

void* Pool::AddressOf(long slot) const
{
    if (slot < 0) return nullptr;
    const long k = slot / itemsPerBlock_;
    if (k >= blockCount_) return nullptr;
    return areas_[k] + (slot % itemsPerBlock_) * recordBytes_;
}

// --- The library's pools and lists -------------------------------------------

namespace {

// Ray-mark arrays come from a chain of blocks of 1024 slots; the rest of a
// block is abandoned when a request does not fit.
constexpr long kRaySlotsPerBlock = 1024;

struct RayNumberBlock {
    RayNumberBlock* next;
    int32_t slots[kRaySlotsPerBlock];
};

struct RayNumberChain {
    RayNumberBlock* head = nullptr;
    RayNumberBlock* tail = nullptr;
    int32_t* cursor = nullptr;     // next free slot
    int32_t* payload = nullptr;    // first slot of the current block
};

// The whole state of this file: created by SetUpPools, gone after ReleasePools.
struct MemoryState {
    TypedPool<VekSurface, 1024>* surfaces = nullptr;
    TypedPool<VekAttribute, 32>* attributes = nullptr;
    TypedPool<_VekLight, 32>* lights = nullptr;
    TypedPool<_VekGeneralLightData, 16>* generalLightData = nullptr;
    TypedPool<_VekMap, 32>* maps = nullptr;
    TypedPool<VekBezierSurface, 256>* bezierSurfaces = nullptr;

    // Bound to their counters from the start, so End before any Initialize
    // finds well-formed empty lists.
    ObjectList<VekSurface> surfaceList{&g_mainStatusTable.surfaceCount};
    ObjectList<VekAttribute> attributeList{&g_mainStatusTable.attributeCount};
    ObjectList<_VekLight> lightList{&g_mainStatusTable.lightCount};
    ObjectList<_VekGeneralLightData> generalLightDataList{&g_mainStatusTable.generalLightDataCount};
    ObjectList<_VekMap> mapList{&g_mainStatusTable.mapCount};
    ObjectList<VekBezierSurface> bezierList{&g_mainStatusTable.bezierSurfaceCount};

    RayNumberChain rayNumbers;
};

MemoryState g_memory;

template <class P>
void EnsurePool(P*& pool)
{
    if (!pool) pool = new P();
}

template <class P>
void DeletePool(P*& pool)
{
    delete pool;
    pool = nullptr;
}

RayNumberBlock* NewRayNumberBlock()
{
    auto* block = static_cast<RayNumberBlock*>(std::malloc(sizeof(RayNumberBlock)));
    if (!block) Fail(VEK_ERROR_MEMORY, "_VekMemory_RaytraceNumber_AllocateBlock");
    block->next = nullptr;
    RayNumberChain& chain = g_memory.rayNumbers;
    if (chain.tail)
        chain.tail->next = block;
    else
        chain.head = block;
    chain.tail = block;
    chain.cursor = chain.payload = block->slots;
    return block;
}

void ReleaseRayNumbers()
{
    RayNumberChain& chain = g_memory.rayNumbers;
    for (RayNumberBlock* block = chain.head; block;) {
        RayNumberBlock* next = block->next;
        std::free(block);
        block = next;
    }
    chain = RayNumberChain();
}

size_t LightBlockBytes(long type)
{
    switch (type) {
    case VEK_LIGHT_POINT: return sizeof(_VekPointLight);
    case VEK_LIGHT_SPOT: return sizeof(_VekSpotLight);
    case VEK_LIGHT_AREA: return sizeof(VekAreaLight);
    case VEK_LIGHT_LINEAR: return sizeof(_VekLinearLight);
    case VEK_LIGHT_DIRECTIONAL: return sizeof(_VekDirectionalLight);
    case VEK_LIGHT_SKY: return sizeof(_VekSkyLight);
    case VEK_LIGHT_GENERAL: return sizeof(_VekGeneralLight);
    case VEK_LIGHT_SHADE_DIRECTIONAL: return sizeof(_VekShadeDirectionalLight);
    default: return 0;
    }
}

}  // namespace

// Records can only be taken between Initialize and End; outside that window
// the pools do not exist and the host gets an error instead of a crash.
template <class P>
P& Require(P* pool, const char* functionName)
{
    if (!pool) Fail(VEK_ERROR_GENERAL, functionName);
    return *pool;
}

void SetUpPools()
{
    MemoryState& m = g_memory;
    EnsurePool(m.surfaces);
    m.surfaceList.Clear();
    EnsurePool(m.attributes);
    m.attributeList.Clear();
    EnsurePool(m.lights);
    m.lightList.Clear();
    EnsurePool(m.generalLightData);
    m.generalLightDataList.Clear();
    EnsurePool(m.maps);
    m.mapList.Clear();
    // A fresh first block. A second Initialize without End leaves the
    // earlier blocks where they are (faces of the earlier scene still point
    // into them) and only moves the cursor on; End releases them all.
    NewRayNumberBlock();
    EnsurePool(m.bezierSurfaces);
    m.bezierList.Clear();
}

void ReleasePools()
{
    MemoryState& m = g_memory;
    DeletePool(m.surfaces);
    m.surfaceList.Clear();
    DeletePool(m.attributes);
    m.attributeList.Clear();
    // Light records go with their pool; their parameter blocks were released
    // by the lights' own release step just before.
    DeletePool(m.lights);
    m.lightList.Clear();
    DeletePool(m.generalLightData);
    m.generalLightDataList.Clear();
    DeletePool(m.maps);
    m.mapList.Clear();
    ReleaseRayNumbers();
    for (VekBezierSurface* b = m.bezierList.head; b; b = b->next) {
        std::free(b->controlPoints);
        std::free(b->triangles);
    }
    DeletePool(m.bezierSurfaces);
    m.bezierList.Clear();
}

VekBezierSurface* BezierList() { return g_memory.bezierList.head; }

void ReleaseSurface(VekSurface* previous, VekSurface* surface)
{
    g_memory.surfaceList.Unlink(previous, surface);
    g_memory.surfaces->Give(surface);
    --g_mainStatusTable.surfaceCount;
}

}  // namespace vek

using vek::g_memory;

VekSurface* VekMemory_AllocateSurface()
{
    VekSurface* s = new (vek::Require(g_memory.surfaces, "VekMemory_AllocateSurface").Take()) VekSurface();
    g_memory.surfaceList.Append(s);
    return s;
}

VekAttribute* VekMemory_AllocateAttribute()
{
    VekAttribute* a = vek::Require(g_memory.attributes, "VekMemory_AllocateAttribute").TakeRecord();
    g_memory.attributeList.Append(a);
    return a;
}

_VekLight* VekMemory_AllocateLight(long type)
{
    _VekLight* light = vek::Require(g_memory.lights, "VekMemory_AllocateLight").TakeRecord();
    size_t bytes = vek::LightBlockBytes(type);
    light->parameters = bytes ? std::malloc(bytes) : nullptr;
    if (bytes && !light->parameters) {
        g_memory.lights->Give(light);
        throw std::bad_alloc();
    }
    g_memory.lightList.Append(light);
    return light;
}

_VekGeneralLightData* VekMemory_AllocateGeneralLightData()
{
    _VekGeneralLightData* d =
        vek::Require(g_memory.generalLightData, "VekMemory_AllocateGeneralLightData").TakeRecord();
    g_memory.generalLightDataList.Append(d);
    return d;
}

_VekMap* VekMemory_AllocateMap()
{
    _VekMap* map = vek::Require(g_memory.maps, "VekMemory_AllocateMap").TakeRecord();
    g_memory.mapList.Append(map);
    return map;
}

VekBezierSurface* VekMemory_AllocateBezierSurface()
{
    VekBezierSurface* b = vek::Require(g_memory.bezierSurfaces, "VekMemory_AllocateBezierSurface").TakeRecord();
    g_memory.bezierList.Append(b);
    return b;
}

VekSurface* VekMemory_GetSurfaceList() { return g_memory.surfaceList.head; }
VekAttribute* VekMemory_GetAttributeList() { return g_memory.attributeList.head; }
_VekLight* VekMemory_GetLightList() { return g_memory.lightList.head; }
_VekGeneralLightData* VekMemory_GetGeneralLightDataList() { return g_memory.generalLightDataList.head; }
_VekMap* VekMemory_GetMapList() { return g_memory.mapList.head; }

// Lookups answer -1 / null also before Initialize and after End.
long VekSurface_GetIndex(VekSurface* s) { return g_memory.surfaces ? g_memory.surfaces->IndexOf(s) : -1; }
VekSurface* VekSurface_GetAddress(long i) { return g_memory.surfaces ? g_memory.surfaces->RecordAt(i) : nullptr; }
long VekAttribute_GetIndex(VekAttribute* a) { return g_memory.attributes ? g_memory.attributes->IndexOf(a) : -1; }
VekAttribute* VekAttribute_GetAddress(long i)
{
    return g_memory.attributes ? g_memory.attributes->RecordAt(i) : nullptr;
}
long VekMap_GetIndex(_VekMap* m) { return g_memory.maps ? g_memory.maps->IndexOf(m) : -1; }
_VekMap* VekMap_GetAddress(long i) { return g_memory.maps ? g_memory.maps->RecordAt(i) : nullptr; }
long VekBezierSurface_GetIndex(VekBezierSurface* b)
{
    return g_memory.bezierSurfaces ? g_memory.bezierSurfaces->IndexOf(b) : -1;
}
VekBezierSurface* VekBezierSurface_GetAddress(long i)
{
    return g_memory.bezierSurfaces ? g_memory.bezierSurfaces->RecordAt(i) : nullptr;
}

int32_t* VekMainMemory_AllocateRaytraceNumber(long n)
{
    vek::RayNumberChain& chain = g_memory.rayNumbers;
    if (!chain.head) vek::Fail(VEK_ERROR_GENERAL, "VekMainMemory_AllocateRaytraceNumber");
    // One request must fit one block; a larger or negative one is refused
    // as a failed allocation rather than overrunning the block.
    if (n < 0 || n > vek::kRaySlotsPerBlock) vek::Fail(VEK_ERROR_MEMORY, "_VekMemory_RaytraceNumber_AllocateBlock");
    if (!chain.cursor || chain.cursor + n > chain.payload + vek::kRaySlotsPerBlock) vek::NewRayNumberBlock();
    int32_t* slots = chain.cursor;
    chain.cursor += n;
    return slots;
}
