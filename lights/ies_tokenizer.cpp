// ies_tokenizer.cpp - the character layer of the IES reader.
#include "lights/ies_tokenizer.h"

#include <cassert>

#include "VekLight.h"

namespace vek {
namespace {

// The stream's end-of-data byte.
constexpr unsigned char kStreamEnd = 0xFF;

// White space as the C locale has it, independent of the host's locale.
inline bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int IesTokenizer::ReadRaw()
{
    if (ended_) return kEnd;
    if (++consumed_ > kMaxInputBytes) {
        ended_ = exhausted_ = true;
        return kEnd;
    }
    if (file_) {
        // A file ends at its end only: a 0xFF byte inside it is an ordinary
        // character (it may stand in a keyword line's text).
        const int c = std::fgetc(file_);
        if (c == EOF) ended_ = true;
        return ended_ ? kEnd : c;
    }
    // A stream that writes nothing has nothing more to say.
    char buffer = static_cast<char>(kStreamEnd);
    stream_->read(&buffer, 0);
    const auto c = static_cast<unsigned char>(buffer);
    if (c == kStreamEnd) {
        ended_ = true;  // the stream is not asked again after its end
        return kEnd;
    }
    return c;
}

int IesTokenizer::Get()
{
    if (top_ > 0) return pushBack_[--top_];
    return ReadRaw();
}

void IesTokenizer::Unget(int c)
{
    if (c == kEnd) return;
    // The reader gives back at most one character in a row.
    assert(top_ < static_cast<int>(sizeof pushBack_));
    if (top_ < static_cast<int>(sizeof pushBack_)) pushBack_[top_++] = static_cast<unsigned char>(c);
}

void IesTokenizer::SkipWhiteSpace()
{
    int c;
    do {
        c = Get();
    } while (IsSpace(c));
    Unget(c);
}

int IesTokenizer::ReadToken(char (&token)[kTokenCapacity])
{
    SkipWhiteSpace();
    int c = Get();
    if (c == kEnd) return -1;
    int length = 0;
    // A token may end at the end of input: the last number of a file
    // without a final line end is complete.
    while (c != kEnd && !IsSpace(c)) {
        if (length == kTokenCapacity - 1) return -1;
        token[length++] = static_cast<char>(c);
        c = Get();
    }
    Unget(c);
    token[length] = '\0';
    return length;
}

bool IesTokenizer::ReadLine()
{
    SkipWhiteSpace();
    for (;;) {
        const int c = Get();
        if (c == kEnd) return false;
        // A carriage return ends the line; a line feed behind it is white
        // space for whatever reads next.
        if (c == '\n' || c == '\r') return true;
    }
}

}  // namespace vek
