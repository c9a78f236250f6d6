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
    WideChecks(const std::int64_t* y, const std::int64_t* z, const double*, const double*, std::int64_t r,
               std::int64_t t, double factor)
        : y_(y),
          z_(z),
          y0_(y[r]),
          z0_(z[r]),
          hScaled_(factor * static_cast<double>(z[t] - z[r])),
          delta_(static_cast<double>(y[t] - y[r])) {}

    // Hull vertex k has a real slope below the threshold.
    bool vertexBelow(std::int64_t k) const { return below(Wide{z_[k] - z0_}, 1, y_[k] - y0_); }

    // The line through hull vertices a and b, a before b.
    struct Edge {
        std::int64_t a, b;
    };
    Edge edgeOf(std::int64_t a, std::int64_t b) const { return {a, b}; }

    // The point of the edge's line above sample k has a real slope below the threshold.
    bool lineBelowAt(const Edge& e, std::int64_t k) const {
        const std::int64_t run = y_[e.b] - y_[e.a];
        const Wide rise = Wide{z_[e.a] - z0_} * run + Wide{z_[e.b] - z_[e.a]} * (y_[k] - y_[e.a]);
        return below(rise, run, y_[k] - y0_);
    }

private:
    // (rise / run) / dy < factor h / delta, surely.
    bool below(Wide rise, std::int64_t run, std::int64_t dy) const {
        if (rise <= 0) return true;
        return SurelyGreater(hScaled_ * static_cast<double>(run) * static_cast<double>(dy), delta_ * ToDouble(rise));
    }

    const std::int64_t* y_;
    const std::int64_t* z_;
    std::int64_t y0_, z0_;
    double hScaled_, delta_;
};

// The same tests in double, for integers below 2^52 (held exactly, with exact
// differences), on the slope of the hull edge (a, b), (Z[b] - Z[a]) / (Y[b] - Y[a])
// with one rounding, divided once per edge. Each test allows for that rounding and
// its own few.
class DoubleChecks {
public:
    DoubleChecks(const std::int64_t*, const std::int64_t*, const double* y, const double* z, std::int64_t r,
                 std::int64_t t, double factor)
        : y_(y), z_(z), y0_(y[r]), z0_(z[r]), hScaled_(factor * (z[t] - z[r])), delta_(y[t] - y[r]) {}

    bool vertexBelow(std::int64_t k) const {
        const double dz = z_[k] - z0_;
        return dz <= 0 || SurelyGreater(hScaled_ * (y_[k] - y0_), delta_ * dz);
    }

    struct Edge {
        std::int64_t a;
        double slope;
    };
    Edge edgeOf(std::int64_t a, std::int64_t b) const { return {a, (z_[b] - z_[a]) / (y_[b] - y_[a])}; }

