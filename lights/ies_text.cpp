// ies_text.cpp - lines and numbers of IES text (see ies_text.h).
#include "lights/ies_text.h"

namespace vek {
namespace {

constexpr int kEnd = IesTokenizer::kEnd;
// The end-of-file mark of DOS editors; whatever follows it is not text.
constexpr int kCtrlZ = 0x1A;
constexpr int kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// Between two numbers: white space as the C locale has it, or a comma.
inline bool IsSeparator(int c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == ','; }

}  // namespace

IesText::IesText(IesTokenizer& in) : in_(in)
{
    int taken[3];
    int n = 0;
    while (n < 3 && (taken[n] = in_.Get()) == kByteOrderMark[n]) ++n;
    if (n == 3) return;
    // Not a mark: what was taken is given back, last first.
    for (int k = n; k >= 0; --k) in_.Unget(taken[k]);
}

int IesText::Get()
{
    if (ended_) return kEnd;
    int c = in_.Get();
    if (c == kEnd || c == kCtrlZ) {
        ended_ = true;
        return kEnd;
    }
    if (c == '\r') {
        // CR LF is one line end, and a lone CR is one too.
        const int next = in_.Get();
        if (next != '\n') in_.Unget(next);
        c = '\n';
    }
    if (c == '\n')
        ++next_;
    else
        lastLine_ = next_;
    return c;
}

bool IesText::ReadLine(Line& kept)
{
    itemLine_ = next_;
    int c = Get();
    if (c == kEnd) return false;
    int length = 0;
    while (c != '\n' && c != kEnd) {
        if (length < kLineKept - 1) kept[length++] = static_cast<char>(c);
        c = Get();
    }
    kept[length] = '\0';
    return true;
}

IesText::Read IesText::ReadToken(Token& token, int& length)
{
    int c;
    do {
        c = Get();
    } while (IsSeparator(c));
    if (c == kEnd) return Read::kEnd;
    itemLine_ = lastLine_;
    length = 0;
    // A token may end at the end of the text: the last number of a file
    // without a final line end is complete.
    while (c != kEnd && !IsSeparator(c)) {
        if (length == IesTokenizer::kTokenCapacity - 1) return Read::kTooLong;
        token[length++] = static_cast<char>(c);
        c = Get();
    }
    token[length] = '\0';
    return Read::kToken;
}

}  // namespace vek
