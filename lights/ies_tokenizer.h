// ies_tokenizer.h - characters, white space, tokens and lines of IES text,
// from a file or from a host's stream, with a push-back stack.
//
// One tokenizer serves one read; reads never share state. Every read is
// bounded: a source that never ends (a stream that never sends its end
// byte, an endless device) is cut off after kMaxInputBytes characters and
// the read fails.
#pragma once

#include <cstdint>
#include <cstdio>

class stream_interface;

namespace vek {

class IesTokenizer {
public:
    static constexpr int kEnd = -1;                // what Get answers at end of input
    static constexpr int kTokenCapacity = 256;     // 255 characters and the terminator
    // The largest accepted table (kMaxGridPoints values) still fits when
    // written with 30 characters per value, several times what real files
    // spend.
    static constexpr int64_t kMaxInputBytes = int64_t{32} << 20;

    explicit IesTokenizer(std::FILE* file) : file_(file) {}
    explicit IesTokenizer(stream_interface* stream) : stream_(stream) {}

    // The next character (0..255), or kEnd.
    int Get();
    // Gives c back; Get returns it next. kEnd is not given back: the end of
    // input stays the end.
    void Unget(int c);
    // Consumes space, tab, line feed, vertical tab, form feed and carriage
    // return.
    void SkipWhiteSpace();
    // Skips white space and reads the characters up to the next white space
    // or the end of input into token (terminated). Returns the token's
    // length (a NUL byte inside it counts), or -1 when the input ends before
    // a token starts or the token is longer than 255 characters.
    int ReadToken(char (&token)[kTokenCapacity]);
    // Skips white space and consumes the rest of the line through its line
    // feed or carriage return. Lines are never interpreted, so nothing is
    // kept and their length is not limited. False when the input ends first.
    bool ReadLine();
    // True when the source was cut off at kMaxInputBytes.
    bool Exhausted() const { return exhausted_; }

private:
    int ReadRaw();

    std::FILE* file_ = nullptr;
    stream_interface* stream_ = nullptr;
    unsigned char pushBack_[256];
    int top_ = 0;
    int64_t consumed_ = 0;
    bool ended_ = false;
    bool exhausted_ = false;
};

}  // namespace vek
