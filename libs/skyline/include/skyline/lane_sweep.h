#pragma once
// Neighbouring lines of one direction swept together, one line a vector lane: they
// share the crossing plan, so one step of the sweep serves every lane.
#include <cstdint>
#include <vector>

#include "skyline/line_sweep.h"

namespace skyline {

// The horizon wanted from a sweep: `ahead` as SweepLine takes it, the angles
// written into `band` (width * height floats) at each texel that has a sample ahead.
struct LaneSweepOutput {
    int ahead;
    float* band;
};

// What the lanes keep between calls, so that a thread allocates it once.
struct LaneScratch {
    std::vector<double> samples;          // Lowered elevations, slot by slot, lane by lane; NaN for none
    std::vector<double> positions;        // each slot's, past the pack's first texels
    std::vector<std::int64_t> below;      // each lane's hull: the slot under each vertex
};

// Sweeps the `count` lines from `starts` (first texels, as FindStarts gives them)
// every way in `outputs`, each lane's samples interpolated once into `scratch` (8
// bytes a sample) and every sample ahead counting (no reach). The angles are those
// GatherLine, SweepLine and HorizonAngle give, bit for bit. Exhausted memory
// escapes as std::bad_alloc.
void SweepLinesInLanes(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                       std::size_t count, const LaneSweepOutput* outputs, std::size_t outputCount,
                       LaneScratch* scratch);

}  // namespace skyline
