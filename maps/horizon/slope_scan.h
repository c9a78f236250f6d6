#pragma once
// The plain float evaluation over a range of samples.
#include <cstddef>

namespace horizon {

// Greatest fl(fl(z[k] - z0) / fl(y[k] - y0)) over k in [begin, end) that is
// > 0, else 0; positions in the range lie strictly beyond y0.
inline float GreatestSlopeIn(const float* z, const float* y, float z0, float y0, std::size_t begin, std::size_t end) {
    float top = 0.0f;
    for (std::size_t k = begin; k < end; ++k) {
        const float slope = (z[k] - z0) / (y[k] - y0);
        top = slope > top ? slope : top;
    }
    return top;
}

}  // namespace horizon
