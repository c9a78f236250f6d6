#include "solar/sun_position.h"

#include <cmath>
#include <numbers>

namespace solar {

namespace {

// The day angle of the year, radians.
double DayAngle(int day) { return 2 * std::numbers::pi * day / 365.25; }

}  // namespace

double Declination(int day) {
    const double j = DayAngle(day);
    return std::asin(0.3978 * std::sin(j - 1.4 + 0.0355 * std::sin(j - 0.0489)));
}

double ExtraterrestrialIrradiance(int day) {
    return kSolarConstant * (1 + 0.03344 * std::cos(DayAngle(day) - 0.048869));
}

double EquationOfTime(int day) {
    const double g = 2 * std::numbers::pi * (day - 1) / 365.0;
    const double minutes = 229.18 * (0.000075 + 0.001868 * std::cos(g) - 0.032077 * std::sin(g) -
                                     0.014615 * std::cos(2 * g) - 0.040849 * std::sin(2 * g));
    return minutes / 60;
}

double HourAngle(double hours) { return (hours - 12) * std::numbers::pi / 12; }

SunPath::SunPath(const Trig& latitude, const Trig& declination) {
    cosDec_ = declination.cos;
    tanLatTanDec_ = latitude.tan * declination.tan;
    sinLatSinDec_ = latitude.sin * declination.sin;
    cosLatCosDec_ = latitude.cos * cosDec_;
    cosLatSinDec_ = latitude.cos * declination.sin;
    sinLatCosDec_ = latitude.sin * cosDec_;
}

double SunPath::sunsetHourAngle() const {
    if (-tanLatTanDec_ >= 1) return 0;
    if (-tanLatTanDec_ <= -1) return std::numbers::pi;
    return std::acos(-tanLatTanDec_);
}

}  // namespace solar
