#pragma once
// Finite floats as exact integers: every float is a multiple of the power of two
// of its lowest set bit, so a set of floats scaled by the smallest such power
// becomes a set of integers with the same order and the same geometry.
#include <cstddef>
#include <cstdint>

namespace horizon {

// Bit budgets that keep the hull's cross products inside signed 128 bits:
// differences stay below 2^(bits+1), a product of two below 2^124.
constexpr int kPositionBits = 60;
constexpr int kElevationBits = 61;

struct ScaleRange {
    int lowExp = 0;         // exponent of the lowest set bit over the values (nonzero ones)
    int highExp = 0;        // v < 2^highExp for every |v|
    bool any = false;       // some value is nonzero
    bool finite = true;     // no NaN or infinity
    bool Fits(int bits) const { return finite && (!any || highExp - lowExp <= bits); }
};

ScaleRange ScaleRangeOf(const float* v, std::size_t n);
// The same, a vector at a time on the best instruction set at hand.
ScaleRange ScaleRangeOfVectors(const float* v, std::size_t n);

// out[i] = v[i] / 2^lowExp, exact; requires Fits for some budget below 63.
void ScaleExactly(const float* v, std::size_t n, int lowExp, std::int64_t* out);

}  // namespace horizon
