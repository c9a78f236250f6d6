#pragma once
// The beam's share Kb = exp(-0.8662 TL m δR(m)) of one time step over the pressures
// of a run of texels, as a polynomial: m is the step's sea-level air mass times the
// texel's pressure, and where the run's pressures lie close together the texels
// evaluate the polynomial instead of an exponential and a division each.
#include <cstddef>

namespace solar {

// Degree 6 through the 7 Chebyshev points of the span: within 1e-11 of Kb, relative,
// for any air mass and a Linke turbidity of 1 to 10, where the pressures differ by
// at most kFitWidth of the lowest (about 400 m of altitude).
constexpr std::size_t kFitPoints = 7;
constexpr std::size_t kFitPadded = 8;  // whole vectors
constexpr double kFitWidth = 0.05;

// A run's pressures mapped onto [-1, 1]: x = (p - middle) * scale.
struct PressureSpan {
    double low = 1, high = 1;
    double middle = 1, half = 0, scale = 0;
    bool narrow = false;  // within kFitWidth: the polynomial may serve
};
[[nodiscard]] PressureSpan SpanOf(double low, double high);

// Whether the polynomial serves a step with sea-level air mass `airMass`: the span
// is narrow and m does not cross 20, where δR changes formula, within it.
[[nodiscard]] bool FitServes(double airMass, const PressureSpan& span);

// The Chebyshev points on [-1, 1] (the last repeated to fill the padding) and the
// matrix taking Kb at them to the coefficients of x^0 to x^6, column by column
// (column k: what Kb at point k adds to each coefficient; padding 0).
struct FitLattice {
    alignas(64) double points[kFitPadded];
    alignas(64) double columns[kFitPoints][kFitPadded];
};
[[nodiscard]] const FitLattice& TheFitLattice();

}  // namespace solar
