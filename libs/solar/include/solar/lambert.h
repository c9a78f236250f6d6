#pragma once
// How brightly the sun lights a surface by Lambert's law, the one rule behind every
// hillshade the programs draw.
#include <cmath>

namespace solar {

// The unit vector towards the sun in a frame whose x and y run along the ground
// (east and north, or a grid's columns and rows) and z up.
struct SunVector {
    double x = 0, y = 0, z = 0;
};

// The sun at `azimuth` degrees clockwise from the frame's y axis towards its x axis,
// `elevation` degrees above the ground.
[[nodiscard]] SunVector SunVectorOf(double azimuth, double elevation);

// The cosine of the sun's angle of incidence on a surface whose height rises by
// `dzdx` and `dzdy` per unit along x and y: n . sun with n the surface's unit
// normal; 0 or below when the sun is behind the surface. NaN when a slope is not a
// number or both are infinite.
[[nodiscard]] inline double LambertLevel(double dzdx, double dzdy, const SunVector& sun) {
    return (-dzdx * sun.x - dzdy * sun.y + sun.z) / std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0);
}

}  // namespace solar
