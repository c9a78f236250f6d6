#pragma once
// The day's sum of day_sum.h for a run of texels that share the sun's place, with
// the arithmetic of each time step done over the texels side by side. The sun's
// place, its sky at the sea and the horizon directions around it are worked out
// once a step for the whole run; each texel keeps its own surface, pressure and
// horizons. Same operations in the same order as AddDay, so the same sums, bar
// the last bit of the exponential where a vector one is used.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "solar/clear_sky.h"
#include "solar/day_sum.h"

namespace solar {

// Texels in one run at most.
constexpr std::size_t kRunMost = 16;

// The two computed horizon directions around an azimuth, and how far it lies from a to b ([0, 1)).
struct HorizonPair {
    std::size_t a = 0, b = 0;
    double t = 0;
};

// One run's texels lane by lane; lanes past `count` are filler.
struct RunTexels {
    RunTexels() { clear(0, 0); }
    // Empties the run for `directions` horizons a texel; `none` marks a direction without one.
    void clear(std::size_t directions, double none);
    // Appends a texel (count below kRunMost): its surface, pressure and `horizons`, one
    // a direction, degrees above the horizontal or `none`.
    template <class Horizon>
    void add(const Surface& surface, double pressure, Horizon&& horizons) {
        const std::size_t k = count++;
        cosSlope[k] = surface.cosSlope;
        sinSlope[k] = surface.sinSlope;
        cosAspect[k] = surface.cosAspect;
        sinAspect[k] = surface.sinAspect;
        openPlane[k] = surface.openPlane;
        anisotropic[k] = surface.anisotropic;
        shadowed[k] = surface.openPlane + surface.anisotropic * 0.25227;
        skyShare[k] = surface.skyShare;
        pressures[k] = pressure;
        flat[k] = surface.slope == 0 ? 1 : 0;
        for (std::size_t d = 0; d < directions; ++d) horizonDegrees[d * kRunMost + k] = horizons(d);
    }

    std::size_t count = 0, directions = 0;
    double none = 0;
    alignas(64) double cosSlope[kRunMost], sinSlope[kRunMost], cosAspect[kRunMost], sinAspect[kRunMost];
    alignas(64) double openPlane[kRunMost], anisotropic[kRunMost], shadowed[kRunMost], skyShare[kRunMost];
    alignas(64) double pressures[kRunMost], flat[kRunMost];
    std::vector<double> horizonDegrees;  // direction by direction, kRunMost lanes each
};

// Sums lane by lane, Wh/m² and hours.
struct RunTotals {
    void clear() { *this = RunTotals{}; }
    alignas(64) double beam[kRunMost] = {}, diffuse[kRunMost] = {}, reflected[kRunMost] = {}, sunHours[kRunMost] = {};
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
// `run`'s texels, with the model's Linke turbidity `linke` and ground albedo
// `albedo`: AddDay's sums for the run.
void AddSteps(const StepSun* steps, std::size_t count, double g0, double linke, double albedo, const RunTexels& run,
              RunTotals* totals);

}  // namespace solar
