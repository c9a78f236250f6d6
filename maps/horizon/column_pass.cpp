#include "maps/horizon/column_pass.h"

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
    return GreatestSlopesByChain(z, geometry, best, scratch);
}

}  // namespace horizon
