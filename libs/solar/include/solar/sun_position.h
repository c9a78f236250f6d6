#pragma once
// Where the sun stands, from the day of the year and the hour angle at a latitude.
// Angles in radians; days counted from 1 (1 January) to 366.
#include <cmath>

namespace solar {

// The solar constant, W/m².
constexpr double kSolarConstant = 1367.0;

// The sun's declination on `day` (Gruter's fit, within 0.5 degree). Any day.
[[nodiscard]] double Declination(int day);

// The irradiance outside the atmosphere on a plane facing the sun, W/m²: the solar
// constant times the correction for the earth's distance from the sun.
[[nodiscard]] double ExtraterrestrialIrradiance(int day);

// The equation of time on `day` in hours (Spencer): local solar time minus mean
// local time.
[[nodiscard]] double EquationOfTime(int day);

// The hour angle of local solar time `hours` (12: noon, 0).
[[nodiscard]] double HourAngle(double hours);

// The sun's place: the sine of its elevation above the astronomical horizon and
// its direction's horizontal components towards east and north (cos elevation
// times sin and cos of the azimuth clockwise from true north).
struct SunPlace {
    double sinElevation = 0;
    double east = 0, north = 0;
    // Radians clockwise from north, in [-pi, pi].
    [[nodiscard]] double azimuth() const { return std::atan2(east, north); }
    // The same sun in a frame whose north lies at true azimuth `frameNorth`,
    // given by its cosine and sine.
    [[nodiscard]] SunPlace turned(double cosFrameNorth, double sinFrameNorth) const {
        return {sinElevation, east * cosFrameNorth - north * sinFrameNorth,
                north * cosFrameNorth + east * sinFrameNorth};
    }
};

// An angle's sine, cosine and tangent, worked out once for many uses.
struct Trig {
    explicit Trig(double angle) : sin(std::sin(angle)), cos(std::cos(angle)), tan(std::tan(angle)) {}
    double sin, cos, tan;
};

// The sun's path through one day at one latitude (in [-pi/2, pi/2]).
class SunPath {
public:
    SunPath(double latitude, double declination) : SunPath(Trig(latitude), Trig(declination)) {}
    SunPath(const Trig& latitude, const Trig& declination);
    // The hour angle of sunset (sunrise is its negative): 0 where the sun stays
    // below the horizon all day, pi where it stays above it.
    [[nodiscard]] double sunsetHourAngle() const;
    // The sun's place at the hour angle given by its cosine and sine.
    [[nodiscard]] SunPlace at(double cosHourAngle, double sinHourAngle) const {
        return {sinLatSinDec_ + cosLatCosDec_ * cosHourAngle, -cosDec_ * sinHourAngle,
                cosLatSinDec_ - sinLatCosDec_ * cosHourAngle};
    }

private:
    double tanLatTanDec_, sinLatSinDec_, cosLatCosDec_, cosDec_, cosLatSinDec_, sinLatCosDec_;
};

}  // namespace solar
