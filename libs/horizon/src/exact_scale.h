#pragma once
// Finite floats as exact integers: every float is a multiple of the power of two
// of its lowest set bit, so a set of floats scaled by the smallest such power
// becomes a set of integers with the same order and the same geometry.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace horizon {

// Bit budgets that keep the hull's cross products inside signed 128 bits:
// differences stay below 2^(bits+1), a product of two below 2^124.
constexpr int kPositionBits = 60;
constexpr int kElevationBits = 61;

struct ScaleRange {
    int lowExp = 0;      // exponent of the lowest set bit over the values (nonzero ones)
    int highExp = 0;     // v < 2^highExp for every |v|
    bool any = false;    // some value is nonzero
    bool finite = true;  // no NaN or infinity
    bool fits(int bits) const { return finite && (!any || highExp - lowExp <= bits); }
};

ScaleRange ScaleRangeOf(const float* v, std::size_t n);
// The same, a vector at a time on the best instruction set at hand.
ScaleRange ScaleRangeOfVectors(const float* v, std::size_t n);

// out[i] = v[i] / 2^lowExp, exact; requires fits() for some budget below 63.
void ScaleExactly(const float* v, std::size_t n, int lowExp, std::int64_t* out);

// True only if v - z0 is a float, no rounding, for every float v with
// z0 < v <= highest; z0 and highest finite. Above a positive z0 such v
// are multiples of ulp(z0), so a difference below 2^24 ulp(z0) is representable
// (the difference taken in double can round up to that power of two, never from
// above it to below). Below a negative z0, v up to z0 / 2 subtract exactly
// (Sterbenz). z0 = 0 leaves v as it is. False where it cannot tell.
inline bool DifferencesExactFrom(float z0, float highest) {
    if (z0 == 0.0f) return true;
    if (z0 < 0.0f) return 2.0 * static_cast<double>(highest) <= static_cast<double>(z0);
    const std::uint32_t field = std::max<std::uint32_t>(std::bit_cast<std::uint32_t>(z0) >> 23, 1);
    const float limit = std::bit_cast<float>((field + 1) << 23);  // 2^24 ulp(z0); infinity past the top
    return static_cast<double>(highest) - static_cast<double>(z0) < static_cast<double>(limit);
}

}  // namespace horizon
