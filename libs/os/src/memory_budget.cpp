#include "os/memory_budget.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <memory>
#include <mutex>

#include "os/cgroup_memory.h"

namespace os {

bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t* product) {
    assert(product != nullptr);
    return !__builtin_mul_overflow(a, b, product);
}

bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t* product) {
    std::uint64_t ab = 0;
    return CheckedMul(a, b, &ab) && CheckedMul(ab, c, product);
}

namespace {

[[nodiscard]] bool ReadMemAvailable(std::uint64_t* bytes) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> meminfo(std::fopen("/proc/meminfo", "re"), &std::fclose);
    if (!meminfo) return false;
    char line[256];
    while (std::fgets(line, sizeof line, meminfo.get()) != nullptr) {
        unsigned long long kib = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) return CheckedMul(kib, 1024u, bytes);
    }
    return false;
}

std::uint64_t SystemAvailableBytes() {
    std::uint64_t bytes = 0;
    if (ReadMemAvailable(&bytes)) return bytes;
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    if (!CheckedMul(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(pageSize), &bytes)) return UINT64_MAX;
    return bytes;
}

}  // namespace

std::uint64_t AvailableMemoryBytes() {
    return std::min(SystemAvailableBytes(), CgroupHeadroomBytes(ProcessMemoryCgroups()));
}

namespace {

using Wide = unsigned __int128;  // sums of 64-bit sizes cannot overflow it

std::mutex gClaimsLock;
Wide gClaimedBytes = 0;  // all live claims together
thread_local MemoryClaim* tClaim = nullptr;

}  // namespace

status::Status CheckFitsInMemory(std::uint64_t bytes, bool overflowed) {
    if (overflowed) return status::OutOfMemory();
    return CheckFitsInMemoryBeside(bytes, 0);
}

status::Status CheckFitsInMemoryBeside(std::uint64_t bytes, std::uint64_t beside) {
    // Read before the lock: memory touched meanwhile is then counted twice, which
    // only errs on the safe side.
    const Wide available = AvailableMemoryBytes();
    const std::lock_guard lock(gClaimsLock);
    MemoryClaim* own = tClaim;
    const Wide others = gClaimedBytes - (own != nullptr ? own->bytes_ : 0);
    if (Wide{bytes} + beside + others > available) return status::OutOfMemory();
    if (own != nullptr) {
        own->bytes_ += bytes;
        gClaimedBytes += bytes;
    }
    return status::Ok();
}

MemoryClaim::MemoryClaim() : outer_(tClaim) { tClaim = this; }

MemoryClaim::~MemoryClaim() {
    tClaim = outer_;
    const std::lock_guard lock(gClaimsLock);
    gClaimedBytes -= bytes_;
}

MemoryClaim* MemoryClaim::current() { return tClaim; }

MemoryClaim::Joined::Joined(MemoryClaim* claim) : outer_(tClaim) { tClaim = claim; }

MemoryClaim::Joined::~Joined() { tClaim = outer_; }

}  // namespace os
