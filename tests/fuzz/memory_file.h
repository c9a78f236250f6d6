#pragma once
// Fuzz input as a file the loader can open by name: a memfd, reached through
// /proc/self/fd, so no run touches the disk or leaves anything behind.
#include <cstddef>
#include <cstdint>
#include <string>

class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const char* path() const { return path_.c_str(); }

private:
    int fd_ = -1;
    std::string path_;
};
