#include "bench_floors.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>

namespace bench {

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TouchInNewProcess(std::size_t bytes) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) _exit(1);
        madvise(p, bytes, MADV_HUGEPAGE);
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < cores; ++t)
            threads.emplace_back([=] {
                const std::size_t begin = bytes / cores * t, end = t + 1 == cores ? bytes : bytes / cores * (t + 1);
                std::memset(static_cast<char*>(p) + begin, 1, end - begin);
            });
        for (auto& thread : threads) thread.join();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Seconds(start) : -1;
}

double DiskFloor(const std::string& dir, const std::vector<std::size_t>& bytes) {
    const std::size_t largest = *std::max_element(bytes.begin(), bytes.end()) / 4096 * 4096;
    void* data = mmap(nullptr, largest, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return -1;
    std::memset(data, 7, largest);
    sync();
    const auto start = Clock::now();
    bool ok = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::string name = dir + "/floor" + std::to_string(i);
        const std::size_t size = bytes[i] / 4096 * 4096;
        const int fd = open(name.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_DIRECT | O_CLOEXEC, 0644);
        ok = ok && fd >= 0;
        for (std::size_t done = 0; ok && done < size;) {
            const ssize_t n = pwrite(fd, static_cast<char*>(data) + done, std::min(size - done, std::size_t{64} << 20),
                                     static_cast<off_t>(done));
            ok = n > 0;
            done += ok ? static_cast<std::size_t>(n) : 0;
        }
        ok = ok && fdatasync(fd) == 0;
        if (fd >= 0) close(fd);
        std::filesystem::remove(name);
    }
    const double seconds = Seconds(start);
    munmap(data, largest);
    return ok ? seconds : -1;
}

}  // namespace bench
