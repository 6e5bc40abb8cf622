// text_statements.cpp - splitting into statements and checking numbers.
#include "text_statements.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "input_error.h"

namespace example {

void ForEachStatement(const std::string& text, const std::function<void(const Statement&)>& visit)
{
    Statement statement{0, {}, {}};
    std::string word;
    int line = 1;
    bool inComment = false;
    auto endWord = [&] {
        if (word.empty()) return;
        if (statement.keyword.empty())
            statement.keyword = word;
        else
            statement.arguments.push_back(word);
        word.clear();
    };
    auto endStatement = [&] {
        endWord();
        if (!statement.keyword.empty()) visit(statement);
        statement = Statement{0, {}, {}};
        inComment = false;
    };

    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            bool continued = !inComment && !word.empty() && word.back() == '\\';
            if (continued) word.pop_back();
            ++line;
            if (!continued) endStatement();
            continue;
        }
        if (inComment) continue;
        if (c == '#') {
            endWord();
            inComment = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            endWord();
        } else {
            if (statement.line == 0) statement.line = line;
            word += c;
        }
    }
    endStatement();
}

bool ParseNumber(const std::string& word, double& value)
{
    if (word.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(word.c_str(), &end);
    return errno != ERANGE && *end == '\0' && std::isfinite(value);
}

void RequireNumbers(const std::string& file, const Statement& statement, size_t least, size_t most)
{
    const size_t count = statement.arguments.size();
    std::string expected = least == most ? std::to_string(least) : std::to_string(least) + " to " + std::to_string(most);
    if (count < least || count > most)
        throw InputError(file, statement.line,
                         "'" + statement.keyword + "' takes " + expected + " numbers, found " + std::to_string(count));
    for (const std::string& word : statement.arguments) {
        double value;
        if (!ParseNumber(word, value))
            throw InputError(file, statement.line,
                             "'" + statement.keyword + "': '" + word + "' is not a finite number");
    }
}

}  // namespace example