    // The edge's line at sample k. Its height above the origin,
    // Z[a] - Z0 + slope (Y[k] - Y[a]), gets an allowance for the slope's and the
    // product's rounding; the sum's own rounding is relative and left to the margin.
    bool lineBelowAt(const Edge& e, std::int64_t k) const {
        const std::int64_t a = e.a;
        const double along = e.slope * (y_[k] - y_[a]);
        const double rise = ((z_[a] - z0_) + along) + std::fabs(along) * 0x1.0p-49;
        return rise <= 0 || SurelyGreater(hScaled_ * (y_[k] - y0_), delta_ * rise);
    }

private:
    const double* y_;
    const double* z_;
    double y0_, z0_, hScaled_, delta_;
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

// A float slope counts only when it is > 0: one that underflows does not rise.
inline float RisingOrZero(float slope) { return slope > 0.0f ? slope : 0.0f; }

// What the sweep reads: the column and its positions as floats, as scaled
// integers, and as doubles of those integers (null for WideChecks).
struct HullColumn {
    const float* z;
    const float* y;
    const std::int64_t* zInt;
    const std::int64_t* yInt;
    const double* zDouble;
    const double* yDouble;
    std::int64_t n;
    bool exactDifferences;  // every z[k] - z[j] and every y[k] - y[j] is a float
    bool exactPositions;    // every y[k] - y[j] is a float
};

// The upper hull as a stack of sample indices, far end at the bottom, with the
// coordinates beside them so that no load waits for an index. Pops the entries
// that lie on or below the segment from the new origin (y0, z0) to the entry
// beneath them and returns how many; they stay in place above the new depth.
inline std::int64_t PopCovered(const std::int64_t* HWY_RESTRICT stackY, const std::int64_t* HWY_RESTRICT stackZ,
                               std::int64_t& depth, std::int64_t y0, std::int64_t z0) {
    std::int64_t popped = 0;
    while (depth >= 2) {
        if (Wide{stackZ[depth - 1] - z0} * (stackY[depth - 2] - y0) >
            Wide{stackZ[depth - 2] - z0} * (stackY[depth - 1] - y0))
            break;
        ++popped;
        --depth;
    }
    return popped;
}

// True when t's float slope is the origin's answer with no proof: the float
// slopes are the real ones rounded once, because every difference of the column
// is a float, or the positions' are and every sample ahead rising above z0
// (at most highest) subtracts exactly.
inline bool TangentSlopeSuffices(const HullColumn& column, float z0, float highest) {
    return column.exactDifferences || (column.exactPositions && DifferencesExactFrom(z0, highest));
}

// The two sides of the tangent vertex t, by kStep, the direction away from t in
// sample order. Before t lie the vertices popped for this origin, above t on the
// stack; after t the entries beneath it. The stack holds indices falling towards
// its top, so it runs the other way.
struct TowardOrigin {
    static constexpr std::int64_t kStep = -1;
#ifdef UMBRASCOPE_HORIZON_PROOF_STATS
    static constexpr stats::Counter kReachesEnd = stats::LoNearOrigin, kWindow = stats::LoWindow, kWalk = stats::LoWalk,
                                    kWalkFail = stats::LoWalkFail;
#endif
};
struct TowardEnd {
    static constexpr std::int64_t kStep = 1;
#ifdef UMBRASCOPE_HORIZON_PROOF_STATS
    static constexpr stats::Counter kReachesEnd = stats::HiNearEnd, kWindow = stats::HiWindow, kWalk = stats::HiWalk,
                                    kWalkFail = stats::HiWalkFail;
#endif
};

// Sample a lies further from t than sample b.
template <class Side>
constexpr bool Beyond(std::int64_t a, std::int64_t b) {
    return Side::kStep < 0 ? a < b : a > b;
}

// The hull vertices on one side of t, nearest first: vertex(0) is t, vertex(1)
// to vertex(count) lie beyond it. count is 0 when t is the side's last sample.
template <class Side>
struct SideChain {
    const std::uint32_t* stack;
    std::int64_t tangentSlot;  // t's place on the stack
    std::int64_t count;
    std::int64_t vertex(std::int64_t i) const { return stack[tangentSlot - Side::kStep * i]; }
};

// The line of the hull edge between vertex `nearer` and vertex `farther` (from
// t) of this side; the checks take its ends in sample order.
template <class Side, class Checks>
typename Checks::Edge EdgeBetween(const Checks& checks, std::int64_t nearer, std::int64_t farther) {
    return Side::kStep < 0 ? checks.edgeOf(farther, nearer) : checks.edgeOf(nearer, farther);
}

// The threshold tests for origin r and its tangent vertex t with float slope
// `slope`: the fixed worst-case factor first, which needs no division, then
// t's own factor from the first test that the fixed one fails; both sides keep
// the sharp one from then on.
template <class Checks>
class Threshold {
public:
    Threshold(const HullColumn& column, std::int64_t r, std::int64_t t, float slope)
        : column_(column),
          r_(r),
          t_(t),
          slope_(slope),
          checks_(column.yInt, column.zInt, column.yDouble, column.zDouble, r, t, kWorstCaseFactor) {}

    // The current tests: sharp once lineBelowAt has sharpened them.
    const Checks& tests() const { return checks_; }

