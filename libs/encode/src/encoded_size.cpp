#include "encode/encoded_size.h"

#include <limits>

namespace encode {

std::uint64_t EncodedBytesBound(std::uint64_t rawBytes, std::uint64_t rows) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t bound = 0;
    std::uint64_t rowTables = 0;
    if (__builtin_add_overflow(rawBytes, rawBytes / 64, &bound) || __builtin_mul_overflow(rows, 64, &rowTables) ||
        __builtin_add_overflow(bound, rowTables, &bound) || __builtin_add_overflow(bound, 64u << 10, &bound))
        return kMax;
    return bound;
}

}  // namespace encode
