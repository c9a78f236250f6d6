#pragma once
// One day's clear-sky irradiation and hours of direct sun on one surface, the sun
// hidden wherever the terrain's horizon towards it stands above it.
#include "solar/clear_sky.h"
#include "solar/day_clock.h"
#include "solar/sun_position.h"

namespace solar {

// What is common to every place on one day.
struct Day {
    Day(int dayOfYear, const DayClock& dayClock, const Turbidity& sky, double groundAlbedo)
        : declination(Declination(dayOfYear)),
          extraterrestrial(ExtraterrestrialIrradiance(dayOfYear)),
          clock(dayClock),
          turbidity(sky),
          albedo(groundAlbedo) {}
    double declination;
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

// Sums each time step's irradiance times its length. `horizon(azimuth)` gives the
// elevation (radians) of the terrain's horizon towards a grid azimuth (radians
// clockwise from grid north); the sun is seen where it stands above it.
template <class Horizon>
[[nodiscard]] DayTotals SumDay(const Day& day, const Place& place, Horizon&& horizon) {
    DayTotals totals;
    const SunPath path(place.latitude, day.declination);
    const double cosNorth = std::cos(place.gridNorth), sinNorth = std::sin(place.gridNorth);
    const double pressure = PressureRatio(place.altitude);
    day.clock.forEachStep(path.sunsetHourAngle(), [&](double cosHour, double sinHour, double hours) {
        const SunPlace sun = path.at(cosHour, sinHour).turned(cosNorth, sinNorth);
        if (!(sun.sinElevation > 0)) return;
        const SunOnSurface on = SunOn(sun, place.surface);
        // Behind its own plane the sun is hidden whatever the horizon.
        const bool visible = on.incidence > 0 && std::asin(sun.sinElevation) > horizon(sun.azimuth());
        const HorizontalSky sky =
            ClearSkyHorizontal(day.extraterrestrial, sun.sinElevation, pressure, day.turbidity);
        const Irradiance got = OnSurface(sky, on, place.surface, visible, day.albedo);
        totals.beam += got.beam * hours;
        totals.diffuse += got.diffuse * hours;
        totals.reflected += got.reflected * hours;
        if (visible) totals.sunHours += hours;
    });
    return totals;
}

}  // namespace solar
