#include "column_pass.h"
#include "proof_stats.h"

namespace horizon {

void ColumnScratch::reserve(std::size_t n) {
    if (next.size() >= n) return;
    next.resize(n);
    suffixMax.resize(n);
    hull.resize(n);
    hullY.resize(n);
    hullZ.resize(n);
}

std::uint64_t GreatestSlopes(const float* z, const std::int64_t* zInt, const double* zDouble,
                             const ScaledColumn& scaled, const PassGeometry& geometry, float* best,
                             ColumnScratch& scratch) {
    scratch.reserve(geometry.n);
    if (geometry.yInt != nullptr && scaled.usable)
        return GreatestSlopesByHull(z, zInt, scaled.doubles ? zDouble : nullptr,
                                    geometry.exactDifferences && scaled.exactDifferences, geometry, best, scratch);
    HORIZON_STAT(stats::ChainColumns);
    return GreatestSlopesByChain(z, geometry, best, scratch);
}

}  // namespace horizon
