// The run's time steps with the texels in vector lanes: each lane repeats, operation
// for operation, SunOn, SkyAt and OnSurface of clear_sky.cpp and the horizon's
// interpolation between its two directions, so that a lane's sums are AddDay's.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run_sum.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "hwy/contrib/math/math-inl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

void AddStepsImpl(const StepSun* steps, std::size_t count, double g0Of, double linke, double albedo,
                  const RunTexels& run, RunTotals* totals) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    const auto zero = hn::Zero(d), one = hn::Set(d, 1.0), half = hn::Set(d, 0.5), none = hn::Set(d, run.none);
    const auto thickness = hn::Set(d, -0.8662 * linke), g0 = hn::Set(d, g0Of), reflectance = hn::Set(d, albedo);
    // Lanes outside, steps inside: each texel's surface and sums stay in registers
    // through the day, and its sums still take the steps in their order.
    for (std::size_t i = 0; i < run.count; i += lanes) {
        const auto cosS = hn::Load(d, run.cosSlope + i), sinS = hn::Load(d, run.sinSlope + i);
        const auto sinA = hn::Load(d, run.sinAspect + i), cosA = hn::Load(d, run.cosAspect + i);
        const auto openPlane = hn::Load(d, run.openPlane + i), anisotropic = hn::Load(d, run.anisotropic + i);
        const auto share = hn::Load(d, run.skyShare + i), shadowed = hn::Load(d, run.shadowed + i);
        const auto pressure = hn::Load(d, run.pressures + i), open = hn::Sub(one, cosS);
        const auto flat = hn::Gt(hn::Load(d, run.flat + i), zero);
        auto beamSum = hn::Load(d, totals->beam + i), diffuseSum = hn::Load(d, totals->diffuse + i);
        auto reflectedSum = hn::Load(d, totals->reflected + i), hoursSum = hn::Load(d, totals->sunHours + i);
        for (std::size_t s = 0; s < count; ++s) {
            const StepSun& sun = steps[s];
            const auto sinE = hn::Set(d, sun.sinElevation), dh = hn::Set(d, sun.diffuse);
            const auto hours = hn::Set(d, sun.hours);
            // The beam's share of the extraterrestrial irradiance (the vector exponential:
            // within an ulp or two of libm's).
            const auto m = hn::Mul(hn::Set(d, sun.seaLevelAirMass), pressure);
            auto poly = hn::Sub(hn::Set(d, 0.0065), hn::Mul(m, hn::Set(d, 0.00013)));
            poly = hn::Add(hn::Set(d, -0.1202), hn::Mul(m, poly));
            poly = hn::Add(hn::Set(d, 1.7513), hn::Mul(m, poly));
            poly = hn::Add(hn::Set(d, 6.6296), hn::Mul(m, poly));
            auto rayleigh = hn::Div(one, poly);
            const auto far = hn::Gt(m, hn::Set(d, 20.0));  // the sun within a few degrees of the horizontal
            if (!hn::AllFalse(d, far))
                rayleigh = hn::IfThenElse(
                    far, hn::Div(one, hn::Add(hn::Set(d, 10.4), hn::Mul(hn::Set(d, 0.718), m))), rayleigh);
            const auto kb = hn::Exp(d, hn::Mul(hn::Mul(thickness, m), rayleigh));

            const auto across =
                hn::Add(hn::Mul(hn::Set(d, sun.east), sinA), hn::Mul(hn::Set(d, sun.north), cosA));
            const auto incidence = hn::Add(hn::Mul(sinE, cosS), hn::Mul(sinS, across));
            // The horizon towards the sun, as skyline::HorizonTowards gives it.
            const auto a = hn::LoadU(d, run.horizonDegrees.data() + sun.around.a * kRunMost + i);
            const auto b = hn::LoadU(d, run.horizonDegrees.data() + sun.around.b * kRunMost + i);
            const auto aNone = hn::Eq(a, none), bNone = hn::Eq(b, none);
            auto horizon = sun.around.t == 0 ? a : hn::Add(a, hn::Mul(hn::Sub(b, a), hn::Set(d, sun.around.t)));
            horizon = hn::IfThenElse(bNone, a, horizon);
            horizon = hn::IfThenElse(aNone, b, horizon);
            horizon = hn::IfThenElse(hn::And(aNone, bNone), hn::Set(d, -90.0), horizon);
            const auto clear = hn::Gt(hn::Set(d, sun.elevation), hn::Mul(horizon, hn::Set(d, lanes::kRadians)));
            const auto visible = hn::And(hn::Gt(incidence, zero), clear);

            const auto beamNormal = hn::Mul(g0, kb);
            const auto beam = hn::IfThenElseZero(visible, hn::Mul(beamNormal, incidence));
            const auto n = hn::Sub(hn::Sub(hn::Set(d, 0.00263), hn::Mul(hn::Set(d, 0.712), kb)),
                                   hn::Mul(hn::Mul(hn::Set(d, 0.6883), kb), kb));
            const auto isotropic = hn::Mul(hn::Add(openPlane, hn::Mul(anisotropic, n)), hn::Sub(one, kb));
            const auto towards = hn::Div(hn::Mul(kb, incidence), sinE);
            auto circumsolar = towards;
            if (!(sun.sinElevation >= lanes::kLowSun)) {
                const auto lowSunDivisor = hn::Set(d, 0.1 - 0.008 * std::asin(sun.sinElevation));
                const auto facing =
                    sun.cosElevation > 0 ? hn::Div(hn::Mul(sinS, across), hn::Set(d, sun.cosElevation)) : zero;
                circumsolar = hn::IfThenElse(flat, towards, hn::Div(hn::Mul(kb, facing), lowSunDivisor));
            }
            const auto lit = hn::Mul(dh, hn::Add(hn::Mul(isotropic, share), hn::Max(zero, circumsolar)));
            const auto dark = hn::Mul(hn::Mul(dh, shadowed), share);
            // The ground around reflects the beam only where the terrain lets it in; halving
            // is exact, the same as the model's division by 2.
            const auto ground = hn::Add(hn::IfThenElseZero(clear, hn::Mul(beamNormal, sinE)), dh);
            const auto reflected = hn::Mul(hn::Mul(hn::Mul(reflectance, ground), open), half);

            beamSum = hn::Add(beamSum, hn::Mul(beam, hours));
            diffuseSum = hn::Add(diffuseSum, hn::Mul(hn::IfThenElse(visible, lit, dark), hours));
            reflectedSum = hn::Add(reflectedSum, hn::Mul(reflected, hours));
            hoursSum = hn::Add(hoursSum, hn::IfThenElseZero(visible, hours));
        }
        hn::Store(beamSum, d, totals->beam + i);
        hn::Store(diffuseSum, d, totals->diffuse + i);
        hn::Store(reflectedSum, d, totals->reflected + i);
        hn::Store(hoursSum, d, totals->sunHours + i);
    }
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
        const auto below = hn::Add(hn::Add(one, hn::Mul(hn::Set(d, 28.9344), e)),
                                   hn::Mul(hn::Mul(hn::Set(d, 277.3971), e), e));
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

