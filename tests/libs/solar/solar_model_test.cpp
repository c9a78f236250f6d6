// The sunlight model against published values and against a plain integration.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "solar/day_sum.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;

// Almanac declinations and extraterrestrial irradiance at perihelion and aphelion.
TEST(SolarModel, DaysAgainstPublishedValues) {
    const struct {
        int day;
        double declination;  // degrees
        double irradiance;   // W/m²
        double tolerance;
    } cases[] = {
        {3, -22.8, 1412, 3},      // perihelion
        {80, 0.0, 1378, 3},       // March equinox
        {172, 23.44, 1322, 3},    // June solstice
        {185, 22.8, 1321, 3},     // aphelion
        {266, 0.0, 1358, 3},      // September equinox
        {355, -23.44, 1411, 3},   // December solstice
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(solar::Declination(c.day) / kDeg, c.declination, 0.5) << c.day;
        EXPECT_NEAR(solar::ExtraterrestrialIrradiance(c.day), c.irradiance, c.tolerance) << c.day;
    }
}

// Day lengths (geometric sunrise to sunset) and the sun's place at known moments.
TEST(SolarModel, SunPathAgainstKnownGeometry) {
    const struct {
        double latitude, declination;  // degrees
        double dayHours;               // sunrise to sunset
        double hour;                   // a local solar time and the sun's place then
        double elevation, azimuth;     // degrees
    } cases[] = {
        {0, 23.44, 12, 6, 0, 66.56},          // equator: twelve hours, sunrise north of east
        {45, 23.44, 15.426, 12, 68.44, 180},  // noon in summer, due south
        {45, -23.44, 8.574, 12, 21.56, 180},
        {-33.9, -23.44, 14.258, 12, 79.54, 0},  // southern summer: noon to the north
        {70, -23.44, 0, 12, -3.44, 180},       // polar night
        {70, 23.44, 24, 0, 3.44, 0},           // midnight sun, due north
        {40, 0, 12, 9, 32.80, 122.8},          // equinox morning
    };
    for (const auto& c : cases) {
        const solar::SunPath path(c.latitude * kDeg, c.declination * kDeg);
        EXPECT_NEAR(2 * path.sunsetHourAngle() * solar::DayClock::kHoursPerRadian, c.dayHours, 0.01) << c.latitude;
        const double hour = solar::HourAngle(c.hour);
        const solar::SunPlace sun = path.at(std::cos(hour), std::sin(hour));
        EXPECT_NEAR(std::asin(sun.sinElevation) / kDeg, c.elevation, 0.02) << c.latitude << " " << c.hour;
        EXPECT_NEAR(std::remainder(sun.azimuth() / kDeg - c.azimuth, 360), 0, 0.1) << c.latitude << " " << c.hour;
    }
}

// The day's steps cover sunrise to sunset exactly, whatever the step.
TEST(SolarModel, ClockCoversTheDay) {
    for (double step : {0.5, 0.7, 1.0, 24.0, 0.01}) {
        const solar::DayClock clock(step);
        for (double sunset : {0.0, 0.3, 1.9, std::numbers::pi}) {
            double hours = 0;
            clock.forEachStep(sunset, [&](double, double, double h) { hours += h; });
            EXPECT_NEAR(hours, 2 * sunset * solar::DayClock::kHoursPerRadian, 1e-9) << step << " " << sunset;
        }
    }
}

