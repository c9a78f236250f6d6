#pragma once
// Size arithmetic that cannot overflow, and the question "would this fit in memory now?".
#include <cstdint>

#include "results/result_code.h"

namespace platform {

// Deflate packs at most 1032 bytes into one: a file holding less than its decoded
// size / 1032 is cut short, whatever it claims.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// a * b into `product` (which must not be null) and true; false when the product
// does not fit in 64 bits, `product` then unspecified.
[[nodiscard]] bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t* product);

// a * b * c, the same way.
[[nodiscard]] bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t* product);

// Bytes the process can be given without swapping or being killed: MemAvailable of
// /proc/meminfo (or the free physical pages when that is not readable), or less
// where a memory cgroup of the process, or one of its ancestors, has less left
// below its limit. Never fails: what cannot be read sets no bound.
std::uint64_t AvailableMemoryBytes();

// S_OK when `bytes` more can be allocated now, E_OUTOFMEMORY when not. `overflowed`
// marks a size whose computation already overflowed: E_OUTOFMEMORY whatever
// `bytes` says.
[[nodiscard]] HRESULT CheckFitsInMemory(std::uint64_t bytes, bool overflowed = false);

}  // namespace platform
