// input_error.h - the one exception for unusable input files: its message
// names the file, the line (when one is known) and the cause, as a
// compiler does ("room.json:12: ...").
#pragma once

#include <stdexcept>
#include <string>

namespace example {

class InputError : public std::runtime_error {
public:
    // line 0: the file as a whole.
    InputError(const std::string& file, int line, const std::string& cause)
        : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + cause)
    {
    }
};

}  // namespace example
