#include "maps/horizon/horizon_value.h"

namespace horizon {

void ValuesFromSlopes(const float* best, const float* y, const float* z, float halfSize, float* out,
                      std::size_t n) {
    for (std::size_t r = 0; r < n; ++r)
        out[r] = best[r] > 0.0f ? ValueFromSlope(best[r], y[r], z[r], halfSize) : OpenHorizonValue;
}

}  // namespace horizon
