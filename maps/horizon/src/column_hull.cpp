// The upper convex hull route, for columns whose values scale to exact integers.
//
// Why it is exact. For origin r let S be the greatest real slope
// (z[k] - z0) / (y[k] - y0), reached at the hull vertex t that the sweep leaves
// on top of the stack. The float slope of sample k is fl(A/B) with
// A = fl(z[k] - z0) and B = fl(y[k] - y0); both differences are finite (the
// column stays below 2^126 in magnitude) and carry a relative error below
// u = 2^-24 (subnormal differences are exact), so A/B lies within a factor
// (1 +- u) / (1 -+ u) of the real slope. The threshold is set against t's own
// float slope s rather than S: a sample whose real slope is at most s (1 - 2u)
// has A/B <= s (1 - 2u)(1 + u)/(1 - u) <= s, and since fl() is monotone its
// float slope cannot beat s. When the position differences are floats (B exact)
// s (1 - u) suffices. The gap to S is then about the rounding t actually got, a
// few times narrower than the fixed worst case S (1 - 2^-21), which matters far
// from the origin where the slopes along the hull differ by little. The fixed one
// is tried first since it needs no division.
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
// is the answer without any range. The same holds for one origin when the
// position differences are floats and every sample ahead that rises above it
// subtracts exactly, which most origins on terrain away from elevation 0 meet.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "column_hull.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "column_pass.h"
#include "exact_scale.h"
#include "proof_stats.h"

HWY_BEFORE_NAMESPACE();
namespace horizon {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using Wide = __int128;

constexpr double kMargin = 1.0 + 0x1.0p-44;  // far above the few roundings of the checks

// a > b with certainty, for a, b >= 0 each computed with a few roundings.
inline bool SurelyGreater(double a, double b) { return a > b * kMargin; }

// 0 < x < 2^126, within three roundings.
inline double ToDouble(Wide x) {
    return static_cast<double>(static_cast<std::uint64_t>(x >> 64)) * 0x1.0p64 +
           static_cast<double>(static_cast<std::uint64_t>(x));
}

// Needs no s: s >= S (1 - u)^3 / (1 + u) > S (1 - 2^-21) (1 + u) / (1 - u).
constexpr double kWorstCaseFactor = 1.0 - 0x1.0p-21;

// The threshold as a fraction of S, from t's float slope s: at most
// s (1 - u) / S, or s (1 - 2u) / S when position differences round. S comes from
// the floats in double within three roundings of 2^-53, the quotient and product
// add two; 2^-48 covers them all.
inline double ThresholdFactor(float s, float zt, float z0, float yt, float y0, bool exactPositions) {
    const double real = (static_cast<double>(zt) - z0) / (static_cast<double>(yt) - y0);
    const double keep = exactPositions ? 1.0 - 0x1.0p-24 - 0x1.0p-48 : 1.0 - 0x1.0p-23 - 0x1.0p-48;
    return static_cast<double>(s) / real * keep;
}

// The threshold tests for one origin r and its hull vertex t. Exact integers in
// 128-bit arithmetic, rounded to double once at the end.
class WideChecks {
public:
    WideChecks(const std::int64_t* Y, const std::int64_t* Z, const double*, const double*, std::int64_t r,
               std::int64_t t, double factor)
        : Y_(Y), Z_(Z), Y0_(Y[r]), Z0_(Z[r]), hScaled_(factor * static_cast<double>(Z[t] - Z[r])),
          delta_(static_cast<double>(Y[t] - Y[r])) {}

    // Hull vertex k has a real slope below the threshold.
    bool VertexBelow(std::int64_t k) const { return Below(Wide{Z_[k] - Z0_}, 1, Y_[k] - Y0_); }

    // The line through hull vertices a and b, a before b.
    struct Edge {
        std::int64_t a, b;
    };
    Edge EdgeOf(std::int64_t a, std::int64_t b) const { return {a, b}; }

