// file_reader.h - random-access reads from a file whose content is not
// trusted. Built on the standard C++ streams, so it is no platform code.
//
// Only regular files open: a directory, a device or a pipe answers nothing
// (a pipe could block forever, a device could be endless). A path without a
// directory opens relative to the working directory. Every read names its
// range, which must lie wholly inside the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <vector>

namespace vek {

class FileReader {
public:
    // Largest single read: more than any header table or version block a
    // well-formed file needs, so a hostile length cannot make us allocate
    // the size of a huge file.
    static constexpr uint64_t kMaxRead = uint64_t(8) << 20;

    bool Open(const char* path);
    uint64_t size() const { return size_; }

    // out = the length bytes at offset; false when the range leaves the file,
    // exceeds kMaxRead, or the read comes short (the file changed under us).
    bool Read(uint64_t offset, uint64_t length, std::vector<uint8_t>& out);

private:
    std::ifstream stream_;
    uint64_t size_ = 0;
};

}  // namespace vek
