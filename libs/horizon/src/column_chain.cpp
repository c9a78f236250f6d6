// Exact for any values: a sample k is dominated by any nearer sample j with
// z[j] >= z[k] (correctly rounded subtraction and division are monotone and the
// positions never decrease), so from origin r only the chain r -> next[r] ->
// next[next[r]] ... of record highs can hold the greatest slope. With regular
// positions the walk stops once even the highest remaining elevation, placed at
// the nearest remaining position, cannot beat the best slope found.
#include "column_pass.h"

namespace horizon {

std::uint64_t GreatestSlopesByChain(const float* z, const PassGeometry& geometry, float* best, ColumnScratch& scratch) {
    const std::size_t n = geometry.n;
    const float* y = geometry.y;
    scratch.reserve(n);
    std::uint32_t* next = scratch.next.data();
    float* suffixMax = scratch.suffixMax.data();
    std::uint32_t* stack = scratch.hull.data();
    std::size_t depth = 0;
    const auto none = static_cast<std::uint32_t>(n);
    float highest = -__builtin_inff();
    std::uint64_t evaluated = 0;

    for (std::size_t r = n; r-- > 0;) {
        const float z0 = z[r];
        // A NaN never rises above anything and nothing rises above it: it leaves the stack alone.
        if (z0 != z0) {
            next[r] = none;
        } else {
            while (depth > 0 && !(z[stack[depth - 1]] > z0)) --depth;
            next[r] = depth > 0 ? stack[depth - 1] : none;
            stack[depth++] = static_cast<std::uint32_t>(r);
            if (z0 > highest) highest = z0;
        }
        suffixMax[r] = highest;

        const float y0 = y[r];
        float top = 0.0f;
        for (std::uint32_t k = next[r]; k != none; k = next[k]) {
            const float dy = y[k] - y0;
            if (geometry.regular) {
                const float bound = (suffixMax[k] - z0) / dy;
                if (!(bound > top)) break;
            }
            const float slope = (z[k] - z0) / dy;
            ++evaluated;
            if (slope > top) top = slope;
        }
        best[r] = top;
    }
    return evaluated;
}

}  // namespace horizon
