#include "maps/horizon/column_pass.h"

#include "maps/horizon/exact_scale.h"

namespace horizon {

void ColumnScratch::Reserve(std::size_t n) {
    if (next.size() >= n) return;
    next.resize(n);
    suffixMax.resize(n);
    zInt.resize(n);
    hull.resize(n);
    popped.resize(n);
    blockMax.resize(n / 16 + 1);
}

std::uint64_t GreatestSlopes(const float* z, const PassGeometry& geometry, float* best, ColumnScratch& scratch) {
    scratch.Reserve(geometry.n);
    if (geometry.yInt != nullptr) {
        const ScaleRange range = ScaleRangeOf(z, geometry.n);
        // Below 2^126 no difference of two elevations overflows.
        if (range.Fits(kElevationBits) && (!range.any || range.highExp <= 126)) {
            ScaleExactly(z, geometry.n, range.lowExp, scratch.zInt.data());
            // Integers below 2^23 in magnitude differ by less than 2^24: every difference is a float.
            const bool exact = geometry.exactDifferences && (!range.any || range.highExp - range.lowExp <= 23);
            return GreatestSlopesByHull(z, scratch.zInt.data(), exact, geometry, best, scratch);
        }
    }
    return GreatestSlopesByChain(z, geometry, best, scratch);
}

}  // namespace horizon
