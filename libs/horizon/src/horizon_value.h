#pragma once
// The value of a texel from its greatest slope: ForwardValue after its first line,
// which recomputes that very slope from the best sample.
#include <cmath>
#include <cstddef>

#include "horizon/horizon_kernel.h"

namespace horizon {

inline float ValueFromSlope(float s, float y0, float z0, float halfSize) {
    const float farRise = static_cast<float>(s * (kFarDistance - y0));
    const float q = static_cast<float>((z0 + farRise) / (kFarDistance - halfSize));
    const float q2 = q * q;
    const float sum = static_cast<float>(1.0 + q2);
    const float root = static_cast<float>(std::sqrt(static_cast<double>(sum)));
    return static_cast<float>(1.0 / root);
}

// out[r] = ValueFromSlope(best[r], y[r], z[r], halfSize) where best[r] > 0, else
// kOpenHorizonValue. The backward pass passes negated positions and half size.
void ValuesFromSlopes(const float* best, const float* y, const float* z, float halfSize, float* out, std::size_t n);

}  // namespace horizon
