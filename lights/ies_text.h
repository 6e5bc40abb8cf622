// ies_text.h - the text of a photometric file of any IES edition, as
// numbered lines and as numbers, over the IES character layer.
//
// Lines end with LF, CR or CR LF and are counted from 1, so that the reader
// can say where it stopped. A UTF-8 byte order mark before the first line is
// skipped; a Ctrl-Z (the end-of-file mark that DOS editors append) ends the
// text. Numbers are separated by white space or commas, on any line. Only
// what the caller asks for is kept: the first characters of a line, one
// token; the rest of a line of any length is consumed.
#pragma once

#include <cstdint>

#include "lights/ies_tokenizer.h"

namespace vek {

class IesText {
public:
    // A line's first 255 characters and the terminator: more than an
    // edition line or a TILT= line needs to be recognised.
    static constexpr int kLineKept = 256;
    using Line = char[kLineKept];
    using Token = char[IesTokenizer::kTokenCapacity];

    enum class Read { kToken, kEnd, kTooLong };

    // Skips a byte order mark at the start of in.
    explicit IesText(IesTokenizer& in);

    // Consumes the rest of the current line through its end and keeps its
    // first characters in kept (terminated). False when the text had
    // already ended.
    bool ReadLine(Line& kept);

    // Skips separators and reads the next token into token (terminated) and
    // its length (a NUL byte inside counts): kToken, kEnd when the text ends
    // first, kTooLong for a token beyond 255 characters.
    Read ReadToken(Token& token, int& length);

    // Where the last line or token read began, or the last line that held
    // anything once the text has ended.
    int64_t line() const { return ended_ ? lastLine_ : itemLine_; }

    // True when the source was cut off at the character layer's bound.
    bool Exhausted() const { return in_.Exhausted(); }

private:
    // The next character with every line end as '\n', or kEnd.
    int Get();

    IesTokenizer& in_;
    int64_t next_ = 1;        // line of the next character
    int64_t lastLine_ = 1;    // line of the last character that was not a line end
    int64_t itemLine_ = 1;    // line where the last line or token read began
    bool ended_ = false;
};

}  // namespace vek
