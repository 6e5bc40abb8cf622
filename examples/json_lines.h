// json_lines.h - a JSON file read whole, with the line on which each value
// starts, so that a value that parses but makes no sense can still be
// reported at its line. Comments (// and /* */) are allowed.
#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace example {

struct JsonDocument {
    std::string path;
    nlohmann::json root;
    std::map<std::string, int> lines;  // JSON pointer ("/grids/0/height") to line

    // The line of the value at pointer, else of its nearest enclosing value.
    int LineOf(std::string pointer) const;
};

// Reads path; throws InputError with the line and the parser's cause for
// text that is not JSON, and for a file that cannot be read.
JsonDocument ReadJsonFile(const std::string& path);

}  // namespace example
