#include "pass_geometry.h"

#include <cmath>

#include "exact_scale.h"

namespace horizon {

PassPositions::PassPositions(std::uint32_t n, float cellSize, bool backward) : y_(n + kReadPadding, 0.0f) {
    for (std::uint32_t k = 0; k < n; ++k) {
        const float yk = static_cast<float>(k) * cellSize;
        if (backward)
            y_[n - 1 - k] = -yk;
        else
            y_[k] = yk;
    }
    bool regular = true;
    for (std::uint32_t k = 0; k < n && regular; ++k) regular = std::isfinite(y_[k]) && (k == 0 || y_[k] > y_[k - 1]);

    geometry_.y = y_.data();
    geometry_.n = n;
    geometry_.regular = regular;
    if (regular) {
        const ScaleRange range = ScaleRangeOf(y_.data(), n);
        if (range.fits(kPositionBits)) {
            yInt_.resize(n);
            ScaleExactly(y_.data(), n, range.lowExp, yInt_.data());
            geometry_.yInt = yInt_.data();
            geometry_.exactDifferences = n == 0 || yInt_[n - 1] - yInt_[0] < (std::int64_t{1} << 24);
            if (range.highExp - range.lowExp <= 52) {
                yDouble_.assign(yInt_.begin(), yInt_.end());
                geometry_.yDouble = yDouble_.data();
            }
        }
    }
}

}  // namespace horizon
