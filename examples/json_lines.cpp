// json_lines.cpp - two passes over the text: nlohmann's parser builds the
// value, and a SAX pass over the same text notes the JSON pointer and line
// of every value. The SAX pass reads through an iterator that counts the
// lines it passes; at each SAX event the last character read that is not
// white space belongs to the value's token (or to the separator after a
// number), so its line is the value's.
#include "json_lines.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "input_error.h"

namespace example {
namespace {

using nlohmann::json;

// Where the line count lives while the parser copies iterators around.
struct LineCount {
    int line = 1;
    int tokenLine = 1;  // line of the last character read that is not white space
};

class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, LineCount* count) : at_(at), count_(count) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++()
    {
        char c = *at_++;
        if (c == '\n')
            ++count_->line;
        else if (c != ' ' && c != '\t' && c != '\r')
            count_->tokenLine = count_->line;
        return *this;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    LineCount* count_;
};

// Notes the pointer and line of each value as the parser meets it.
class LineRecorder : public nlohmann::json_sax<json> {
public:
    LineRecorder(const LineCount& count, std::map<std::string, int>& lines) : count_(count), lines_(lines) {}

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t) override { return Scalar(); }
    bool number_unsigned(number_unsigned_t) override { return Scalar(); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool string(string_t&) override { return Scalar(); }
    bool binary(binary_t&) override { return Scalar(); }
    bool start_object(std::size_t) override { return Open(false); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override
    {
        levels_.back().key = name;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Level {
        bool array;
        size_t index;
        std::string key;
    };

    std::string Pointer() const
    {
        std::string pointer;
        for (const Level& level : levels_) {
            pointer += '/';
            if (level.array) {
                pointer += std::to_string(level.index);
                continue;
            }
            for (char c : level.key) pointer += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
        }
        return pointer;
    }
    void Note() { lines_.emplace(Pointer(), count_.tokenLine); }
    void Advance()
    {
        if (!levels_.empty() && levels_.back().array) ++levels_.back().index;
    }
    bool Scalar()
    {
        Note();
        Advance();
        return true;
    }
    bool Open(bool array)
    {
        Note();
        levels_.push_back(Level{array, 0, {}});
        return true;
    }
    bool Close()
    {
        levels_.pop_back();
        Advance();
        return true;
    }

    const LineCount& count_;
    std::map<std::string, int>& lines_;
    std::vector<Level> levels_;
};

}  // namespace

int JsonDocument::LineOf(std::string pointer) const
{
    for (;;) {
        auto found = lines.find(pointer);
        if (found != lines.end()) return found->second;
        if (pointer.empty()) return 0;
        pointer.erase(pointer.rfind('/'));
    }
}

JsonDocument ReadJsonFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError(path, 0, "cannot be read");
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();

    JsonDocument document;
    document.path = path;
    try {
        document.root = json::parse(text, nullptr, true, /*ignore_comments=*/true);
    } catch (const json::parse_error& error) {
        // The parser's message ends with its own account of the place and
        // cause ("...at line 3, column 7: syntax error ..."); keep the cause.
        std::string cause = error.what();
        size_t colon = cause.find(": ", cause.find("line"));
        int line = 1;
        for (size_t i = 0; i < error.byte && i < text.size(); ++i)
            if (text[i] == '\n') ++line;
        throw InputError(path, line, colon == std::string::npos ? cause : cause.substr(colon + 2));
    }

    LineCount count;
    LineRecorder recorder(count, document.lines);
    json::sax_parse(CountingIterator(text.data(), &count), CountingIterator(text.data() + text.size(), &count),
                    &recorder, nlohmann::detail::input_format_t::json, true, true);
    return document;
}

}  // namespace example
