// version_record.h - the version record that each of our shared objects
// carries, so that VekMain_GetVersionInfo answers for them as it does for a
// PE file.
//
// The record is a VS_VERSIONINFO block, byte for byte the format of a PE
// version resource (one reader serves both), placed in the ELF section
// VEK_VERSION_SECTION. It is encoded at compile time from the numbers that
// cmake/VekVersionRecord.cmake writes into each module's generated source;
// no module builds it at run time.
//
// Block layout: every node is u16 length (with its children, without its
// trailing padding), u16 value length, u16 type (1 text, 0 binary), its
// UTF-16 key with NUL, padding to a 4-byte boundary, its value, padding, and
// its children, each starting on a 4-byte boundary of the block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The ELF section that holds the record (a string literal, as the section
// attribute needs one).
#define VEK_VERSION_SECTION ".vek_version"

namespace vek {
namespace version_record {

// What a module states about itself.
struct Fields {
    uint16_t major, minor, patch, build;
    const char16_t* productName;
    const char16_t* description;
    const char16_t* internalName;
    const char16_t* productVersion;  // "MAJOR, MINOR, PATCH, BUILD"
};

// US English, Unicode: the pair that Translation names and the string
// table's key spells.
constexpr uint16_t kLanguage = 0x0409;
constexpr uint16_t kCodePage = 0x04B0;

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint16_t kFixedInfoBytes = 52;
constexpr uint32_t kFileTypeDll = 2;

constexpr size_t Units(const char16_t* text)
{
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Counts the bytes an encoding produces.
struct MeasureSink {
    size_t pos = 0;
    constexpr void Put(uint8_t) { ++pos; }
    constexpr void Patch16(size_t, uint16_t) {}
};

// Writes the bytes of an encoding of known size.
template <size_t N>
struct ArraySink {
    std::array<uint8_t, N> bytes{};
    size_t pos = 0;
    constexpr void Put(uint8_t b) { bytes[pos++] = b; }
    constexpr void Patch16(size_t at, uint16_t v)
    {
        bytes[at] = static_cast<uint8_t>(v & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    }
};

template <class Sink>
class Encoder {
public:
    constexpr explicit Encoder(Sink& sink) : out_(sink) {}

    constexpr void U16(uint16_t v)
    {
        out_.Put(static_cast<uint8_t>(v & 0xFF));
        out_.Put(static_cast<uint8_t>(v >> 8));
    }
    constexpr void U32(uint32_t v)
    {
        U16(static_cast<uint16_t>(v & 0xFFFF));
        U16(static_cast<uint16_t>(v >> 16));
    }
    constexpr void Text(const char16_t* text)
    {
        for (size_t i = 0; text[i]; ++i) U16(static_cast<uint16_t>(text[i]));
        U16(0);
    }
    constexpr void Align()
    {
        while (out_.pos % 4) out_.Put(0);
    }

    // Opens a node on the next 4-byte boundary: header with its length left
    // to End, key, padding. Returns where the node starts.
    constexpr size_t Begin(const char16_t* key, uint16_t valueLength, uint16_t type)
    {
        Align();
        const size_t start = out_.pos;
        U16(0);
        U16(valueLength);
        U16(type);
        Text(key);
        Align();
        return start;
    }
    constexpr void End(size_t start) { out_.Patch16(start, static_cast<uint16_t>(out_.pos - start)); }

    // A String node: its value length counts UTF-16 units, NUL included.
    constexpr void String(const char16_t* key, const char16_t* value)
    {
        const size_t start = Begin(key, static_cast<uint16_t>(Units(value) + 1), 1);
        Text(value);
        End(start);
    }

private:
    Sink& out_;
};

template <class Sink>
constexpr void Encode(Sink& sink, const Fields& f)
{
    Encoder<Sink> e(sink);
    const uint32_t versionHigh = (uint32_t(f.major) << 16) | f.minor;
    const uint32_t versionLow = (uint32_t(f.patch) << 16) | f.build;

    const size_t root = e.Begin(u"VS_VERSION_INFO", kFixedInfoBytes, 0);
    // VS_FIXEDFILEINFO: signature, structure version, file and product
    // versions, flag mask, flags, OS, type, subtype, date.
    const uint32_t fixed[13] = {kFixedInfoSignature, 0x00010000, versionHigh, versionLow, versionHigh, versionLow,
                                0x3F, 0, 0, kFileTypeDll, 0, 0, 0};
    for (uint32_t word : fixed) e.U32(word);

    const size_t stringInfo = e.Begin(u"StringFileInfo", 0, 1);
    const size_t table = e.Begin(u"040904B0", 0, 1);
    e.String(u"FileDescription", f.description);
    e.String(u"FileVersion", f.productVersion);
    e.String(u"InternalName", f.internalName);
    e.String(u"ProductName", f.productName);
    e.String(u"ProductVersion", f.productVersion);
    e.End(table);
    e.End(stringInfo);

    const size_t varInfo = e.Begin(u"VarFileInfo", 0, 1);
    const size_t translation = e.Begin(u"Translation", 4, 0);
    e.U16(kLanguage);
    e.U16(kCodePage);
    e.End(translation);
    e.End(varInfo);
    e.End(root);
}

constexpr size_t EncodedSize(const Fields& f)
{
    MeasureSink sink;
    Encode(sink, f);
    return sink.pos;
}

template <size_t N>
constexpr std::array<uint8_t, N> EncodeRecord(const Fields& f)
{
    ArraySink<N> sink;
    Encode(sink, f);
    return sink.bytes;
}

}  // namespace version_record
}  // namespace vek
