#pragma once
// The day's sum of day_sum.h for a run of texels that share the sun's place, with
// the arithmetic of each time step done over the texels side by side. The sun's
// place, its sky at the sea and the horizon directions around it are worked out
// once a step for the whole run; each texel keeps its own surface, pressure and
// horizons. AddDay's sums to within rounding: the same arithmetic, what a step
// brings every texel alike (its length among it) multiplied out once, the ground's
// reflection summed before the albedo and slope scale it, a vector exponential.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "solar/clear_sky.h"
#include "solar/day_sum.h"

namespace solar {

// Texels in one run at most: a block of 64 x 16.
constexpr std::size_t kRunMost = 1024;

// The pair of neighbouring directions (in the run's azimuth order) around an
// azimuth, and how far it lies from the pair's first to its second ([0, 1)).
struct HorizonPair {
    std::size_t pair = 0;
    double t = 0;
};

// One run's texels lane by lane; lanes past `count` are filler.
struct RunTexels {
    RunTexels() { clear({}, 0); }
    // Empties the run for horizons in the directions `order` lists by azimuth, pair j
    // being order[j] and the next round; `none` marks a direction without one.
    void clear(const std::vector<std::size_t>& order, double none);
    // Appends a texel (count below kRunMost): its surface, pressure and `horizons`, one
    // a direction, degrees above the horizontal or `none`.
    template <class Horizon>
    void add(const Surface& surface, double pressure, Horizon&& horizons) {
        const std::size_t k = count++;
        cosSlope[k] = surface.cosSlope;
        sinSlopeSinAspect[k] = surface.sinSlope * surface.sinAspect;
        sinSlopeCosAspect[k] = surface.sinSlope * surface.cosAspect;
        // The sky's isotropic part seen, Muneer's (O + A N(Kb)) (1 - Kb) times the sky
        // share, N = 0.00263 - 0.712 Kb - 0.6883 Kb², as a cubic in Kb.
        const double o = surface.openPlane, a = surface.anisotropic, share = surface.skyShare;
        isotropic[0][k] = (o + 0.00263 * a) * share;
        isotropic[1][k] = -(o + (0.00263 + 0.712) * a) * share;
        isotropic[2][k] = (0.712 - 0.6883) * a * share;
        isotropic[3][k] = 0.6883 * a * share;
        shadowedShare[k] = (o + a * 0.25227) * share;
        pressures[k] = pressure;
        lowPressure = std::min(lowPressure, pressure);
        highPressure = std::max(highPressure, pressure);
        flat[k] = surface.slope == 0 ? 1 : 0;
        const std::size_t n = order.size();
        for (std::size_t j = 0; j < n; ++j) {
            const double a = horizons(order[j]), b = horizons(order[j + 1 == n ? 0 : j + 1]);
            // Resolved so that a + (b - a) t is the interpolation with the missing side
            // giving way, as skyline::HorizonTowards does.
            const double low = a == none ? (b == none ? -90.0 : b) : a, high = b == none ? low : b;
            pairLow[j * kRunMost + k] = low;
            pairHigh[j * kRunMost + k] = high;
        }
    }

    std::size_t count = 0;
    std::vector<std::size_t> order;
    double none = 0;
    double lowPressure = 0, highPressure = 0;  // over the texels added
    alignas(64) double cosSlope[kRunMost], sinSlopeSinAspect[kRunMost], sinSlopeCosAspect[kRunMost];
    alignas(64) double isotropic[4][kRunMost], shadowedShare[kRunMost];
    alignas(64) double pressures[kRunMost], flat[kRunMost];
    std::vector<double> pairLow, pairHigh;  // pair by pair, kRunMost lanes each
};

// Sums lane by lane, Wh/m² and hours.
struct RunTotals {
    void clear() { *this = RunTotals{}; }
    // Wh/m² the ground around reflects onto texel k of `run` with `albedo`: its
    // beam where the terrain lets it in and the sky's diffuse part, as an isotropic
    // sky seen past the texel's own slope.
    [[nodiscard]] double reflected(std::size_t k, const RunTexels& run, double albedo) const {
        return albedo * (groundBeam[k] + skyDiffuse) * (1 - run.cosSlope[k]) / 2;
    }
    alignas(64) double beam[kRunMost] = {}, diffuse[kRunMost] = {}, groundBeam[kRunMost] = {}, sunHours[kRunMost] = {};
    double skyDiffuse = 0;  // the horizontal diffuse part, alike for every texel
};

// One time step's sun as the whole run sees it (sinElevation above 0).
struct StepSun {
    double sinElevation, east, north, hours;  // the sun's place and the step's length
    // Worked out from those by CompleteSteps:
    double elevation, cosElevation, azimuth;  // azimuth clockwise from grid north, radians
    double seaLevelAirMass, diffuse;          // MomentOf's
    HorizonPair around;
};

// Fills in the worked-out fields of `count` steps whose extraterrestrial irradiance
// is `g0`, the transcendental functions taken over many steps at once (within an ulp
// or two of libm's).
void CompleteSteps(StepSun* steps, std::size_t count, double g0, const Turbidity& turbidity);

// The steps of `day` at `latitude` with the grid's north at a true azimuth of the
// cosine and sine given, with the sun up, into `steps` (emptied first).
// `around(azimuth)`, a grid azimuth in radians clockwise from grid north, gives the
// directions around it.
template <class Around>
void StepsOfDay(const Day& day, const Trig& latitude, double cosNorth, double sinNorth, Around&& around,
                std::vector<StepSun>* steps) {
    steps->clear();
    const SunPath path(latitude, day.declinationTrig);
    day.clock.forEachStep(path.sunsetHourAngle(), [&](double cosHour, double sinHour, double hours) {
        const SunPlace sun = path.at(cosHour, sinHour).turned(cosNorth, sinNorth);
        if (sun.sinElevation > 0) steps->push_back({sun.sinElevation, sun.east, sun.north, hours, 0, 0, 0, 0, 0, {}});
    });
    CompleteSteps(steps->data(), steps->size(), day.extraterrestrial, day.turbidity);
    for (StepSun& step : *steps) step.around = around(step.azimuth);
}

// Adds `count` steps of a day with extraterrestrial irradiance `g0` to `totals` of
// `run`'s texels, with the model's Linke turbidity `linke`: AddDay's sums for the run.
void AddSteps(const StepSun* steps, std::size_t count, double g0, double linke, const RunTexels& run,
              RunTotals* totals);

}  // namespace solar
