// version_block.cpp - walks a VS_VERSIONINFO block the way the version query
// asks it: the root, then VarFileInfo\Translation for the language and code
// page, then StringFileInfo\<table>\ProductVersion.
//
// Every node: u16 length (with children, without trailing padding), u16
// value length, u16 type, UTF-16 key with NUL, padding to a 4-byte boundary
// of the block, value, padding, then the children, each on a 4-byte
// boundary. The type word is not trusted (some compilers write 0 on
// containers); the value length counts bytes except in String nodes, whose
// value is read up to its NUL instead. A node shorter than its header, or
// running past its parent, ends the walk; as every node is at least 6 bytes
// long, the walk always moves forward and cannot loop.
#include "core/version_block.h"

#include <cstdio>

namespace vek {
namespace {

constexpr uint64_t kHeaderBytes = 6;

uint64_t Align4(uint64_t offset) { return (offset + 3) & ~uint64_t(3); }

char16_t FoldAscii(char16_t unit) { return (unit >= u'a' && unit <= u'z') ? char16_t(unit - 32) : unit; }

struct Node {
    uint64_t start = 0;
    uint64_t end = 0;          // start + length
    uint16_t valueLength = 0;
    uint64_t keyStart = 0;
    uint64_t keyUnits = 0;     // without the NUL
    uint64_t valueStart = 0;   // after the key's padding; may lie at or past end
};

class Walker {
public:
    explicit Walker(const ByteSpan& block) : block_(block) {}

    // The node at start, which must lie inside [start, limit).
    bool ReadNode(uint64_t start, uint64_t limit, Node& node) const
    {
        uint16_t length;
        if (!block_.U16(start, length) || length < kHeaderBytes) return false;
        if (start + length > limit || !block_.Contains(start, length)) return false;
        node.start = start;
        node.end = start + length;
        if (!block_.U16(start + 2, node.valueLength)) return false;
        // The key must end, NUL included, inside the node.
        node.keyStart = start + kHeaderBytes;
        uint64_t at = node.keyStart;
        for (uint16_t unit = 1;; at += 2) {
            if (at + 2 > node.end || !block_.U16(at, unit)) return false;
            if (unit == 0) break;
        }
        node.keyUnits = (at - node.keyStart) / 2;
        node.valueStart = Align4(at + 2);
        return true;
    }

    // The node's key equals key (ASCII), upper and lower case alike when
    // ignoreCase is set.
    bool KeyIs(const Node& node, const char* key, bool ignoreCase) const
    {
        uint64_t i = 0;
        for (; key[i]; ++i) {
            uint16_t unit;
            if (i >= node.keyUnits || !block_.U16(node.keyStart + 2 * i, unit)) return false;
            char16_t a = unit, b = static_cast<unsigned char>(key[i]);
            if (ignoreCase) {
                a = FoldAscii(a);
                b = FoldAscii(b);
            }
            if (a != b) return false;
        }
        return i == node.keyUnits;
    }

    // The first child of parent keyed key (ignoring case, as the system's
    // value paths are matched). The parent's value is counted in bytes.
    bool FindChild(const Node& parent, const char* key, Node& child) const
    {
        for (uint64_t at = Align4(parent.valueStart + parent.valueLength); at < parent.end;
             at = Align4(child.end)) {
            if (!ReadNode(at, parent.end, child)) return false;
            if (KeyIs(child, key, true)) return true;
        }
        return false;
    }

    uint16_t UnitAt(uint64_t offset) const
    {
        uint16_t unit = 0;
        block_.U16(offset, unit);
        return unit;
    }

private:
    const ByteSpan& block_;
};

}  // namespace

bool ReadProductVersion(const ByteSpan& block, std::string& productVersion)
{
    Walker walker(block);

    // 1. The root: a VS_VERSION_INFO node that fits in the block.
    Node root;
    if (!walker.ReadNode(0, block.size(), root) || !walker.KeyIs(root, "VS_VERSION_INFO", false)) return false;

    // 2. VarFileInfo\Translation: the first (language, code page) pair, low
    //    word first, formatted as the string table's key.
    Node varInfo, translation;
    if (!walker.FindChild(root, "VarFileInfo", varInfo) || !walker.FindChild(varInfo, "Translation", translation))
        return false;
    if (translation.valueLength < 4 || translation.valueStart + 4 > translation.end) return false;
    char tableKey[9];
    std::snprintf(tableKey, sizeof tableKey, "%04x%04x", walker.UnitAt(translation.valueStart),
                  walker.UnitAt(translation.valueStart + 2));

    // 3. StringFileInfo\<tableKey>\ProductVersion.
    Node stringInfo, table, product;
    if (!walker.FindChild(root, "StringFileInfo", stringInfo) || !walker.FindChild(stringInfo, tableKey, table) ||
        !walker.FindChild(table, "ProductVersion", product))
        return false;

    // 4. The value up to its NUL or the node's end, whichever comes first;
    //    only ASCII is kept as it is (digits, commas, dots and blanks matter).
    productVersion.clear();
    for (uint64_t at = product.valueStart; at + 2 <= product.end; at += 2) {
        const uint16_t unit = walker.UnitAt(at);
        if (unit == 0) break;
        productVersion.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return true;
}

}  // namespace vek
