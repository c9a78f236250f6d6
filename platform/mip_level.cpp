#include <algorithm>

#include "platform/texture.h"

namespace {

// Source indices covered by target index i along an axis of `size` texels.
struct Span {
    UINT first;
    UINT count;
};

Span Covered(UINT i, UINT size) {
    if (size == 1) return {0, 1};
    const UINT lowerSize = size / 2;
    const bool widened = (size % 2 == 1) && i == lowerSize - 1;
    return {2 * i, widened ? 3u : 2u};
}

}  // namespace

void DownsampleLevel(const float* upper, UINT width, UINT height, float* lower) {
    const UINT lowerWidth = std::max(1u, width / 2);
    const UINT lowerHeight = std::max(1u, height / 2);
    for (UINT r = 0; r < lowerHeight; ++r) {
        const Span rows = Covered(r, height);
        for (UINT c = 0; c < lowerWidth; ++c) {
            const Span cols = Covered(c, width);
            double sum[4] = {0, 0, 0, 0};
            for (UINT y = rows.first; y < rows.first + rows.count; ++y)
                for (UINT x = cols.first; x < cols.first + cols.count; ++x) {
                    const float* texel = upper + (static_cast<std::size_t>(y) * width + x) * 4;
                    for (int ch = 0; ch < 4; ++ch) sum[ch] += texel[ch];
                }
            const double n = static_cast<double>(rows.count) * cols.count;
            float* out = lower + (static_cast<std::size_t>(r) * lowerWidth + c) * 4;
            for (int ch = 0; ch < 4; ++ch) out[ch] = static_cast<float>(sum[ch] / n);
        }
    }
}
