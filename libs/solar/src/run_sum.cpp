// The run's time steps with the texels in vector lanes: each lane repeats SunOn,
// SkyAt and OnSurface of clear_sky.cpp and the horizon's interpolation between its
// two directions, so that a lane's sums are AddDay's to within rounding.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run_sum.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
// math-inl.h needs highway.h before it.
// clang-format off
#include "hwy/contrib/math/math-inl.h"
// clang-format on

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beam_share_fit.h"
#include "solar/run_sum.h"

#ifndef SOLAR_RUN_SUM_SHARED
#define SOLAR_RUN_SUM_SHARED
namespace solar::lanes {

// The sine of the elevation below which the circumsolar part follows the slope alone (clear_sky.cpp).
const double kLowSun = std::sin(0.1);
constexpr double kRadians = std::numbers::pi / 180;

}  // namespace solar::lanes
#endif

HWY_BEFORE_NAMESPACE();
namespace solar {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// Kb at air masses `m` as SkyAt works it out, `thickness` -0.8662 TL (the vector
// exponential: within an ulp or two of libm's).
template <class D, class V>
V BeamShare(D d, V m, V thickness) {
    const auto one = hn::Set(d, 1.0);
    auto poly = hn::Sub(hn::Set(d, 0.0065), hn::Mul(m, hn::Set(d, 0.00013)));
    poly = hn::Add(hn::Set(d, -0.1202), hn::Mul(m, poly));
    poly = hn::Add(hn::Set(d, 1.7513), hn::Mul(m, poly));
    poly = hn::Add(hn::Set(d, 6.6296), hn::Mul(m, poly));
    auto rayleigh = hn::Div(one, poly);
    const auto far = hn::Gt(m, hn::Set(d, 20.0));  // the sun within a few degrees of the horizontal
    if (!hn::AllFalse(d, far))
        rayleigh =
            hn::IfThenElse(far, hn::Div(one, hn::Add(hn::Set(d, 10.4), hn::Mul(hn::Set(d, 0.718), m))), rayleigh);
    return hn::Exp(d, hn::Mul(hn::Mul(thickness, m), rayleigh));
}

// The coefficients of the step's Kb polynomial over `span` (beam_share_fit.h): Kb at
// the lattice's points, taken to monomials.
template <class D>
void FitBeamShare(D d, double airMass, const PressureSpan& span, double thickness, double* coefficients) {
    const FitLattice& lattice = TheFitLattice();
    const std::size_t lanes = hn::Lanes(d);
    alignas(64) double share[kFitPadded];
    for (std::size_t k = 0; k < kFitPadded; k += lanes) {
        const auto p =
            hn::Add(hn::Set(d, span.middle), hn::Mul(hn::Set(d, span.half), hn::Load(d, lattice.points + k)));
        hn::Store(BeamShare(d, hn::Mul(hn::Set(d, airMass), p), hn::Set(d, thickness)), d, share + k);
    }
    for (std::size_t i = 0; i < kFitPadded; i += lanes) {
        auto sum = hn::Zero(d);
        for (std::size_t k = 0; k < kFitPoints; ++k)
            sum = hn::Add(sum, hn::Mul(hn::Load(d, lattice.columns[k] + i), hn::Set(d, share[k])));
        hn::Store(sum, d, coefficients + i);
    }
}

// What a step brings every texel alike, its length folded in.
struct StepShares {
    double beam;       // g0 x hours: times Kb and the incidence, the beam's sum
    double ground;     // g0 sin(elevation) x hours: times Kb, the horizontal beam's
    double diffuse;    // the horizontal diffuse irradiance x hours
    double towards;    // 1 / sin(elevation)
    double lowSun;     // 1 / (cos(elevation) (0.1 - 0.008 elevation)) for a low sun, else 0
    double elevation;  // degrees, as the horizons
    bool fitted;       // Kb from `fit` in the texel's place in the run's pressures
    alignas(64) double fit[kFitPadded];
};

// One vector of a run's texels through the steps: its surface, its place in the
// run's pressures and its sums.
template <class D>
struct LaneGroup {
    using V = hn::Vec<D>;
    LaneGroup(D d, const RunTexels& run, const RunTotals& totals, const PressureSpan& span, std::size_t at)
        : i(at),
          cosS(hn::Load(d, run.cosSlope + at)),
          sinSinA(hn::Load(d, run.sinSlopeSinAspect + at)),
          sinSCosA(hn::Load(d, run.sinSlopeCosAspect + at)),
          iso0(hn::Load(d, run.isotropic[0] + at)),
          iso1(hn::Load(d, run.isotropic[1] + at)),
          iso2(hn::Load(d, run.isotropic[2] + at)),
          iso3(hn::Load(d, run.isotropic[3] + at)),
          dark(hn::Load(d, run.shadowedShare + at)),
          pressure(hn::Load(d, run.pressures + at)),
          x(hn::Mul(hn::Sub(pressure, hn::Set(d, span.middle)), hn::Set(d, span.scale))),
          x2(hn::Mul(x, x)),
          x3(hn::Mul(x2, x)),
          x4(hn::Mul(x2, x2)),
          x5(hn::Mul(x4, x)),
          x6(hn::Mul(x4, x2)),
          flat(hn::Gt(hn::Load(d, run.flat + at), hn::Zero(d))),
          beamSum(hn::Load(d, totals.beam + at)),
          diffuseSum(hn::Load(d, totals.diffuse + at)),
          groundSum(hn::Load(d, totals.groundBeam + at)),
          hoursSum(hn::Load(d, totals.sunHours + at)) {}

