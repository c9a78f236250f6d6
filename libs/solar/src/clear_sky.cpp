#include "solar/clear_sky.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace solar {

namespace {

constexpr double kDegrees = 180 / std::numbers::pi;

// Muneer's function of the slope for the diffuse sky with anisotropy `n`.
double SlopeFunction(const Surface& surface, double n) { return surface.openPlane + surface.anisotropic * n; }

// The sine of the elevation below which the circumsolar part follows the slope alone.
const double kLowSun = std::sin(0.1);

}  // namespace

double PressureRatio(double altitude) { return std::exp(-altitude / 8434.5); }

double RelativeAirMass(double elevation, double pressure) {
    const double refraction = 0.061359 * (0.1594 + 1.123 * elevation + 0.065656 * elevation * elevation) /
                              (1 + 28.9344 * elevation + 277.3971 * elevation * elevation);
    const double refracted = elevation + refraction;
    return pressure / (std::sin(refracted) + 0.50572 * std::pow(refracted * kDegrees + 6.07995, -1.6364));
}

double RayleighThickness(double m) {
    if (m > 20) return 1 / (10.4 + 0.718 * m);
    return 1 / (6.6296 + m * (1.7513 + m * (-0.1202 + m * (0.0065 - m * 0.00013))));
}

Turbidity::Turbidity(double t) : linke(t) {
    transmission = -0.015843 + 0.030543 * t + 0.0003797 * t * t;
    a1 = 0.26463 - 0.061581 * t + 0.0031408 * t * t;
    if (a1 * transmission < 0.0022) a1 = 0.0022 / transmission;
    a2 = 2.04020 + 0.018945 * t - 0.011161 * t * t;
    a3 = -1.3025 + 0.039231 * t + 0.0085079 * t * t;
}

Moment MomentOf(double g0, double sinElevation, const Turbidity& turbidity) {
    if (!(sinElevation > 0)) return {};
    return MomentOf(g0, sinElevation, std::asin(std::min(sinElevation, 1.0)), turbidity);
}

Moment MomentOf(double g0, double sinElevation, double elevation, const Turbidity& turbidity) {
    const double angular = turbidity.a1 + turbidity.a2 * sinElevation + turbidity.a3 * sinElevation * sinElevation;
    return {g0, sinElevation, RelativeAirMass(elevation, 1.0), std::max(0.0, g0 * turbidity.transmission * angular)};
}

HorizontalSky SkyAt(const Moment& moment, double pressure, const Turbidity& turbidity) {
    if (!(moment.sinElevation > 0)) return {};
    const double m = moment.seaLevelAirMass * pressure;
    HorizontalSky sky;
    sky.beamShare = std::exp(-0.8662 * turbidity.linke * m * RayleighThickness(m));
    sky.beamNormal = moment.g0 * sky.beamShare;
    sky.beam = sky.beamNormal * moment.sinElevation;
    sky.diffuse = moment.diffuse;
    return sky;
}

HorizontalSky ClearSkyHorizontal(double g0, double sinElevation, double pressure, const Turbidity& turbidity) {
    return SkyAt(MomentOf(g0, sinElevation, turbidity), pressure, turbidity);
}

SunOnSurface SunOn(const SunPlace& sun, const Surface& surface) {
    const double across = sun.east * surface.sinAspect + sun.north * surface.cosAspect;
    const double cosElevation = std::sqrt(std::max(0.0, 1 - sun.sinElevation * sun.sinElevation));
    return {sun.sinElevation, sun.sinElevation * surface.cosSlope + surface.sinSlope * across,
            cosElevation > 0 ? surface.sinSlope * across / cosElevation : 0};
}

Irradiance OnSurface(const HorizontalSky& sky, const SunOnSurface& sun, const Surface& surface, bool sunVisible,
                     double albedo) {
    Irradiance on;
    if (!(sun.sinElevation > 0)) return on;
    const bool lit = sunVisible && sun.incidence > 0;
    if (lit) on.beam = sky.beamNormal * sun.incidence;
    const double kb = sky.beamShare;
    if (!lit) {
        on.diffuse = sky.diffuse * SlopeFunction(surface, 0.25227) * surface.skyShare;
    } else {
        const double isotropic = SlopeFunction(surface, 0.00263 - 0.712 * kb - 0.6883 * kb * kb) * (1 - kb);
        // Near the horizon the circumsolar part follows the surface's orientation alone.
        // (A horizontal surface keeps the whole circumsolar part, as the model's horizontal diffuse.)
        const double circumsolar =
            sun.sinElevation >= kLowSun || surface.slope == 0
                ? kb * sun.incidence / sun.sinElevation
                : kb * sun.facing / (0.1 - 0.008 * std::asin(sun.sinElevation));
        on.diffuse = sky.diffuse * (isotropic * surface.skyShare + std::max(0.0, circumsolar));
    }
    on.reflected = albedo * ((sunVisible ? sky.beam : 0) + sky.diffuse) * (1 - surface.cosSlope) / 2;
    return on;
}

}  // namespace solar