    // The point of the edge's line above sample k has a real slope below the threshold.
    bool LineBelowAt(const Edge& e, std::int64_t k) const {
        const std::int64_t run = Y_[e.b] - Y_[e.a];
        const Wide rise = Wide{Z_[e.a] - Z0_} * run + Wide{Z_[e.b] - Z_[e.a]} * (Y_[k] - Y_[e.a]);
        return Below(rise, run, Y_[k] - Y0_);
    }

private:
    // (rise / run) / dy < factor h / delta, surely.
    bool Below(Wide rise, std::int64_t run, std::int64_t dy) const {
        if (rise <= 0) return true;
        return SurelyGreater(hScaled_ * static_cast<double>(run) * static_cast<double>(dy), delta_ * ToDouble(rise));
    }

    const std::int64_t* Y_;
    const std::int64_t* Z_;
    std::int64_t Y0_, Z0_;
    double hScaled_, delta_;
};

// The same tests in double, for integers below 2^52 (held exactly, with exact
// differences), on the slope of the hull edge (a, b), (Z[b] - Z[a]) / (Y[b] - Y[a])
// with one rounding, divided once per edge. Each test allows for that rounding and
// its own few.
class DoubleChecks {
public:
    DoubleChecks(const std::int64_t*, const std::int64_t*, const double* Y, const double* Z, std::int64_t r,
                 std::int64_t t, double factor)
        : Y_(Y), Z_(Z), Y0_(Y[r]), Z0_(Z[r]), hScaled_(factor * (Z[t] - Z[r])), delta_(Y[t] - Y[r]) {}

    bool VertexBelow(std::int64_t k) const {
        const double dz = Z_[k] - Z0_;
        return dz <= 0 || SurelyGreater(hScaled_ * (Y_[k] - Y0_), delta_ * dz);
    }

    struct Edge {
        std::int64_t a;
        double slope;
    };
    Edge EdgeOf(std::int64_t a, std::int64_t b) const { return {a, (Z_[b] - Z_[a]) / (Y_[b] - Y_[a])}; }

