#pragma once
// One day's clear-sky irradiation and hours of direct sun on one surface, the sun
// hidden wherever the terrain's horizon towards it stands above it.
#include <cstddef>

#include "solar/clear_sky.h"
#include "solar/day_clock.h"
#include "solar/sun_position.h"

namespace solar {

// What is common to every place on one day.
struct Day {
    Day(int dayOfYear, const DayClock& dayClock, const Turbidity& sky, double groundAlbedo)
        : declination(Declination(dayOfYear)),
          declinationTrig(declination),
          extraterrestrial(ExtraterrestrialIrradiance(dayOfYear)),
          clock(dayClock),
          turbidity(sky),
          albedo(groundAlbedo) {}
    double declination;
    Trig declinationTrig;
    double extraterrestrial;  // W/m²
    const DayClock& clock;
    const Turbidity& turbidity;
    double albedo;
};

// A place: latitude (radians), altitude (metres), its surface (aspect in the grid's
// frame) and the true azimuth of the grid's north there (radians clockwise).
struct Place {
    double latitude = 0;
    double altitude = 0;
    Surface surface;
    double gridNorth = 0;
};

// Wh/m² over the day, and hours.
struct DayTotals {
    double beam = 0, diffuse = 0, reflected = 0;
    double sunHours = 0;  // the sun above the horizon towards it and in front of the surface
};

// Adds one day to `totals` of `count` places that share a latitude and the true
// azimuth of the grid's north (radians), each with its surface and its pressure
// (PressureRatio of its altitude): each time step's irradiance times its length.
// `horizonAt(azimuth)`, for a grid azimuth (radians clockwise from grid north),
// gives a function of the place's index k, the elevation (radians) of the
// terrain's horizon there towards it; the sun is seen where it stands above it.
template <class HorizonAt>
void AddDay(const Day& day, double latitude, double gridNorth, const Surface* surfaces, const double* pressures,
            std::size_t count, HorizonAt&& horizonAt, DayTotals* totals) {
    const SunPath path(latitude, day.declination);
    const double cosNorth = std::cos(gridNorth), sinNorth = std::sin(gridNorth);
    day.clock.forEachStep(path.sunsetHourAngle(), [&](double cosHour, double sinHour, double hours) {
        const SunPlace sun = path.at(cosHour, sinHour).turned(cosNorth, sinNorth);
        if (!(sun.sinElevation > 0)) return;
        const double elevation = std::asin(std::min(sun.sinElevation, 1.0));
        const auto horizon = horizonAt(sun.azimuth());
        const Moment moment = MomentOf(day.extraterrestrial, sun.sinElevation, day.turbidity);
        for (std::size_t k = 0; k < count; ++k) {
            const SunOnSurface on = SunOn(sun, surfaces[k]);
            // Behind its own plane the sun is hidden whatever the horizon.
            const bool clear = elevation > horizon(k), visible = on.incidence > 0 && clear;
            const Irradiance got =
                OnSurface(SkyAt(moment, pressures[k], day.turbidity), on, surfaces[k], clear, day.albedo);
            totals[k].beam += got.beam * hours;
            totals[k].diffuse += got.diffuse * hours;
            totals[k].reflected += got.reflected * hours;
            if (visible) totals[k].sunHours += hours;
        }
    });
}

// One day on one place. `horizon(azimuth)` gives the elevation (radians) of the
// terrain's horizon towards a grid azimuth (radians clockwise from grid north).
template <class Horizon>
[[nodiscard]] DayTotals SumDay(const Day& day, const Place& place, Horizon&& horizon) {
    DayTotals totals;
    const double pressure = PressureRatio(place.altitude);
    AddDay(
        day, place.latitude, place.gridNorth, &place.surface, &pressure, 1,
        [&](double azimuth) { return [&horizon, azimuth](std::size_t) { return horizon(azimuth); }; }, &totals);
    return totals;
}

}  // namespace solar