void RunTexels::clear(std::size_t directionCount, double noneValue) {
    count = 0;
    directions = directionCount;
    none = noneValue;
    // Filler lanes: a level open texel at the sea, whose sums nobody reads.
    std::fill(std::begin(cosSlope), std::end(cosSlope), 1.0);
    std::fill(std::begin(sinSlope), std::end(sinSlope), 0.0);
    std::fill(std::begin(cosAspect), std::end(cosAspect), 1.0);
    std::fill(std::begin(sinAspect), std::end(sinAspect), 0.0);
    std::fill(std::begin(openPlane), std::end(openPlane), 1.0);
    std::fill(std::begin(anisotropic), std::end(anisotropic), 0.0);
    std::fill(std::begin(shadowed), std::end(shadowed), 1.0);
    std::fill(std::begin(skyShare), std::end(skyShare), 1.0);
    std::fill(std::begin(pressures), std::end(pressures), 1.0);
    std::fill(std::begin(flat), std::end(flat), 1.0);
    horizonDegrees.assign(directions * kRunMost, -90.0);
}

void AddSteps(const StepSun* steps, std::size_t count, double g0, double linke, double albedo, const RunTexels& run,
              RunTotals* totals) {
    HWY_DYNAMIC_DISPATCH(AddStepsImpl)(steps, count, g0, linke, albedo, run, totals);
}

}  // namespace solar
#endif  // HWY_ONCE