// A horizontal open surface's day summed at half-hour steps against the model
// integrated minute by minute from its closed form, and the day's global against
// the 7.5-9 kWh/m² clear summer days give at mid-latitudes at Linke 3. The diffuse
// part within 0.3 %: whole steps about sunrise and sunset instead of the cut ones
// miss it by 0.45 % on day 172 and 0.9 % on day 355 (the diffuse light is some
// 12 W/m² with the sun on the horizon).
TEST(SolarModel, FlatOpenDayAgainstFineIntegration) {
    const solar::Turbidity turbidity(3.0);
    for (int dayOfYear : {80, 172, 355}) {
        const solar::DayClock clock(0.5);
        const solar::Day day(dayOfYear, clock, turbidity, 0.2);
        const solar::Place place{45 * kDeg, 200, {}, 0};
        const solar::DayTotals totals = solar::SumDay(day, place, [](double) { return -std::numbers::pi / 2; });
        double beam = 0, diffuse = 0;
        const double g0 = 1367 * (1 + 0.03344 * std::cos(2 * std::numbers::pi * dayOfYear / 365.25 - 0.048869));
        for (int minute = 0; minute < 24 * 60; ++minute) {
            const double hourAngle = ((minute + 0.5) / 60 - 12) * 15 * kDeg;
            const double sinH = std::sin(45 * kDeg) * std::sin(day.declination) +
                                std::cos(45 * kDeg) * std::cos(day.declination) * std::cos(hourAngle);
            if (sinH <= 0) continue;
            const double h = std::asin(sinH);
            const double refracted = h + 0.061359 * (0.1594 + 1.123 * h + 0.065656 * h * h) /
                                             (1 + 28.9344 * h + 277.3971 * h * h);
            const double m = std::exp(-200 / 8434.5) /
                             (std::sin(refracted) + 0.50572 * std::pow(refracted / kDeg + 6.07995, -1.6364));
            const double rayleigh = m <= 20 ? 1 / (6.6296 + 1.7513 * m - 0.1202 * m * m + 0.0065 * std::pow(m, 3) -
                                                   0.00013 * std::pow(m, 4))
                                            : 1 / (10.4 + 0.718 * m);
            beam += g0 * std::exp(-0.8662 * 3 * m * rayleigh) * sinH / 60;
            const double tn = -0.015843 + 0.030543 * 3 + 0.0003797 * 9;
            const double a1 = 0.26463 - 0.061581 * 3 + 0.0031408 * 9, a2 = 2.04020 + 0.018945 * 3 - 0.011161 * 9,
                         a3 = -1.3025 + 0.039231 * 3 + 0.0085079 * 9;
            diffuse += g0 * tn * (a1 + a2 * sinH + a3 * sinH * sinH) / 60;
        }
        EXPECT_NEAR(totals.beam / beam, 1, 0.005) << dayOfYear;
        EXPECT_NEAR(totals.diffuse / diffuse, 1, 0.003) << dayOfYear;
        EXPECT_EQ(totals.reflected, 0) << dayOfYear;
        if (dayOfYear == 172) {
            EXPECT_GT(totals.beam + totals.diffuse, 7500);
            EXPECT_LT(totals.beam + totals.diffuse, 9000);
        }
    }
}

// At 45 degrees north in winter a slope facing south gains on the flat and one
// facing north as steep as the noon sun is low gets no beam; a surface whose
// horizon hides the sun all day keeps only diffuse and reflected light.
TEST(SolarModel, SlopesAndHorizons) {
    const solar::Turbidity turbidity(3.0);
    const solar::DayClock clock(0.25);
    const solar::Day winter(355, clock, turbidity, 0.2);
    const auto open = [](double) { return -std::numbers::pi / 2; };
    const auto sum = [&](double slope, double aspect, double skyShare, auto horizon) {
        return solar::SumDay(winter, {45 * kDeg, 0, {slope * kDeg, aspect * kDeg, skyShare}, 0}, horizon);
    };
    const solar::DayTotals flat = sum(0, 0, 1, open), south = sum(30, 180, 1, open), north = sum(30, 0, 1, open);
    EXPECT_GT(south.beam, 1.5 * flat.beam);
    EXPECT_EQ(north.beam, 0);
    EXPECT_EQ(north.sunHours, 0);
    EXPECT_GT(north.diffuse, 0);
    EXPECT_GT(south.reflected, 0);
    const solar::DayTotals pit = sum(0, 0, 0.5, [](double) { return 40 * kDeg; });
    EXPECT_EQ(pit.beam, 0);
    EXPECT_EQ(pit.sunHours, 0);
    EXPECT_NEAR(pit.diffuse, flat.diffuse * 0.5, flat.diffuse * 0.01);
    // The ground around a slope the terrain shades all day reflects the sky's diffuse light alone.
    const solar::DayTotals shaded = sum(30, 180, 1, [](double) { return 40 * kDeg; });
    EXPECT_NEAR(shaded.reflected, 0.2 * (1 - std::cos(30 * kDeg)) / 2 * flat.diffuse, 1e-9 * flat.diffuse);
    // The grid turned: a horizon rising only towards grid azimuths 150-210 hides
    // the noon sun when grid north is true north, not when it points east.
    const auto southWall = [](double azimuth) {
        return std::fabs(std::remainder(azimuth - std::numbers::pi, 2 * std::numbers::pi)) < 30 * kDeg ? 30 * kDeg
                                                                                                        : 0.0;
    };
    const solar::DayTotals walled = sum(0, 0, 1, southWall);
    const solar::DayTotals turned =
        solar::SumDay(winter, {45 * kDeg, 0, {0, 0, 1}, 90 * kDeg}, southWall);
    EXPECT_LT(walled.beam, 0.5 * flat.beam);
    EXPECT_GT(turned.beam, 0.9 * flat.beam);
}

}  // namespace
