#pragma once
// Horizon angles of every texel in several directions, line by line on threads.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "results/result_code.h"
#include "sky/sampling_model.h"

namespace sky {

struct HorizonRequest {
    std::vector<LatticeDirection> directions;
    double cellX = 1;
    double cellY = 1;
    bool curvature = false;
    double maxDistance = 0;  // metres; 0: out to the map's edge
    unsigned threads = 1;    // at least 1
    // Called now and then from one thread with the share of the lines done, [0, 1].
    std::function<void(double)> progress;
};

// One band per direction (width * height floats, packed rows): the HorizonAngle of
// each texel, kNoData where the texel has no data or no sample ahead. A direction
// and its opposite share one gather of each line. S_OK; E_INVALIDARG for an empty
// grid, no directions or cells not above 0; E_OUTOFMEMORY, `bands` then empty.
[[nodiscard]] HRESULT ComputeHorizonBands(const Grid& grid, const HorizonRequest& request,
                                          std::vector<std::vector<float>>* bands);

}  // namespace sky
