#pragma once
// The clear-sky model of the European Solar Radiation Atlas as Šúri and Hofierka
// (2004) apply it to inclined surfaces: beam and diffuse irradiance from the Linke
// turbidity and the sun's elevation, the diffuse part on a slope after Muneer, the
// part reflected from the ground as isotropic. W/m², angles in radians.
#include <cmath>

#include "solar/sun_position.h"

namespace solar {

// The air pressure `altitude` metres above the sea over that at the sea:
// exp(-z / 8434.5 m).
[[nodiscard]] double PressureRatio(double altitude);

// The air mass relative to the zenith's at `elevation` of the sun (above 0),
// refracted (Kasten and Young), where the pressure is `pressure` times the sea's.
[[nodiscard]] double RelativeAirMass(double elevation, double pressure);

// The Rayleigh optical thickness at air mass `m` (above 0; Kasten's fit of 1996).
[[nodiscard]] double RayleighThickness(double m);

// What the model needs of the Linke turbidity `linke`, worked out once.
struct Turbidity {
    explicit Turbidity(double linke);
    double linke;
    double transmission;  // Tn: the diffuse transmission at the zenith
    double a1, a2, a3;    // the diffuse angular function's coefficients
};

// The sky's irradiance on a horizontal surface at one moment, with the sun at
// sine of elevation above 0.
struct HorizontalSky {
    double beamNormal = 0;  // on a plane facing the sun
    double beam = 0;        // horizontal
    double diffuse = 0;     // horizontal
    double beamShare = 0;   // Kb: the horizontal beam over the extraterrestrial irradiance on the horizontal
};

// What one moment's sky shares among places at different heights: the sun's
// elevation, the air mass at the sea and the horizontal diffuse irradiance.
struct Moment {
    double g0 = 0;             // extraterrestrial irradiance, W/m²
    double sinElevation = 0;   // 0 to 1; at or below 0 no sky
    double seaLevelAirMass = 0;
    double diffuse = 0;        // horizontal, W/m²
};
[[nodiscard]] Moment MomentOf(double g0, double sinElevation, const Turbidity& turbidity);
// The same with the sun's `elevation` (asin of sinElevation, above 0) known already.
[[nodiscard]] Moment MomentOf(double g0, double sinElevation, double elevation, const Turbidity& turbidity);

// The sky of `moment` where the pressure is `pressure` times the sea's.
[[nodiscard]] HorizontalSky SkyAt(const Moment& moment, double pressure, const Turbidity& turbidity);

// The horizontal beam and diffuse irradiance for extraterrestrial irradiance `g0`,
// the sun at `sinElevation` (0 to 1) for a place where the pressure is `pressure`
// times the sea's (PressureRatio). All 0 with the sun at or below the horizon.
[[nodiscard]] HorizontalSky ClearSkyHorizontal(double g0, double sinElevation, double pressure,
                                               const Turbidity& turbidity);

// A surface: its slope from horizontal and the azimuth it faces (downhill,
// clockwise from north, in the frame of the sun's place), and the share of the
// sky a plane of its slope would see that the terrain leaves open (1: none hidden).
struct Surface {
    Surface(double slopeAngle = 0, double aspectAngle = 0, double openShare = 1)
        : slope(slopeAngle),
          aspect(aspectAngle),
          skyShare(openShare),
          cosSlope(std::cos(slopeAngle)),
          sinSlope(std::sin(slopeAngle)),
          cosAspect(std::cos(aspectAngle)),
          sinAspect(std::sin(aspectAngle)),
          openPlane((1 + cosSlope) / 2),
          anisotropic(sinSlope - slopeAngle * cosSlope -
                      3.14159265358979323846 * std::sin(slopeAngle / 2) * std::sin(slopeAngle / 2)) {}
    double slope, aspect, skyShare;
    double cosSlope, sinSlope, cosAspect, sinAspect;
    // Muneer's function of the slope is openPlane + anisotropic N.
    double openPlane, anisotropic;
};

// The sun as `surface` meets it, from its place in the surface's frame: the cosine
// of its angle of incidence (negative: behind the surface) and sin S cos(A - aspect)
// over cos elevation, S the slope and A the sun's azimuth (0 at the zenith).
struct SunOnSurface {
    double sinElevation = 0;
    double incidence = 0;
    double facing = 0;
};
[[nodiscard]] SunOnSurface SunOn(const SunPlace& sun, const Surface& surface);

struct Irradiance {
    double beam = 0, diffuse = 0, reflected = 0;
};

// The irradiance on `surface` from `sky` with the sun `on` it, the beam only where
// `sunVisible` (not behind the terrain) and the sun in front of the surface;
// `albedo` the ground's reflectance. The sky's diffuse part is scaled by the
// surface's sky share, the circumsolar part kept while the sun is seen. The ground
// around reflects the horizontal beam only where `sunVisible`: where the terrain
// shades the texel it shades the ground beside it.
[[nodiscard]] Irradiance OnSurface(const HorizontalSky& sky, const SunOnSurface& on, const Surface& surface,
                                   bool sunVisible, double albedo);

}  // namespace solar
