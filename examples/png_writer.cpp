// png_writer.cpp - a minimal PNG encoder.
//
// A PNG file is a signature and a sequence of chunks (length, type, data,
// CRC-32 of type and data): IHDR with the size and pixel format, IDAT with
// the zlib stream of the filtered rows, IEND. The rows are not filtered
// (filter byte 0) and not compressed: the zlib stream holds "stored" deflate
// blocks of up to 65535 bytes, closed by the Adler-32 checksum. The files
// are larger than a compressing encoder's, and every PNG reader takes them.
#include "png_writer.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace example {
namespace {

using Bytes = std::vector<uint8_t>;

// Largest payload of one stored deflate block (its length is 16 bits).
constexpr size_t kStoredBlockLimit = 65535;

void PutBigEndian32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// CRC-32 with the polynomial 0xEDB88320 (reflected), table driven.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// Adler-32: two running sums modulo 65521, reduced often enough that
// neither can overflow 32 bits.
uint32_t Adler32(const uint8_t* data, size_t size)
{
    constexpr uint32_t kModulus = 65521;
    constexpr size_t kRun = 5552;  // largest run that cannot overflow before reduction
    uint32_t a = 1, b = 0;
    while (size > 0) {
        size_t run = size < kRun ? size : kRun;
        size -= run;
        for (size_t i = 0; i < run; ++i) {
            a += *data++;
            b += a;
        }
        a %= kModulus;
        b %= kModulus;
    }
    return (b << 16) | a;
}

void PutChunk(Bytes& file, const char type[4], const Bytes& data)
{
    PutBigEndian32(file, static_cast<uint32_t>(data.size()));
    size_t typeAt = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    PutBigEndian32(file, Crc32(&file[typeAt], 4 + data.size()));
}

// The rows, each behind its filter byte 0, as a zlib stream of stored blocks.
Bytes ZlibStoredStream(const Image& image)
{
    size_t rowBytes = static_cast<size_t>(image.Width()) * 3;
    Bytes raw;
    raw.reserve((rowBytes + 1) * image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.Row(y), image.Row(y) + rowBytes);
    }

    Bytes z = {0x78, 0x01};  // deflate, 32 KiB window, no preset dictionary; 0x7801 % 31 == 0
    size_t at = 0;
    do {
        size_t length = raw.size() - at < kStoredBlockLimit ? raw.size() - at : kStoredBlockLimit;
        bool last = at + length == raw.size();
        z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
        z.push_back(static_cast<uint8_t>(length));
        z.push_back(static_cast<uint8_t>(length >> 8));
        z.push_back(static_cast<uint8_t>(~length));
        z.push_back(static_cast<uint8_t>(~length >> 8));
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + length);
        at += length;
    } while (at < raw.size());
    PutBigEndian32(z, Adler32(raw.data(), raw.size()));
    return z;
}

}  // namespace

bool WritePng(const std::string& path, const Image& image, std::string& error)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes file(kSignature, kSignature + 8);

    Bytes header;
    PutBigEndian32(header, static_cast<uint32_t>(image.Width()));
    PutBigEndian32(header, static_cast<uint32_t>(image.Height()));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter method, no interlace
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", ZlibStoredStream(image));
    PutChunk(file, "IEND", Bytes());

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace example