    void add(D d, const RunTexels& run, const StepSun& sun, const StepShares& step, V thickness) {
        const auto zero = hn::Zero(d);
        // The beam's share of the extraterrestrial irradiance.
        V kb;
        static_assert(kFitPoints == 7);
        if (step.fitted) {  // in a tree, not Horner's chain: the powers are the texel's own
            const auto c = [&](std::size_t j) { return hn::Set(d, step.fit[j]); };
            const auto low = hn::Add(hn::Add(c(0), hn::Mul(c(1), x)), hn::Add(hn::Mul(c(2), x2), hn::Mul(c(3), x3)));
            const auto high = hn::Add(hn::Add(hn::Mul(c(4), x4), hn::Mul(c(5), x5)), hn::Mul(c(6), x6));
            kb = hn::Add(low, high);
        } else {
            kb = BeamShare(d, hn::Mul(hn::Set(d, sun.seaLevelAirMass), pressure), thickness);
        }

        const auto across = hn::Add(hn::Mul(hn::Set(d, sun.east), sinSinA), hn::Mul(hn::Set(d, sun.north), sinSCosA));
        const auto incidence = hn::Add(hn::Mul(hn::Set(d, sun.sinElevation), cosS), across);
        // The horizon towards the sun, as skyline::HorizonTowards gives it.
        const std::size_t pair = sun.around.pair * kRunMost + i;
        const auto a = hn::LoadU(d, run.pairLow.data() + pair), b = hn::LoadU(d, run.pairHigh.data() + pair);
        const auto horizon = hn::Add(a, hn::Mul(hn::Sub(b, a), hn::Set(d, sun.around.t)));
        const auto clear = hn::Gt(hn::Set(d, step.elevation), horizon);
        const auto visible = hn::And(hn::Gt(incidence, zero), clear);

        const auto beam = hn::Mul(kb, incidence);
        beamSum = hn::Add(beamSum, hn::IfThenElseZero(visible, hn::Mul(beam, hn::Set(d, step.beam))));
        const auto kb2 = hn::Mul(kb, kb);
        const auto isotropic =
            hn::Add(hn::Add(iso0, hn::Mul(iso1, kb)), hn::Mul(kb2, hn::Add(iso2, hn::Mul(iso3, kb))));
        auto circumsolar = hn::Mul(beam, hn::Set(d, step.towards));
        if (step.lowSun != 0)  // near the horizon it follows the slope alone
            circumsolar = hn::IfThenElse(flat, circumsolar, hn::Mul(hn::Mul(kb, across), hn::Set(d, step.lowSun)));
        const auto lit = hn::Add(isotropic, hn::Max(zero, circumsolar));
        diffuseSum = hn::Add(diffuseSum, hn::Mul(hn::IfThenElse(visible, lit, dark), hn::Set(d, step.diffuse)));
        // The ground around reflects the beam only where the terrain lets it in.
        groundSum = hn::Add(groundSum, hn::IfThenElseZero(clear, hn::Mul(kb, hn::Set(d, step.ground))));
        hoursSum = hn::Add(hoursSum, hn::IfThenElseZero(visible, hn::Set(d, sun.hours)));
    }

