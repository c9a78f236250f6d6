#pragma once
// One lattice line of a direction: its samples gathered once, then swept for the
// horizon of each texel in either direction along it.
#include <cstdint>
#include <vector>

#include "skyline/sampling_model.h"

namespace skyline {

// The samples of one line in order of position: texels and the crossings between
// them (and beyond its end texels, while inside the map).
struct LineProfile {
    std::vector<double> position;     // whole numbers below 2^53, held exactly
    std::vector<double> w;            // Lowered elevation
    std::vector<std::int64_t> texel;  // index in the grid, or -1 for a crossing between texels
    void clear() {
        position.clear();
        w.clear();
        texel.clear();
    }
};

// The crossings strictly between consecutive lattice points of `g`'s lines, relative
// to the first point, in order of position: the same for every step of every line of
// the direction, so worked out once per direction.
struct CrossingPlan {
    struct Crossing {
        std::int64_t loX, loY, hiX, hiY;  // the two texels it lies between
        double weight;                    // its CrossingWeight from lo to hi
        std::int64_t units;               // its position past the first point
    };
    std::vector<Crossing> crossings;  // |dx| + |dy| - 2 of them
};

// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] CrossingPlan MakeCrossingPlan(const LineGeometry& g);

// As GatherLine below, with `plan` from MakeCrossingPlan(g).
void GatherLine(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, std::int64_t x, std::int64_t y,
                LineProfile* profile);

// The first texel of a line: the texel one step back is outside the map.
struct LineStart {
    std::int64_t x, y;
};

// GatherLine for each of the `count` lines from `starts` into `profiles[0..count)`,
// walked step by step together: neighbouring lines read neighbouring texels, so
// the map is read once into the cache for all of them instead of once for each.
void GatherLines(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                 std::size_t count, LineProfile* profiles);

// Gathers the line of `g`'s direction whose first texel is (x, y) (the texel one
// step back is outside the map) into `profile`, replacing what it held. No-data
// texels and the crossings that touch them are left out. Exhausted memory escapes
// as std::bad_alloc.
void GatherLine(const Grid& grid, const LineGeometry& g, std::int64_t x, std::int64_t y, LineProfile* profile);

// The upper hull of the samples already passed, nearest last: the whole state a
// sweep carries from one stretch of a line to the next.
struct HullState {
    struct Vertex {
        double position, w;
    };
    std::vector<Vertex> vertices;
    void clear() { vertices.clear(); }
};

// Sweeps `profile` against the direction of the horizon asked for, so that each
// texel sees the hull of the samples ahead of it: `ahead` +1 for the direction of
// the positions (towards greater ones), -1 for its opposite. Sets `best[k]`
// (resized to the profile) to the greatest SlopeQuotient from texel sample k, NaN
// for samples between texels and for texels with no sample ahead. `hull` enters
// holding the samples beyond the profile's end in that direction (empty at the
// map's edge) and leaves holding the hull after it. Exhausted memory escapes as
// std::bad_alloc.
void SweepLine(const LineProfile& profile, int ahead, HullState* hull, std::vector<double>* best);

// As SweepLine over the samples within `reach` position units (at least 1) of each
// texel only (--max-distance): the line cut into stretches of `reach`; a texel sees
// the hull of the rest of its stretch, swept as above, and the upper hull of the
// next stretch's samples within reach, built as the texels advance and searched
// for its tangent. Exhausted memory escapes as std::bad_alloc.
void SweepLineWithin(const LineProfile& profile, int ahead, std::int64_t reach, std::vector<double>* best);

}  // namespace skyline
