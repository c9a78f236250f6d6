// The upper convex hull route, for columns whose values scale to exact integers.
//
// Why it is exact. For origin r let S be the greatest real slope
// (z[k] - z0) / (y[k] - y0), reached at the hull vertex t that the sweep leaves
// on top of the stack. The float slope of sample k is fl(A/B) with
// A = fl(z[k] - z0) and B = fl(y[k] - y0); both differences are finite and carry
// a relative error below u = 2^-24 (subnormal differences are exact), so A/B
// lies within a factor (1 +- u) / (1 -+ u) of the real slope. A sample whose real
// slope is below S (1 - 2^-21) < S ((1 - u) / (1 + u))^2 therefore has a smaller
// A/B than t, and since fl() is monotone its float slope cannot beat t's. Only
// samples with a real slope of at least S (1 - 2^-21) need the float evaluation.
//
// The proof that everything outside a short range around t is below that
// threshold uses supporting lines of the hull: every sample lies below the edge
// into t (from the vertex popped last) and below the edge out of t (to the next
// stack entry); along such a line the slope seen from the origin falls
// monotonically away from t, so checking one position on each side settles the
// whole side. The checks are cross products of exact integers evaluated in
// double with a margin far above their rounding error. Where they fail
// (near-collinear chains) the range grows to the hull vertices that are
// themselves below the threshold: the slope seen from the origin is unimodal
// along the hull, and a sample between two vertices has a slope at most the
// greater of theirs.
//
// When every difference of the column is itself a float (integers within 2^24 of
// one another), the float slopes are the real slopes rounded once, so t's slope
// is the answer without any range.
#include <cstdint>

#include "maps/horizon/column_pass.h"
#include "maps/horizon/exact_scale.h"
#include "maps/horizon/slope_scan.h"

namespace horizon {
namespace {

using Wide = __int128;

constexpr double kThreshold = 0x1.0p-21;       // relative slope gap that rounding cannot close
constexpr double kMargin = 1.0 + 0x1.0p-44;    // far above the few roundings of the checks
constexpr std::int64_t kWindowBefore = 7, kWindowAfter = 8;

// a > b with certainty, for a, b >= 0 computed with a handful of roundings.
inline bool SurelyGreater(double a, double b) { return a > b * kMargin; }

// Real slope of (dz, dy) from the origin is below (1 - threshold) h / delta.
inline bool BelowThreshold(std::int64_t dz, std::int64_t dy, double h, double delta) {
    const double lhs = static_cast<double>(dz) * delta;
    const double rhs = (1.0 - kThreshold) * h * static_cast<double>(dy);
    return lhs < 0 ? true : SurelyGreater(rhs, lhs);
}

}  // namespace

std::uint64_t GreatestSlopesByHull(const float* z, const std::int64_t* zInt, bool exactDifferences,
                                   const PassGeometry& geometry, float* best, ColumnScratch& scratch) {
    const std::int64_t n = static_cast<std::int64_t>(geometry.n);
    const float* y = geometry.y;
    const std::int64_t* Y = geometry.yInt;
    const std::int64_t* Z = zInt;
    std::uint32_t* stack = scratch.hull.data();
    std::uint32_t* popped = scratch.popped.data();
    std::int64_t depth = 0;
    std::uint64_t evaluated = 0;

    for (std::int64_t r = n - 1; r >= 0; --r) {
        const std::int64_t Y0 = Y[r], Z0 = Z[r];
        // Pop the top while it lies on or below the segment from r to the next entry.
        std::int64_t npop = 0;
        while (depth >= 2) {
            const std::int64_t a = stack[depth - 1], b = stack[depth - 2];
            if (Wide{Z[a] - Z0} * (Y[b] - Y0) > Wide{Z[b] - Z0} * (Y[a] - Y0)) break;
            popped[npop++] = static_cast<std::uint32_t>(a);
            --depth;
        }
        float top = 0.0f;
        if (depth > 0 && Z[stack[depth - 1]] > Z0 && exactDifferences) {
            const std::int64_t t = stack[depth - 1];
            const float slope = (z[t] - z[r]) / (y[t] - y[r]);
            top = slope > 0.0f ? slope : 0.0f;
            ++evaluated;
        } else if (depth > 0 && Z[stack[depth - 1]] > Z0) {
            const std::int64_t t = stack[depth - 1];
            const std::int64_t hInt = Z[t] - Z0, deltaInt = Y[t] - Y0;
            const double h = static_cast<double>(hInt), delta = static_cast<double>(deltaInt);
            std::int64_t lo = t - kWindowBefore > r + 1 ? t - kWindowBefore : r + 1;
            std::int64_t hi = t + kWindowAfter < n - 1 ? t + kWindowAfter : n - 1;

            if (lo > r + 1) {
                // Samples before the window: below the edge (m, t), m popped last.
                const std::int64_t m = popped[npop - 1];
                const std::int64_t a = Z[t] - Z[m], b = Y[t] - Y[m];
                const Wide cross = Wide{a} * deltaInt - Wide{hInt} * b;
                const std::int64_t u1 = Y[lo - 1] - Y0;
                const bool settled = SurelyGreater(static_cast<double>(deltaInt - u1) * static_cast<double>(cross),
                                                   kThreshold * h * static_cast<double>(b) * static_cast<double>(u1));
                if (!settled) {
                    std::int64_t j = npop - 1;
                    while (j >= 0 && !BelowThreshold(Z[popped[j]] - Z0, Y[popped[j]] - Y0, h, delta)) --j;
                    lo = j >= 0 ? popped[j] + 1 : r + 1;
                }
            }
            if (hi < n - 1) {
                // Samples after the window: below the edge (t, next stack entry).
                const std::int64_t v = stack[depth - 2];
                const std::int64_t a = Z[v] - Z[t], b = Y[v] - Y[t];
                const Wide cross = Wide{hInt} * b - Wide{a} * deltaInt;
                const std::int64_t d = Y[hi + 1] - Y[t];
                const bool settled = SurelyGreater(static_cast<double>(d) * static_cast<double>(cross),
                                                   kThreshold * h * static_cast<double>(b) * (delta + double(d)));
                if (!settled) {
                    std::int64_t j = depth - 2;
                    while (j >= 0 && !BelowThreshold(Z[stack[j]] - Z0, Y[stack[j]] - Y0, h, delta)) --j;
                    hi = j >= 0 ? stack[j] - 1 : n - 1;
                }
            }
            top = GreatestSlopeIn(z, y, z[r], y[r], static_cast<std::size_t>(lo), static_cast<std::size_t>(hi + 1));
            evaluated += static_cast<std::uint64_t>(hi + 1 - lo);
        }
        best[r] = top;
        stack[depth++] = static_cast<std::uint32_t>(r);
    }
    return evaluated;
}

}  // namespace horizon