    void store(D d, RunTotals* totals) const {
        hn::Store(beamSum, d, totals->beam + i);
        hn::Store(diffuseSum, d, totals->diffuse + i);
        hn::Store(groundSum, d, totals->groundBeam + i);
        hn::Store(hoursSum, d, totals->sunHours + i);
    }

    std::size_t i;
    V cosS, sinSinA, sinSCosA, iso0, iso1, iso2, iso3, dark, pressure, x, x2, x3, x4, x5, x6;
    hn::Mask<D> flat;
    V beamSum, diffuseSum, groundSum, hoursSum;
};

void AddStepsImpl(const StepSun* steps, std::size_t count, double g0Of, double linke, const RunTexels& run,
                  RunTotals* totals) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    const auto thickness = hn::Set(d, -0.8662 * linke);
    // Each lane takes a step's shares as they are, so work them out once.
    StepShares shares[64];
    const PressureSpan span = SpanOf(run.lowPressure, run.highPressure);
    double dayDiffuse = 0;  // the horizontal diffuse part the ground reflects wherever it is
    for (std::size_t from = 0; from < count; from += 64) {
        const std::size_t n = std::min<std::size_t>(64, count - from);
        for (std::size_t s = 0; s < n; ++s) {
            const StepSun& sun = steps[from + s];
            const bool low = !(sun.sinElevation >= lanes::kLowSun) && sun.cosElevation > 0;
            StepShares& share = shares[s];
            share.beam = g0Of * sun.hours;
            share.ground = g0Of * sun.sinElevation * sun.hours;
            share.diffuse = sun.diffuse * sun.hours;
            share.towards = 1 / sun.sinElevation;
            share.lowSun = low ? 1 / (sun.cosElevation * (0.1 - 0.008 * std::asin(sun.sinElevation))) : 0;
            share.elevation = sun.elevation / lanes::kRadians;
            share.fitted = FitServes(sun.seaLevelAirMass, span);
            if (share.fitted) FitBeamShare(d, sun.seaLevelAirMass, span, -0.8662 * linke, share.fit);
            dayDiffuse += share.diffuse;
        }
        // Lanes outside, steps inside: each texel's surface and sums stay in registers
        // through the steps, and its sums still take the steps in their order. Two
        // vectors a step, whose long chains (Kb, then the diffuse sky) interleave.
        static_assert(kRunMost % (2 * HWY_MAX_BYTES / sizeof(double)) == 0);
        for (std::size_t i = 0; i < run.count; i += 2 * lanes) {
            LaneGroup<decltype(d)> first(d, run, *totals, span, i), second(d, run, *totals, span, i + lanes);
            for (std::size_t s = 0; s < n; ++s) {
                first.add(d, run, steps[from + s], shares[s], thickness);
                second.add(d, run, steps[from + s], shares[s], thickness);
            }
            first.store(d, totals);
            second.store(d, totals);
        }
    }
    totals->skyDiffuse += dayDiffuse;
}

// atan2(y, x) from the vector arc tangent.
template <class D, class V>
V Atan2(D d, V y, V x) {
    const auto pi = hn::Set(d, std::numbers::pi), zero = hn::Zero(d);
    const auto half = hn::Set(d, std::numbers::pi / 2);
    const auto ratio = hn::Atan(d, hn::Div(y, hn::IfThenElse(hn::Eq(x, zero), hn::Set(d, 1.0), x)));
    const auto turned = hn::IfThenElse(hn::Lt(y, zero), hn::Sub(ratio, pi), hn::Add(ratio, pi));
    const auto side = hn::IfThenElse(hn::Lt(y, zero), hn::Neg(half), hn::IfThenElseZero(hn::Gt(y, zero), half));
    return hn::IfThenElse(hn::Gt(x, zero), ratio, hn::IfThenElse(hn::Lt(x, zero), turned, side));
}

