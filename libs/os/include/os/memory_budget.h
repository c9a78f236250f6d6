#pragma once
// Size arithmetic that cannot overflow, and the question "would this fit in memory now?".
#include <cstdint>

#include "status/status.h"

namespace os {

// Deflate packs at most 1032 bytes into one: a file holding less than its decoded
// size / 1032 is cut short, whatever it claims.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// a * b into `product` (which must not be null) and true; false when the product
// does not fit in 64 bits, `product` then unspecified.
[[nodiscard]] bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t* product);

// a * b * c, the same way.
[[nodiscard]] bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t* product);

// Sums and products of byte counts that stop at UINT64_MAX instead of wrapping, so
// that an estimate too large for memory stays too large.
inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}
inline std::uint64_t SaturatingMul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// Bytes the process can be given without swapping or being killed: MemAvailable of
// /proc/meminfo (or the free physical pages when that is not readable), or less
// where a memory cgroup of the process, or one of its ancestors, has less left
// below its limit. Never fails: what cannot be read sets no bound.
std::uint64_t AvailableMemoryBytes();

// Ok when `bytes` more can be allocated now, OutOfMemory when not. `overflowed`
// marks a size whose computation already overflowed: OutOfMemory whatever
// `bytes` says. What other threads' claims hold (see MemoryClaim) counts as taken;
// on a thread with a claim, `bytes` that fit are added to it. Safe from any thread.
[[nodiscard]] status::Status CheckFitsInMemory(std::uint64_t bytes, bool overflowed = false);

// The same for `bytes` that must fit beside `beside` more bytes counted elsewhere
// (memory promised to textures not yet written): only `bytes` goes to the claim.
// OutOfMemory also when the sum overflows.
[[nodiscard]] status::Status CheckFitsInMemoryBeside(std::uint64_t bytes, std::uint64_t beside);

// Memory that work running beside other work counts on. Checks find memory free
// when nobody has touched it yet, so two loads at once could each find the same
// memory free, and the kernel kill the process once both fill it. While a claim
// lives, what the checks on its threads found free counts as taken for the checks
// of every other thread; its own threads' checks count only what they touched.
// Too much counted then (what is touched is counted twice) only refuses early.
class MemoryClaim {
public:
    // Becomes the calling thread's claim, in place of any it had, until it ends.
    MemoryClaim();
    ~MemoryClaim();
    MemoryClaim(const MemoryClaim&) = delete;
    MemoryClaim& operator=(const MemoryClaim&) = delete;

    // The calling thread's claim, null when it has none.
    static MemoryClaim* current();

    // A helper thread doing a claim's work counts its checks for it while this
    // lives; `claim` may be null (none) and must outlive it.
    class Joined {
    public:
        explicit Joined(MemoryClaim* claim);
        ~Joined();
        Joined(const Joined&) = delete;
        Joined& operator=(const Joined&) = delete;

    private:
        MemoryClaim* outer_;
    };

private:
    friend status::Status CheckFitsInMemoryBeside(std::uint64_t bytes, std::uint64_t beside);
    unsigned __int128 bytes_ = 0;  // guarded by the claims' lock
    MemoryClaim* outer_;
};

}  // namespace os
