#include "os/directory_turns.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <thread>
#include <tuple>

namespace os {

namespace {

struct OpenDirectory {
    int fd;
    dev_t device;
    ino_t inode;
};

// Polls rather than blocks, so a turn that never comes costs `patience` at most.
[[nodiscard]] bool TakeTurn(int fd, std::chrono::milliseconds patience) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + patience;
    for (auto pause = std::chrono::microseconds(100);; pause = std::min(pause * 2, std::chrono::microseconds(20000))) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
    }
}

}  // namespace

DirectoryTurns::DirectoryTurns(const std::vector<std::string>& directories, std::chrono::milliseconds patience) {
    std::vector<OpenDirectory> open;
    try {
        open.reserve(directories.size());
        held_.reserve(directories.size());
        for (const auto& directory : directories) {
            const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat seen {};
            if (fstat(fd, &seen) != 0) {
                close(fd);
                continue;
            }
            open.push_back({fd, seen.st_dev, seen.st_ino});
        }
    } catch (const std::bad_alloc&) {
        for (const auto& d : open) close(d.fd);
        return;
    }
    // One order for every process, and one lock per directory: a second lock on
    // another descriptor of the same directory would wait for the first.
    const auto key = [](const OpenDirectory& d) { return std::tie(d.device, d.inode); };
    std::sort(open.begin(), open.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    for (std::size_t i = 0; i < open.size(); ++i) {
        if ((i > 0 && key(open[i]) == key(open[i - 1])) || !TakeTurn(open[i].fd, patience)) {
            close(open[i].fd);
            continue;
        }
        held_.push_back(open[i].fd);  // room reserved: cannot throw
    }
}

DirectoryTurns::~DirectoryTurns() {
    // Closing the last descriptor of the lock releases it.
    for (const int fd : held_) close(fd);
}

}  // namespace os
