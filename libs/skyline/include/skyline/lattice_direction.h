#pragma once
// Directions the sweep handles exactly: lattice vectors of the grid.
#include <cstdint>

namespace skyline {

// One step along a direction: `dx` columns to the right and `dy` rows down, whole
// numbers with no common divisor, not both 0.
struct LatticeDirection {
    int dx = 0;
    int dy = -1;
    bool operator==(const LatticeDirection&) const = default;
};

// The azimuth of the direction in degrees clockwise from north, in [0, 360), for
// cells `cellX` by `cellY` metres (any finite sizes other than 0): a column step goes
// `cellX` metres east (west when negative), a row step `cellY` metres south (north
// when negative), so that positive sizes make up the image north.
[[nodiscard]] double AzimuthOf(LatticeDirection d, double cellX, double cellY);

// The cheapest direction (fewest grid lines crossed per step, |dx| + |dy|) whose
// azimuth is within `tolerance` degrees of `azimuth` (any value, taken modulo 360),
// the nearest of those that cost the same. Steps up to 64 either way. False when
// none is within the tolerance, which happens only for cells far from square
// (from a sides' ratio of about 1:4 for azimuths a few degrees off an axis, beyond
// about 1:28 for the 16 default ones).
[[nodiscard]] bool NearestLatticeDirection(double azimuth, double cellX, double cellY, double tolerance,
                                           LatticeDirection* direction);

}  // namespace skyline
