#include "beam_share_fit.h"

#include <cmath>
#include <numbers>

namespace solar {

namespace {

// The interpolant's Chebyshev series, its T_j expanded into monomials.
FitLattice MakeLattice() {
    constexpr std::size_t n = kFitPoints;
    FitLattice lattice{};
    // T_j's coefficients, x^0 first, by T_j+1 = 2x T_j - T_j-1.
    double t[n][n] = {};
    t[0][0] = 1;
    t[1][1] = 1;
    for (std::size_t j = 1; j + 1 < n; ++j)
        for (std::size_t i = 0; i < n; ++i) t[j + 1][i] = (i > 0 ? 2 * t[j][i - 1] : 0) - t[j - 1][i];
    const auto angle = [](std::size_t j, std::size_t k) { return j * std::numbers::pi * (2 * k + 1) / (2 * n); };
    for (std::size_t k = 0; k < n; ++k) lattice.points[k] = std::cos(angle(1, k));
    lattice.points[n] = lattice.points[n - 1];
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < n; ++j) {
            // The series' coefficient j takes (2 / n) T_j(x_k) of value k, half of it for j = 0.
            const double weight = (j == 0 ? 1.0 : 2.0) / n * std::cos(angle(j, k));
            for (std::size_t i = 0; i < n; ++i) lattice.columns[k][i] += t[j][i] * weight;
        }
    return lattice;
}

}  // namespace

const FitLattice& TheFitLattice() {
    static const FitLattice lattice = MakeLattice();
    return lattice;
}

PressureSpan SpanOf(double low, double high) {
    PressureSpan span;
    span.low = low;
    span.high = high;
    span.middle = (low + high) / 2;
    span.half = (high - low) / 2;
    span.scale = high > low ? 2 / (high - low) : 0;
    span.narrow = high - low <= kFitWidth * low;
    return span;
}

bool FitServes(double airMass, const PressureSpan& span) {
    return span.narrow && (airMass * span.low > 20) == (airMass * span.high > 20);
}

}  // namespace solar
