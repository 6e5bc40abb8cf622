// pool.h - the object pool: fixed-size records handed out from large blocks
// that never move, with a free list threaded through the records' first
// machine word. One pool per record kind; a slot number is the record's
// position in the block chain (block k holds slots k * itemsPerBlock ...).
//
// Slot and address lookups answer as a walk of the block chain would, in
// logarithmic and constant time. The lock guards only the free list and block growth; appending to the
// kind's list and counting happen outside it (scene building is
// single-threaded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace vek {

class Pool {
public:
    Pool(int32_t itemsPerBlock, size_t recordBytes);
    ~Pool();  // releases every block
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    // A record's storage (unconstructed). Grows the chain by one block when
    // the free list is empty; the standard allocator's exception propagates.
    void* Take();
    // Returns a record to the free list; its slot is handed out again.
    void Give(void* record);

    // Slot number of a record, -1 when it lies in no block.
    long IndexOf(const void* record) const;
    // Storage of a slot, null when the slot is beyond the chain.
    void* AddressOf(long slot) const;

    int32_t itemsPerBlock() const { return itemsPerBlock_; }

private:
    void Grow();
    char* RecordArea(void* block) const { return static_cast<char*>(block) + sizeof(void*); }

    void* freeHead_ = nullptr;
    void* firstBlock_ = nullptr;
    void** lastBlockLink_ = &firstBlock_;
    int32_t itemsPerBlock_;
    int32_t wordsPerBlock_;     // 1 (the link) + itemsPerBlock x record words
    int32_t blockCount_ = 0;
    size_t recordBytes_;        // rounded up to whole 8-byte words
    std::mutex lock_;
    // Lookups index these instead of walking the chain, so that slot and
    // address queries stay cheap however many blocks a pool grows: record
    // areas in chain order, and (area start, block number) sorted by address.
    std::vector<char*> areas_;
    std::vector<std::pair<uintptr_t, long>> areasByAddress_;
};

// A pool typed by its record kind.
template <class T, int32_t ItemsPerBlock>
class TypedPool : public Pool {
public:
    TypedPool() : Pool(ItemsPerBlock, sizeof(T)) {}
    T* TakeRecord() { return static_cast<T*>(Take()); }
    T* RecordAt(long slot) const { return static_cast<T*>(AddressOf(slot)); }
};

// A kind's list in creation order: records link through their next field,
// tail is where the next record is written, counter is the kind's counter
// in g_mainStatusTable.
template <class T>
struct ObjectList {
    constexpr explicit ObjectList(int32_t* kindCounter) : counter(kindCounter) {}
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;

    T* head = nullptr;
    T** tail = &head;
    int32_t* const counter;

    void Clear()
    {
        head = nullptr;
        tail = &head;
        *counter = 0;
    }
    void Append(T* record)
    {
        record->next = nullptr;
        *tail = record;
        tail = &record->next;
        ++*counter;
    }
    // Unlinks record, which follows previous (null: record is the head).
    // The counter is not changed: the caller decides what the record becomes.
    void Unlink(T* previous, T* record)
    {
        T** link = previous ? &previous->next : &head;
        *link = record->next;
        if (tail == &record->next) tail = link;
    }
};

}  // namespace vek