void CompleteStepsImpl(StepSun* steps, std::size_t count, double g0, const Turbidity& turbidity) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    constexpr std::size_t kMost = HWY_MAX_BYTES / sizeof(double);
    alignas(64) double sinE[kMost], east[kMost], north[kMost], out[5][kMost];
    const auto zero = hn::Zero(d), one = hn::Set(d, 1.0);
    for (std::size_t from = 0; from < count; from += lanes) {
        const std::size_t n = std::min(lanes, count - from);
        for (std::size_t i = 0; i < lanes; ++i) {
            const StepSun& step = steps[from + std::min(i, n - 1)];
            sinE[i] = step.sinElevation;
            east[i] = step.east;
            north[i] = step.north;
        }
        const auto s = hn::Load(d, sinE);
        const auto e = hn::Asin(d, hn::Min(s, one));
        const auto cosE = hn::Sqrt(hn::Max(zero, hn::Sub(one, hn::Mul(s, s))));
        // RelativeAirMass(e, 1) and MomentOf's diffuse, operation for operation.
        const auto above = hn::Add(hn::Add(hn::Set(d, 0.1594), hn::Mul(hn::Set(d, 1.123), e)),
                                   hn::Mul(hn::Mul(hn::Set(d, 0.065656), e), e));
        const auto below =
            hn::Add(hn::Add(one, hn::Mul(hn::Set(d, 28.9344), e)), hn::Mul(hn::Mul(hn::Set(d, 277.3971), e), e));
        const auto refracted = hn::Add(e, hn::Div(hn::Mul(hn::Set(d, 0.061359), above), below));
        const auto base = hn::Add(hn::Mul(refracted, hn::Set(d, 180 / std::numbers::pi)), hn::Set(d, 6.07995));
        const auto power = hn::Exp(d, hn::Mul(hn::Log(d, base), hn::Set(d, -1.6364)));
        const auto airMass = hn::Div(one, hn::Add(hn::Sin(d, refracted), hn::Mul(hn::Set(d, 0.50572), power)));
        const auto angular = hn::Add(hn::Add(hn::Set(d, turbidity.a1), hn::Mul(hn::Set(d, turbidity.a2), s)),
                                     hn::Mul(hn::Mul(hn::Set(d, turbidity.a3), s), s));
        const auto diffuse = hn::Max(zero, hn::Mul(hn::Set(d, g0 * turbidity.transmission), angular));
        hn::Store(e, d, out[0]);
        hn::Store(cosE, d, out[1]);
        hn::Store(Atan2(d, hn::Load(d, east), hn::Load(d, north)), d, out[2]);
        hn::Store(airMass, d, out[3]);
        hn::Store(diffuse, d, out[4]);
        for (std::size_t i = 0; i < n; ++i) {
            StepSun& step = steps[from + i];
            step.elevation = out[0][i];
            step.cosElevation = out[1][i];
            step.azimuth = out[2][i];
            step.seaLevelAirMass = out[3][i];
            step.diffuse = out[4][i];
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace solar
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace solar {

HWY_EXPORT(AddStepsImpl);
HWY_EXPORT(CompleteStepsImpl);

void CompleteSteps(StepSun* steps, std::size_t count, double g0, const Turbidity& turbidity) {
    HWY_DYNAMIC_DISPATCH(CompleteStepsImpl)(steps, count, g0, turbidity);
}

void RunTexels::clear(const std::vector<std::size_t>& directionOrder, double noneValue) {
    count = 0;
    order = directionOrder;
    none = noneValue;
    // Filler lanes: a level open texel at the sea, whose sums nobody reads.
    std::fill(std::begin(cosSlope), std::end(cosSlope), 1.0);
    std::fill(std::begin(sinSlopeSinAspect), std::end(sinSlopeSinAspect), 0.0);
    std::fill(std::begin(sinSlopeCosAspect), std::end(sinSlopeCosAspect), 0.0);
    for (auto& term : isotropic) std::fill(std::begin(term), std::end(term), 0.0);
    std::fill(std::begin(isotropic[0]), std::end(isotropic[0]), 1.0);
    std::fill(std::begin(shadowedShare), std::end(shadowedShare), 1.0);
    std::fill(std::begin(pressures), std::end(pressures), 1.0);
    std::fill(std::begin(flat), std::end(flat), 1.0);
    pairLow.assign(order.size() * kRunMost, -90.0);
    pairHigh.assign(order.size() * kRunMost, -90.0);
    lowPressure = HUGE_VAL;
    highPressure = -HUGE_VAL;
}

void AddSteps(const StepSun* steps, std::size_t count, double g0, double linke, const RunTexels& run,
              RunTotals* totals) {
    HWY_DYNAMIC_DISPATCH(AddStepsImpl)(steps, count, g0, linke, run, totals);
}

}  // namespace solar
#endif  // HWY_ONCE
