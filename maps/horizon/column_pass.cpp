#include "maps/horizon/column_pass.h"

#include "maps/horizon/exact_scale.h"

namespace horizon {

void ColumnScratch::Reserve(std::size_t n) {
    if (next.size() >= n) return;
    next.resize(n);
    suffixMax.resize(n);
    hull.resize(n);
    hullY.resize(n);
    hullZ.resize(n);
    zDouble.resize(n);
    edgeSlope.resize(n);
    popped.resize(n);
}

ScaledColumn ScaleColumn(const float* z, std::size_t n, std::int64_t* zInt) {
    ScaledColumn scaled;
    const ScaleRange range = ScaleRangeOf(z, n);
    if (!range.Fits(kElevationBits) || (range.any && range.highExp > 126)) return scaled;
    ScaleExactly(z, n, range.lowExp, zInt);
    scaled.usable = true;
    // Integers below 2^23 in magnitude differ by less than 2^24.
    scaled.exactDifferences = !range.any || range.highExp - range.lowExp <= 23;
    return scaled;
}

std::uint64_t GreatestSlopes(const float* z, const std::int64_t* zInt, const ScaledColumn& scaled,
                             const PassGeometry& geometry, float* best, ColumnScratch& scratch) {
    scratch.Reserve(geometry.n);
    if (geometry.yInt != nullptr && scaled.usable)
        return GreatestSlopesByHull(z, zInt, geometry.exactDifferences && scaled.exactDifferences, geometry, best,
                                    scratch);
    return GreatestSlopesByChain(z, geometry, best, scratch);
}

}  // namespace horizon