    // The edge's line at sample k. Its height above the origin,
    // Z[a] - Z0 + slope (Y[k] - Y[a]), gets an allowance for the slope's and the
    // product's rounding; the sum's own rounding is relative and left to the margin.
    bool LineBelowAt(const Edge& e, std::int64_t k) const {
        const std::int64_t a = e.a;
        const double along = e.slope * (Y_[k] - Y_[a]);
        const double rise = ((Z_[a] - Z0_) + along) + std::fabs(along) * 0x1.0p-49;
        return rise <= 0 || SurelyGreater(hScaled_ * (Y_[k] - Y0_), delta_ * rise);
    }

private:
    const double* Y_;
    const double* Z_;
    double Y0_, Z0_, hScaled_, delta_;
};

// Greatest float slope over [begin, end) that is > 0, else 0. The arrays hold
// readable padding of at least one vector past their ends.
inline float GreatestSlopeIn(const float* HWY_RESTRICT z, const float* HWY_RESTRICT y, float z0, float y0,
                             std::int64_t begin, std::int64_t end) {
    const hn::ScalableTag<float> d;
    const std::int64_t lanes = static_cast<std::int64_t>(hn::Lanes(d));
    const auto vz0 = hn::Set(d, z0), vy0 = hn::Set(d, y0);
    auto top = hn::Zero(d);
    const auto slopeAt = [&](std::int64_t k) {
        return hn::Div(hn::Sub(hn::LoadU(d, z + k), vz0), hn::Sub(hn::LoadU(d, y + k), vy0));
    };
    if (end - begin < lanes) {
        top = hn::IfThenElseZero(hn::FirstN(d, static_cast<std::size_t>(end - begin)), slopeAt(begin));
    } else {
        std::int64_t k = begin;
        for (; k + lanes < end; k += lanes) top = hn::Max(top, slopeAt(k));
        top = hn::Max(top, slopeAt(end - lanes));
    }
    return hn::GetLane(hn::MaxOfLanes(d, top));
}

template <class Checks>
std::uint64_t Sweep(const float* HWY_RESTRICT z, const std::int64_t* HWY_RESTRICT Z, const double* HWY_RESTRICT Zd,
                    bool exactDifferences, const PassGeometry& geometry, float* HWY_RESTRICT best,
                    ColumnScratch& scratch) {
    const std::int64_t n = static_cast<std::int64_t>(geometry.n);
    const float* HWY_RESTRICT y = geometry.y;
    const std::int64_t* HWY_RESTRICT Y = geometry.yInt;
    const double* HWY_RESTRICT Yd = geometry.yDouble;
    std::uint32_t* HWY_RESTRICT stack = scratch.hull.data();
    std::int64_t* HWY_RESTRICT stackY = scratch.hullY.data();
    std::int64_t* HWY_RESTRICT stackZ = scratch.hullZ.data();
    const hn::ScalableTag<float> d;
    // Half a vector of 8 lanes on either side: wider windows settle few more texels.
    const std::int64_t window = std::min<std::int64_t>(static_cast<std::int64_t>(hn::Lanes(d)) / 2, 4);
    std::int64_t depth = 0;
    std::uint64_t evaluated = 0;
    float highest = -HUGE_VALF;  // greatest elevation ahead of the origin

    for (std::int64_t r = n - 1; r >= 0; --r) {
        const std::int64_t Y0 = Y[r], Z0 = Z[r];
        // Pop the top while it lies on or below the segment from r to the next entry.
        std::int64_t npop = 0;
        while (depth >= 2) {
            // Coordinates live on the stack itself: no load waits for an index.
            if (Wide{stackZ[depth - 1] - Z0} * (stackY[depth - 2] - Y0) >
                Wide{stackZ[depth - 2] - Z0} * (stackY[depth - 1] - Y0))
                break;
            ++npop;
            --depth;
        }
        // Popped entries stay in place above the stack until r is pushed: the j-th
        // popped, first j = 0, lies at depth + npop - 1 - j.
        const auto popped = [&](std::int64_t j) -> std::int64_t { return stack[depth + npop - 1 - j]; };
        float top = 0.0f;
        const std::int64_t t = depth > 0 ? static_cast<std::int64_t>(stack[depth - 1]) : -1;
        if (t >= 0 && stackZ[depth - 1] > Z0) {
            const float z0 = z[r], y0 = y[r];
            if (exactDifferences || (geometry.exactDifferences && DifferencesExactFrom(z0, highest))) {
                HORIZON_STAT(stats::kExactTexels);
                const float slope = (z[t] - z0) / (y[t] - y0);
                top = slope > 0.0f ? slope : 0.0f;
                ++evaluated;
            } else {
                const float slope = (z[t] - z0) / (y[t] - y0);
                // The fixed worst-case factor settles most texels without a division;
                // the sharp one is computed only when it does not.
                Checks o(Y, Z, Yd, Zd, r, t, kWorstCaseFactor);
                bool sharp = false;
                const auto sharpen = [&] {
                    if (sharp) return;
                    o = Checks(Y, Z, Yd, Zd, r, t,
                               ThresholdFactor(slope, z[t], z0, y[t], y0, geometry.exactDifferences));
                    sharp = true;
                };
                HORIZON_STAT(stats::kTexels);
                // Samples before t lie below the edge (m, t), m the vertex popped last.
                std::int64_t lo = t;
                if (t > r + 1) {
                    const std::int64_t m = popped(npop - 1);
                    const auto into = o.EdgeOf(m, t);
                    const auto clear = [&](std::int64_t k) { return o.LineBelowAt(into, k); };
                    if (!clear(t - 1) && (sharpen(), !clear(t - 1))) [[unlikely]] {
                        if (t - window <= r + 1) {
                            HORIZON_STAT(stats::kLoNearOrigin);
                            lo = r + 1;
                        } else if (clear(t - window - 1)) {
                            HORIZON_STAT(stats::kLoWindow);
                            lo = t - window;
                        } else {
                            HORIZON_STAT(stats::kLoWalk);
                            // Out along the popped chain to the first vertex below the
                            // threshold, then along its edge to where the edge crosses it.
                            std::int64_t j = npop - 1;
                            while (j >= 0 && !o.VertexBelow(popped(j))) --j;
                            if (j < 0) {
                                HORIZON_STAT(stats::kLoWalkFail);
                                lo = r + 1;
                            } else {
                                const std::int64_t a = popped(j), b = j + 1 < npop ? popped(j + 1) : t;
                                // clear(k) holds at a and fails before b: find the last k where it holds.
                                const auto edge = o.EdgeOf(a, b);
                                std::int64_t yes = a, no = b;
                                // The crossing is mostly near t: gallop out from b first.
                                for (std::int64_t step = 1; no - step > yes; step *= 2) {
                                    if (o.LineBelowAt(edge, no - step)) {
                                        yes = no - step;
                                        break;
                                    }
                                    no -= step;
                                }
                                while (no - yes > 1) {
                                    const std::int64_t mid = yes + (no - yes) / 2;
                                    (o.LineBelowAt(edge, mid) ? yes : no) = mid;
                                }
                                lo = yes + 1;
                            }
                        }
                    }
                }
                // Samples after t lie below the edge (t, v), v the next stack entry.
                std::int64_t hi = t;
                if (depth >= 2) {
                    const std::int64_t v = stack[depth - 2];
                    const auto out = o.EdgeOf(t, v);
                    const auto clear = [&](std::int64_t k) { return o.LineBelowAt(out, k); };
                    if (!clear(t + 1) && (sharpen(), !clear(t + 1))) [[unlikely]] {
                        if (t + window >= n - 1) {
                            HORIZON_STAT(stats::kHiNearEnd);
                            hi = n - 1;
                        } else if (clear(t + window + 1)) {
                            HORIZON_STAT(stats::kHiWindow);
                            hi = t + window;
                        } else {
                            HORIZON_STAT(stats::kHiWalk);
                            std::int64_t j = depth - 2;
                            while (j >= 0 && !o.VertexBelow(stack[j])) --j;
                            if (j < 0) {
                                HORIZON_STAT(stats::kHiWalkFail);
                                hi = n - 1;
                            } else {
                                const std::int64_t b = stack[j], a = j + 1 < depth - 1 ? stack[j + 1] : t;
                                const auto edge = o.EdgeOf(a, b);
                                std::int64_t no = a, yes = b;
                                for (std::int64_t step = 1; no + step < yes; step *= 2) {
                                    if (o.LineBelowAt(edge, no + step)) {
                                        yes = no + step;
                                        break;
                                    }
                                    no += step;
                                }
                                while (yes - no > 1) {
                                    const std::int64_t mid = no + (yes - no) / 2;
                                    (o.LineBelowAt(edge, mid) ? yes : no) = mid;
                                }
                                hi = yes - 1;
                            }
                        }
                    }
                }
                HORIZON_STAT(stats::kLoSamples, static_cast<std::uint64_t>(t - lo));
                HORIZON_STAT(stats::kHiSamples, static_cast<std::uint64_t>(hi - t));
                if (lo == hi) [[likely]] {
                    top = slope > 0.0f ? slope : 0.0f;
                } else {
                    top = GreatestSlopeIn(z, y, z0, y0, lo, hi + 1);
                }
                evaluated += static_cast<std::uint64_t>(hi + 1 - lo);
            }
        }
        best[r] = top;
        if (z[r] > highest) highest = z[r];
        stack[depth] = static_cast<std::uint32_t>(r);
        stackY[depth] = Y0;
        stackZ[depth] = Z0;
        ++depth;
    }
    return evaluated;
}

std::uint64_t GreatestSlopesByHullImpl(const float* HWY_RESTRICT z, const std::int64_t* HWY_RESTRICT Z,
                                       const double* HWY_RESTRICT Zd, bool exactDifferences,
                                       const PassGeometry& geometry, float* HWY_RESTRICT best,
                                       ColumnScratch& scratch) {
    if (Zd == nullptr || geometry.yDouble == nullptr) {
        HORIZON_STAT(stats::kWideSweeps);
        return Sweep<WideChecks>(z, Z, nullptr, exactDifferences, geometry, best, scratch);
    }
    HORIZON_STAT(stats::kDoubleSweeps);
    return Sweep<DoubleChecks>(z, Z, Zd, exactDifferences, geometry, best, scratch);
}

}  // namespace HWY_NAMESPACE
}  // namespace horizon
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace horizon {

HWY_EXPORT(GreatestSlopesByHullImpl);

std::uint64_t GreatestSlopesByHull(const float* z, const std::int64_t* zInt, const double* zDouble,
                                   bool exactDifferences, const PassGeometry& geometry, float* best,
                                   ColumnScratch& scratch) {
    return HWY_DYNAMIC_DISPATCH(GreatestSlopesByHullImpl)(z, zInt, zDouble, exactDifferences, geometry, best,
                                                          scratch);
}

}  // namespace horizon
#endif
