#include "exact_scale.h"

#include <bit>
#include <climits>
#include <cmath>

namespace horizon {

ScaleRange ScaleRangeOf(const float* v, std::size_t n) {
    ScaleRange range;
    int low = INT_MAX, high = INT_MIN;
    for (std::size_t i = 0; i < n; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(v[i]);
        const int field = static_cast<int>((bits >> 23) & 0xFF);
        std::uint32_t mantissa = bits & 0x7FFFFF;
        if (field == 0xFF) {
            range.finite = false;
            continue;
        }
        if (field == 0 && mantissa == 0) continue;
        // value = mantissa * 2^(e - 23) with the hidden bit restored for normal numbers
        int e = field - 127;
        if (field == 0)
            e = -126;
        else
            mantissa |= 0x800000;
        const int lowBit = e - 23 + std::countr_zero(mantissa);
        const int topBit = e - 23 + (31 - std::countl_zero(mantissa)) + 1;
        if (lowBit < low) low = lowBit;
        if (topBit > high) high = topBit;
        range.any = true;
    }
    if (range.any) range.lowExp = low, range.highExp = high;
    return range;
}

void ScaleExactly(const float* v, std::size_t n, int lowExp, std::int64_t* out) {
    // Both the power and the products are exact in double.
    const double scale = std::ldexp(1.0, -lowExp);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int64_t>(static_cast<double>(v[i]) * scale);
}

}  // namespace horizon
