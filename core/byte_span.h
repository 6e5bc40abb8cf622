// byte_span.h - a read-only view of untrusted bytes with little-endian reads
// that check their bounds: a read that would pass the end answers false and
// touches nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "core/checked.h"

namespace vek {

class ByteSpan {
public:
    ByteSpan() = default;
    ByteSpan(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    explicit ByteSpan(const std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}

    uint64_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the view.
    bool Contains(uint64_t offset, uint64_t length) const
    {
        uint64_t end;
        return CheckedAdd(offset, length, end) && end <= size_;
    }

    bool U8(uint64_t offset, uint8_t& out) const { return Read(offset, 1, out); }
    bool U16(uint64_t offset, uint16_t& out) const { return Read(offset, 2, out); }
    bool U32(uint64_t offset, uint32_t& out) const { return Read(offset, 4, out); }
    bool U64(uint64_t offset, uint64_t& out) const { return Read(offset, 8, out); }

private:
    template <class T>
    bool Read(uint64_t offset, int bytes, T& out) const
    {
        if (!Contains(offset, static_cast<uint64_t>(bytes))) return false;
        T value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = static_cast<T>((value << 8) | data_[offset + i]);
        out = value;
        return true;
    }

    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};

}  // namespace vek
