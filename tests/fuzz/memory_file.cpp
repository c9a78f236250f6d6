#include "memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

MemoryFile::MemoryFile(const std::uint8_t* data, std::size_t size) {
    fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd_ < 0) {
        // Without a file every input would be skipped and the run would prove nothing.
        std::perror("memfd_create");
        std::abort();
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::perror("write to memfd");
            std::abort();
        }
        done += static_cast<std::size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) close(fd_);
}
