#pragma once
// The two exact decisions the horizon sweep rests on, for finite doubles well inside
// the range (no overflow, no underflow: terrain heights and positions of a map).
#include <cmath>
#include <cstdint>

namespace skyline {

// (a - b) / c, the real value rounded once to the nearest double (ties to even).
// `c` a whole number from 1 to 2^53. Monotone in the real quotient, so the greatest
// of several such slopes is the rounding of the greatest real slope.
[[nodiscard]] double RoundedDifferenceQuotient(double a, double b, double c);

// The exact sign (-1, 0, 1) of (wn - wo) * along - (wt - wo) * beyond, with `along`
// and `beyond` whole numbers below 2^53: whether the slope from o to n is above (1),
// equal to (0) or below (-1) that from o to t, when t is `along` from o and n is
// `beyond` from o.
inline int CompareSlopes(double wo, double wt, double along, double wn, double beyond);

// CompareSlopes(...) >= 0 with one branch on the common path: the hull sweep's test.
inline bool SlopeNotBelow(double wo, double wt, double along, double wn, double beyond);

// CompareSlopes where the rounded products cannot tell.
[[nodiscard]] int CompareSlopesExactly(double wo, double wt, double along, double wn, double beyond);

inline int CompareSlopes(double wo, double wt, double along, double wn, double beyond) {
    const double a = (wn - wo) * along, b = (wt - wo) * beyond;
    const double x = a - b;
    // Four roundings of at most 2^-53 each, on terms no larger than these.
    const double bound = ((a < 0 ? -a : a) + (b < 0 ? -b : b)) * 0x1.0p-50;
    if (x > bound) return 1;
    if (x < -bound) return -1;
    return CompareSlopesExactly(wo, wt, along, wn, beyond);
}

inline bool SlopeNotBelow(double wo, double wt, double along, double wn, double beyond) {
    const double a = (wn - wo) * along, b = (wt - wo) * beyond;
    const double x = a - b;
    // fabs, not a branch on the sign: the signs here are as good as random.
    const double bound = (std::fabs(a) + std::fabs(b)) * 0x1.0p-50;
    if (std::fabs(x) > bound) return x > 0;
    return CompareSlopesExactly(wo, wt, along, wn, beyond) >= 0;
}

}  // namespace skyline
