#pragma once
// What a benchmark divides the horizons' time by: the samples the sweeps pass.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skyline/lattice_direction.h"

namespace bench {

// The lattice directions umbrascope-sky takes for `count` evenly spaced azimuths
// on square cells; empty if one has none (it always has).
inline std::vector<skyline::LatticeDirection> EvenDirections(unsigned count) {
    std::vector<skyline::LatticeDirection> directions;
    for (unsigned i = 0; i < count; ++i) {
        skyline::LatticeDirection d;
        if (!skyline::NearestLatticeDirection(360.0 * i / count, 1, 1, 1.0, &d)) return {};
        directions.push_back(d);
    }
    return directions;
}

// The samples one sweep of each direction passes over a width x height map: every
// texel, and the (|dx| - 1) + (|dy| - 1) crossings (none for an axis) between each
// texel and the next one on its line (a line of n texels has n - 1 such gaps; one
// line starts at each texel whose step back leaves the map).
inline double SamplesSwept(std::uint32_t width, std::uint32_t height,
                           const std::vector<skyline::LatticeDirection>& directions) {
    const double texels = double(width) * height;
    double samples = 0;
    for (const skyline::LatticeDirection d : directions) {
        const double ax = std::abs(d.dx), ay = std::abs(d.dy);
        const double edgeRows = std::min<double>(height, ay);
        const double lines = edgeRows * width + (height - edgeRows) * std::min<double>(width, ax);
        samples += texels + (texels - lines) * (std::max(ax - 1, 0.0) + std::max(ay - 1, 0.0));
    }
    return samples;
}

}  // namespace bench
