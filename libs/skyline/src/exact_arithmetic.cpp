#include "skyline/exact_arithmetic.h"

#include <bit>
#include <cmath>
#include <limits>

namespace skyline {

namespace {

// a + b = s + e exactly (Knuth).
inline void TwoSum(double a, double b, double& s, double& e) {
    s = a + b;
    const double bb = s - a;
    e = (a - (s - bb)) + (b - bb);
}

// Veltkamp's split into two halves of 26 bits each.
inline void Split(double a, double& hi, double& lo) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

// a * b = p + e exactly (Dekker); no fused multiply-add needed.
inline void TwoProduct(double a, double b, double& p, double& e) {
    p = a * b;
    double ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// The sign of the exact sum of `n` doubles: grown into a nonoverlapping expansion
// (Shewchuk), whose largest nonzero component carries the sign.
int SignOfSum(const double* terms, int n) {
    double h[12];
    int m = 0;
    for (int i = 0; i < n; ++i) {
        double q = terms[i];
        for (int j = 0; j < m; ++j) {
            double s, e;
            TwoSum(q, h[j], s, e);
            h[j] = e;
            q = s;
        }
        h[m++] = q;
    }
    for (int j = m - 1; j >= 0; --j)
        if (h[j] != 0) return h[j] > 0 ? 1 : -1;
    return 0;
}

// The sign of (s + e) / c - (x + y) / 2: where the real quotient lies against the
// midpoint of neighbours x and y.
int AgainstMidpoint(double s, double e, double c, double x, double y) {
    double terms[6];
    terms[0] = 2 * s;
    terms[1] = 2 * e;
    TwoProduct(-c, x, terms[2], terms[3]);
    TwoProduct(-c, y, terms[4], terms[5]);
    return SignOfSum(terms, 6);
}

bool EvenSignificand(double x) { return (std::bit_cast<std::uint64_t>(x) & 1u) == 0; }

}  // namespace

double RoundedDifferenceQuotient(double a, double b, double c) {
    double s, e;
    TwoSum(a, -b, s, e);
    double q = s / c;
    if (e == 0) return q;  // the difference is exact, so is the single rounding
    // q is the rounding when the true quotient is well within half a unit of it:
    // (s + e) / c - q = (s - q c + e) / c, with s - q c exact (ph - s is, by
    // Sterbenz, and pl is the product's own error).
    double ph, pl;
    TwoProduct(q, c, ph, pl);
    const double rest = ((s - ph) - pl) + e;
    const double unit = std::fabs(q) * 0x1.0p-52;  // from one to two units above q, at least one below
    if (std::fabs(rest) < 0.2 * c * unit) return q;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    // The true quotient is within two units of q: step to the right neighbour.
    for (;;) {
        const double up = std::nextafter(q, kInf);
        const int side = AgainstMidpoint(s, e, c, q, up);
        if (side > 0 || (side == 0 && EvenSignificand(up))) {
            q = up;
            continue;
        }
        break;
    }
    for (;;) {
        const double down = std::nextafter(q, -kInf);
        const int side = AgainstMidpoint(s, e, c, down, q);
        if (side < 0 || (side == 0 && EvenSignificand(down))) {
            q = down;
            continue;
        }
        break;
    }
    return q;
}

int CompareSlopesExactly(double wo, double wt, double along, double wn, double beyond) {
    double terms[8], sn, en, st, et;
    TwoSum(wn, -wo, sn, en);
    TwoSum(wt, -wo, st, et);
    TwoProduct(sn, along, terms[0], terms[1]);
    TwoProduct(en, along, terms[2], terms[3]);
    TwoProduct(-st, beyond, terms[4], terms[5]);
    TwoProduct(-et, beyond, terms[6], terms[7]);
    return SignOfSum(terms, 8);
}

}  // namespace skyline
