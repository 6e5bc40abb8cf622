// text_statements.h - the statements of a line-oriented text file (OBJ,
// MTL): keyword and arguments with their line number, and the number checks
// that tinyobjloader leaves to its caller (it reads "v 1 x 2" as a vertex
// at y = 0 and says nothing).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace example {

struct Statement {
    int line;
    std::string keyword;
    std::vector<std::string> arguments;
};

// Calls visit for each statement of text in order: white space (spaces,
// tabs, CR) separates words, '#' starts a comment, a backslash at the end
// of a line continues it (the statement keeps its first line's number).
void ForEachStatement(const std::string& text, const std::function<void(const Statement&)>& visit);

// A whole finite decimal number.
bool ParseNumber(const std::string& word, double& value);

// Throws InputError (file, the statement's line, what was expected) unless
// the statement has between least and most arguments and every one is a
// finite number.
void RequireNumbers(const std::string& file, const Statement& statement, size_t least, size_t most);

}  // namespace example