    // The edge's line at sample k is surely below the threshold, sharpening the
    // tests if the fixed factor cannot tell.
    bool lineBelowAt(const typename Checks::Edge& edge, std::int64_t k) {
        if (checks_.lineBelowAt(edge, k)) return true;
        if (sharp_) return false;
        sharp_ = true;
        const HullColumn& c = column_;
        checks_ = Checks(c.yInt, c.zInt, c.yDouble, c.zDouble, r_, t_,
                         ThresholdFactor(slope_, c.z[t_], c.z[r_], c.y[t_], c.y[r_], c.exactPositions));
        return checks_.lineBelowAt(edge, k);
    }

private:
    const HullColumn& column_;
    std::int64_t r_, t_;
    float slope_;
    bool sharp_ = false;
    Checks checks_;
};

// Samples each side of t that one vector load settles with it, half a vector
// of 8 lanes at most: wider windows settle few more texels.
inline std::int64_t WindowSamples() {
    const hn::ScalableTag<float> d;
    return std::min<std::int64_t>(static_cast<std::int64_t>(hn::Lanes(d)) / 2, 4);
}

// Where a chain vertex first drops below the threshold: the least i >= 1 with
// vertex(i) below it, count + 1 when none is.
template <class Side, class Checks>
HWY_INLINE std::int64_t FirstVertexBelow(const Checks& checks, const SideChain<Side>& chain) {
    std::int64_t i = 1;
    while (i <= chain.count && !checks.vertexBelow(chain.vertex(i))) ++i;
    return i;
}

// Where the edge's line crosses the threshold between the edge's ends, `below`
// (the farther, taken as clear) and `above` (taken as not; neither is tested):
// a sample k from `below` up to before `above` at which the line is below the
// threshold and at k's neighbour towards `above` it is not, or that neighbour
// is `above`. The crossing is mostly near t: gallops out from `above` first,
// then halves.
template <class Side, class Checks>
HWY_INLINE std::int64_t CrossingAlong(const Checks& checks, const typename Checks::Edge& edge, std::int64_t below,
                                      std::int64_t above) {
    constexpr std::int64_t kStep = Side::kStep;
    std::int64_t yes = below, no = above;
    for (std::int64_t step = 1; Beyond<Side>(yes, no + kStep * step); step *= 2) {
        if (checks.lineBelowAt(edge, no + kStep * step)) {
            yes = no + kStep * step;
            break;
        }
        no += kStep * step;
    }
    while (Beyond<Side>(yes, no + kStep)) {
        const std::int64_t lower = kStep < 0 ? yes : no, upper = kStep < 0 ? no : yes;
        const std::int64_t mid = lower + (upper - lower) / 2;
        (checks.lineBelowAt(edge, mid) ? yes : no) = mid;
    }
    return yes;
}

// The side's end of the range when the edge at t, with the sharp tests, does
// not clear t's neighbour (a near-collinear chain): a window of samples if the
// edge clears the sample past it; else out along the chain to the first vertex
// below the threshold and along its edge (a sample between two vertices has a
// slope at most the greater of theirs) to where the edge crosses; the side's
// outermost sample `outer` when nothing settles it sooner.
template <class Side, class Checks>
HWY_INLINE std::int64_t WidenedEnd(const Checks& checks, const typename Checks::Edge& edge,
                                   const SideChain<Side>& chain, std::int64_t t, std::int64_t outer) {
    const std::int64_t windowEnd = t + Side::kStep * WindowSamples();
    if (!Beyond<Side>(outer, windowEnd)) {
        HORIZON_STAT(Side::kReachesEnd);
        return outer;
    }
    if (checks.lineBelowAt(edge, windowEnd + Side::kStep)) {
        HORIZON_STAT(Side::kWindow);
        return windowEnd;
    }
    HORIZON_STAT(Side::kWalk);
    const std::int64_t i = FirstVertexBelow(checks, chain);
    if (i > chain.count) {
        HORIZON_STAT(Side::kWalkFail);
        return outer;
    }
    const std::int64_t below = chain.vertex(i), above = chain.vertex(i - 1);
    return CrossingAlong<Side>(checks, EdgeBetween<Side>(checks, above, below), below, above) - Side::kStep;
}

// The side's end of the range around t outside which every sample of the side
// is surely below the threshold: t itself when the edge at t clears t's
// neighbour (most origins), else WidenedEnd; `outer` is the side's outermost
// sample.
template <class Side, class Checks>
HWY_INLINE std::int64_t ProvenEnd(Threshold<Checks>& threshold, const SideChain<Side>& chain, std::int64_t t,
                                  std::int64_t outer) {
    if (chain.count == 0) return t;
    const auto edge = EdgeBetween<Side>(threshold.tests(), chain.vertex(0), chain.vertex(1));
    if (threshold.lineBelowAt(edge, t + Side::kStep)) [[likely]]
        return t;
    return WidenedEnd(threshold.tests(), edge, chain, t, outer);
}

// Samples lo to hi, lo <= t <= hi.
struct SampleRange {
    std::int64_t lo, hi;
};

// For origin r whose tangent vertex t (at stack[depth - 1], with `popped`
// vertices popped for r above it) has float slope `slope`: the range around t
// outside which every sample after r is surely below the threshold, so that
// only its float slopes need computing.
template <class Checks>
HWY_INLINE SampleRange ProvenRange(const HullColumn& column, const std::uint32_t* stack, std::int64_t depth,
                                   std::int64_t popped, std::int64_t r, std::int64_t t, float slope) {
    HORIZON_STAT(stats::Texels);
    Threshold<Checks> threshold(column, r, t, slope);
    const std::int64_t lo = ProvenEnd(threshold, SideChain<TowardOrigin>{stack, depth - 1, popped}, t, r + 1);
    const std::int64_t hi = ProvenEnd(threshold, SideChain<TowardEnd>{stack, depth - 1, depth - 1}, t, column.n - 1);
    HORIZON_STAT(stats::LoSamples, static_cast<std::uint64_t>(t - lo));
    HORIZON_STAT(stats::HiSamples, static_cast<std::uint64_t>(hi - t));
    return {lo, hi};
}

// best[r] for one origin, and the float slopes it took.
struct OriginSlope {
    float best;
    std::uint64_t evaluated;
};

// For origin r whose tangent vertex t rises above it (Z[t] > Z[r]): the
// greatest float slope over the samples after r if > 0, else 0. `highest` is
// the greatest elevation after r; the stack is as ProvenRange takes it.
template <class Checks>
HWY_INLINE OriginSlope GreatestSlopeFromTangent(const HullColumn& column, const std::uint32_t* stack,
                                                std::int64_t depth, std::int64_t popped, std::int64_t r, std::int64_t t,
                                                float highest) {
    const float z0 = column.z[r], y0 = column.y[r];
    const float slope = (column.z[t] - z0) / (column.y[t] - y0);
    if (TangentSlopeSuffices(column, z0, highest)) {
        HORIZON_STAT(stats::ExactTexels);
        return {RisingOrZero(slope), 1};
    }
    const SampleRange range = ProvenRange<Checks>(column, stack, depth, popped, r, t, slope);
    const auto evaluated = static_cast<std::uint64_t>(range.hi + 1 - range.lo);
    if (range.lo == range.hi) [[likely]]
        return {RisingOrZero(slope), evaluated};
    return {GreatestSlopeIn(column.z, column.y, z0, y0, range.lo, range.hi + 1), evaluated};
}

// best[r] for every origin r, from the far end back, keeping the upper hull of
// the samples after r. Returns the number of float slopes computed. The column
// comes by value: no store can reach a copy of its own, so its fields stay in
// registers (about 5 % fewer instructions than by reference). The pieces are
// forced inline for the same reason: the widening out of line took the tests
// by reference and kept them in memory on every proof (4 % more instructions).
template <class Checks>
std::uint64_t Sweep(const HullColumn column, float* HWY_RESTRICT best, ColumnScratch& scratch) {
    const float* HWY_RESTRICT z = column.z;
    const std::int64_t* HWY_RESTRICT yInt = column.yInt;
    const std::int64_t* HWY_RESTRICT zInt = column.zInt;
    std::uint32_t* HWY_RESTRICT stack = scratch.hull.data();
    std::int64_t* HWY_RESTRICT stackY = scratch.hullY.data();
    std::int64_t* HWY_RESTRICT stackZ = scratch.hullZ.data();
    std::int64_t depth = 0;
    std::uint64_t evaluated = 0;
    float highest = -HUGE_VALF;  // greatest elevation ahead of the origin

    for (std::int64_t r = column.n - 1; r >= 0; --r) {
        const std::int64_t y0Int = yInt[r], z0Int = zInt[r];
        const std::int64_t popped = PopCovered(stackY, stackZ, depth, y0Int, z0Int);
        float top = 0.0f;
        if (depth > 0 && stackZ[depth - 1] > z0Int) {
            const OriginSlope found =
                GreatestSlopeFromTangent<Checks>(column, stack, depth, popped, r, stack[depth - 1], highest);
            top = found.best;
            evaluated += found.evaluated;
        }
        best[r] = top;
        if (z[r] > highest) highest = z[r];
        stack[depth] = static_cast<std::uint32_t>(r);
        stackY[depth] = y0Int;
        stackZ[depth] = z0Int;
        ++depth;
    }
    return evaluated;
}

std::uint64_t GreatestSlopesByHullImpl(const float* HWY_RESTRICT z, const std::int64_t* HWY_RESTRICT zInt,
                                       const double* HWY_RESTRICT zDouble, bool exactDifferences,
                                       const PassGeometry& geometry, float* HWY_RESTRICT best, ColumnScratch& scratch) {
    const std::int64_t n = static_cast<std::int64_t>(geometry.n);
    if (zDouble == nullptr || geometry.yDouble == nullptr) {
        HORIZON_STAT(stats::WideSweeps);
        return Sweep<WideChecks>(
            {z, geometry.y, zInt, geometry.yInt, nullptr, nullptr, n, exactDifferences, geometry.exactDifferences},
            best, scratch);
    }
    HORIZON_STAT(stats::DoubleSweeps);
    return Sweep<DoubleChecks>(
        {z, geometry.y, zInt, geometry.yInt, zDouble, geometry.yDouble, n, exactDifferences, geometry.exactDifferences},
        best, scratch);
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
    return HWY_DYNAMIC_DISPATCH(GreatestSlopesByHullImpl)(z, zInt, zDouble, exactDifferences, geometry, best, scratch);
}

}  // namespace horizon
#endif
