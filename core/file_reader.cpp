// file_reader.cpp - bounded reads from a regular file (see file_reader.h).
#include "core/file_reader.h"

#include <filesystem>
#include <system_error>

#include "core/checked.h"

namespace vek {

bool FileReader::Open(const char* path)
{
    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::is_regular_file(file, error) || error) return false;
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return false;
    stream_.open(file, std::ios::in | std::ios::binary);
    if (!stream_.is_open()) return false;
    size_ = static_cast<uint64_t>(size);
    return true;
}

bool FileReader::Read(uint64_t offset, uint64_t length, std::vector<uint8_t>& out)
{
    uint64_t end;
    if (!stream_.is_open() || length > kMaxRead || !CheckedAdd(offset, length, end) || end > size_) return false;
    out.resize(static_cast<size_t>(length));
    if (length == 0) return true;
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(length));
    return stream_.gcount() == static_cast<std::streamsize>(length);
}

}  // namespace vek
