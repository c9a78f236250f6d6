#pragma once
// A memory cgroup for the programs a test runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "os/cgroup_memory.h"

// A child group of this process's own, with a limit; removed afterwards. Making one
// needs root and a memory controller this process may write to: usable() says.
class LimitedGroup {
public:
    explicit LimitedGroup(std::uint64_t limit) {
        for (const os::MemoryCgroup& group : os::ProcessMemoryCgroups()) {
            const bool v2 = group.version == os::CgroupVersion::V2;
            const std::string dir = group.levels.front() + "/umbrascope-test-" + std::to_string(getpid());
            if (mkdir(dir.c_str(), 0755) != 0) continue;
            // A v2 child has no memory files unless its parent hands the controller on.
            const std::string limitFile = dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes");
            if (writeText(limitFile, std::to_string(limit))) {
                dir_ = dir;
                return;
            }
            rmdir(dir.c_str());
        }
    }
    ~LimitedGroup() {
        if (dir_.empty()) return;
        // The group goes once its last process has been reaped.
        for (int attempt = 0; attempt < 50 && rmdir(dir_.c_str()) != 0 && errno == EBUSY; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    LimitedGroup(const LimitedGroup&) = delete;
    LimitedGroup& operator=(const LimitedGroup&) = delete;

    bool usable() const { return !dir_.empty(); }

    // Runs in the child before it becomes the tool.
    std::function<void()> join() const {
        return [procs = dir_ + "/cgroup.procs"] {
            if (!writeText(procs, std::to_string(getpid()))) _exit(126);
        };
    }

private:
    static bool writeText(const std::string& path, const std::string& text) {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        return close(fd) == 0 && written;
    }

    std::string dir_;
};
