// Lines as vector lanes. Lines that start side by side take the same steps and
// meet the crossing plan at the same positions past their start, so a step of the
// sweep is one vector operation over the lanes: the positions are one scalar, the
// elevations one load. Each lane keeps its own hull; the pops run masked until no
// lane pops. The slope test is CompareSlopes' filter in the lanes, its exact test
// only for the lanes the filter cannot decide; the winner's quotient is the
// division itself where the difference is exact, RoundedDifferenceQuotient where not.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "lane_sweep.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "hwy/contrib/math/math-inl.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "skyline/exact_arithmetic.h"
#include "skyline/lane_sweep.h"

#ifndef SKYLINE_LANE_SWEEP_SHARED
#define SKYLINE_LANE_SWEEP_SHARED
namespace skyline::packs {

constexpr std::size_t kMostLanes = 16;

bool Inside(const Grid& grid, std::int64_t x, std::int64_t y) {
    return x >= 0 && y >= 0 && x < grid.width && y < grid.height;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The steps s at which c + s dc lies in [0, n): [*from, *to), empty when none.
void StepsInside(std::int64_t c, std::int64_t dc, std::int64_t n, std::int64_t* from, std::int64_t* to) {
    if (dc == 0) {
        if (c < 0 || c >= n) *to = *from;
        return;
    }
    const std::int64_t lo = dc > 0 ? -c : c - (n - 1), hi = dc > 0 ? n - 1 - c : c, step = dc > 0 ? dc : -dc;
    *from = std::max(*from, -FloorDiv(-lo, step));  // ceil(lo / step)
    *to = std::min(*to, FloorDiv(hi, step) + 1);
}

// A pack of lines, lane j the line through starts[j], its steps counted from the
// pack's first texel: lane j's texels at steps [first[j], end[j]). Slot (s, item)
// holds step s's texel (item 0) or its crossing item - 1 towards step s + 1, s
// from -1 (the crossings before a first texel) to the last texel's step.
struct Pack {
    std::size_t lanes = 0, count = 0;   // lanes of a vector, lines in them
    std::int64_t steps = 0;             // the last texel's step + 1
    std::int64_t commonFrom = 0;        // steps where every lane has its texel: [commonFrom, commonTo),
    std::int64_t commonTo = 0;          // empty when a lane has no line
    std::int64_t items = 1;             // 1 + the plan's crossings
    std::int64_t first[kMostLanes] = {}, end[kMostLanes] = {};
    LineStart start[kMostLanes] = {};   // each lane's step 0, in the map or not
    std::int64_t base[kMostLanes] = {};        // each lane's first texel's position
    double basePosition[kMostLanes] = {};      // the same as a double
    std::int64_t firstTexel[kMostLanes] = {};  // and its index in the grid
    std::int64_t texelStride = 0;              // index change per step
    bool sideBySide = false;                   // lane j's texels j after lane 0's, every lane a line
    std::size_t slots() const { return static_cast<std::size_t>((steps + 1) * items); }
    std::size_t slotStride() const { return lanes * static_cast<std::size_t>(items); }
};

// The pack of the `count` lines from `starts`, `samples` sized to it.
void PreparePack(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                 std::size_t count, Pack* pack, std::vector<double>* samples) {
    pack->count = count;
    pack->items = 1 + static_cast<std::int64_t>(plan.crossings.size());
    pack->texelStride = g.d.dy * std::int64_t{grid.width} + g.d.dx;
    constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    std::int64_t earliest = kNever;
    for (std::size_t j = 0; j < count; ++j) {
        std::int64_t from = 0, to = kNever;
        StepsInside(starts[j].x, g.d.dx, grid.width, &from, &to);
        StepsInside(starts[j].y, g.d.dy, grid.height, &from, &to);
        pack->first[j] = from;
        pack->end[j] = std::max(from, to);
        if (to > from) earliest = std::min(earliest, from);
    }
    if (earliest == kNever) earliest = 0;  // no lane meets the map
    // Step 0 at the earliest texel; spare lanes copy a line and have no steps.
    pack->steps = 0;
    pack->commonFrom = 0;
    pack->commonTo = count < pack->lanes ? 0 : kNever;
    for (std::size_t j = 0; j < pack->lanes; ++j) {
        if (j < count) {
            pack->first[j] -= earliest;
            pack->end[j] -= earliest;
            pack->steps = std::max(pack->steps, pack->end[j]);
            pack->commonFrom = std::max(pack->commonFrom, pack->first[j]);
            pack->commonTo = std::min(pack->commonTo, pack->end[j]);
        } else {
            pack->first[j] = pack->end[j] = 0;
        }
        const LineStart line = starts[std::min(j, count - 1)];
        const LineStart start{line.x + earliest * g.d.dx, line.y + earliest * g.d.dy};
        pack->start[j] = start;
        pack->base[j] = TexelPosition(g, start.x, start.y);
        pack->basePosition[j] = static_cast<double>(pack->base[j]);
        pack->firstTexel[j] = start.y * std::int64_t{grid.width} + start.x;
    }
    pack->sideBySide = count == pack->lanes;
    for (std::size_t j = 1; j < pack->lanes; ++j)
        pack->sideBySide = pack->sideBySide && pack->firstTexel[j] == pack->firstTexel[0] + static_cast<std::int64_t>(j);
    samples->resize(pack->slots() * pack->lanes);
}

// Step s's slots of every lane, one sample at a time: GatherLine's samples (Lowered
// elevations), NaN where a lane has none.
void FillStep(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const Pack& pack, std::int64_t s,
              double* samples) {
    const std::size_t lanes = pack.lanes;
    double* slot = samples + static_cast<std::size_t>(s + 1) * pack.slotStride();
    std::fill(slot, slot + pack.slotStride(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t j = 0; j < pack.count; ++j) {
        if (s < pack.first[j] - 1 || s >= pack.end[j]) continue;
        const std::int64_t x = pack.start[j].x + s * g.d.dx, y = pack.start[j].y + s * g.d.dy;
        const std::int64_t p = pack.base[j] + s * g.unitsPerStep;
        if (s >= pack.first[j]) {
            const double z = grid.at(x, y);
            if (z == z) slot[j] = Lowered(g, z, p);
        }
        // Between two texels of the map every crossing is in it too.
        const bool inside = s >= pack.first[j] && s + 1 < pack.end[j];
        for (std::size_t c = 0; c < plan.crossings.size(); ++c) {
            const CrossingPlan::Crossing& k = plan.crossings[c];
            if (!inside && (!Inside(grid, x + k.loX, y + k.loY) || !Inside(grid, x + k.hiX, y + k.hiY))) continue;
            const double lo = grid.at(x + k.loX, y + k.loY), hi = grid.at(x + k.hiX, y + k.hiY);
            if (lo != lo || hi != hi) continue;
            slot[(c + 1) * lanes + j] = Lowered(g, CrossingHeight(lo, hi, k.weight), p + k.units);
        }
    }
}

}  // namespace skyline::packs
#endif  // SKYLINE_LANE_SWEEP_SHARED

HWY_BEFORE_NAMESPACE();
namespace skyline {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using DI = hn::RebindToSigned<D>;
using VD = hn::Vec<D>;
using MD = hn::Mask<D>;

bool Bit(const std::uint8_t* bits, std::size_t j) { return ((bits[j / 8] >> (j % 8)) & 1) != 0; }

// The lanes of `undecided` settled by CompareSlopesExactly, the others as in `notBelow`.
HWY_NOINLINE MD SettleExactly(MD undecided, MD notBelow, VD w, VD tw, VD along, VD nw, VD beyond) {
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    alignas(64) double vw[packs::kMostLanes], vtw[packs::kMostLanes], va[packs::kMostLanes],
        vnw[packs::kMostLanes], vb[packs::kMostLanes];
    std::uint8_t open[8] = {}, result[8] = {};
    hn::StoreMaskBits(d, undecided, open);
    hn::StoreMaskBits(d, notBelow, result);
    hn::Store(w, d, vw);
    hn::Store(tw, d, vtw);
    hn::Store(along, d, va);
    hn::Store(nw, d, vnw);
    hn::Store(beyond, d, vb);
    for (std::size_t j = 0; j < lanes; ++j) {
        if (!Bit(open, j)) continue;
        const auto bit = static_cast<std::uint8_t>(1u << (j % 8));
        if (CompareSlopesExactly(vw[j], vtw[j], va[j], vnw[j], vb[j]) >= 0)
            result[j / 8] |= bit;
        else
            result[j / 8] &= static_cast<std::uint8_t>(~bit);
    }
    return hn::LoadMaskBits(d, result);
}

constexpr double kDegrees = 180.0 / 3.14159265358979323846;  // as HorizonAngle's

// Each `seen` lane's SlopeQuotient to its top vertex, turned into its angle in `band`.
// The arc tangent in the lanes is trusted where an error far above its own (2^-40
// of the angle, against a few units of 2^-52) leaves the float the same, which
// makes it the float of HorizonAngle's; the other lanes take HorizonAngle itself.
HWY_NOINLINE void Record(const LineGeometry& g, const packs::Pack& pack, int ahead, std::int64_t s, MD seen, VD w,
                         VD tw, VD along, float* band) {
    const D d;
    const hn::Rebind<float, D> df;
    const std::size_t count = hn::Lanes(d);
    const VD zero = hn::Zero(d);
    // RoundedDifferenceQuotient's first case: a difference with no rounding error
    // (TwoSum's error term 0) divides into the quotient rounded once.
    const VD diff = hn::Sub(tw, w);
    const VD back = hn::Sub(diff, tw);
    const VD error = hn::Add(hn::Sub(tw, hn::Sub(diff, back)), hn::Sub(hn::Neg(w), back));
    VD quotient = hn::Div(diff, along);
    alignas(64) double q[packs::kMostLanes], p0[packs::kMostLanes];
    const MD inexact = hn::And(seen, hn::Ne(error, zero));
    if (!hn::AllFalse(d, inexact)) {
        alignas(64) double vw[packs::kMostLanes], vtw[packs::kMostLanes], va[packs::kMostLanes];
        std::uint8_t bits[8] = {};
        hn::StoreMaskBits(d, inexact, bits);
        hn::Store(quotient, d, q);
        hn::Store(w, d, vw);
        hn::Store(tw, d, vtw);
        hn::Store(along, d, va);
        for (std::size_t j = 0; j < count; ++j)
            if (Bit(bits, j)) q[j] = RoundedDifferenceQuotient(vtw[j], vw[j], va[j]);
        quotient = hn::Load(d, q);
    }
    // Each lane's texel position as HorizonAngle takes it: exact, below 2^53.
    const VD p = hn::Add(hn::LoadU(d, pack.basePosition), hn::Set(d, static_cast<double>(s * g.unitsPerStep)));
    const VD signedP = ahead > 0 ? p : hn::Neg(p);
    VD slope = hn::Div(quotient, hn::Set(d, g.metresPerUnit));
    if (g.curved)
        slope = hn::Add(slope, hn::Div(hn::Mul(signedP, hn::Set(d, g.metresPerUnit)), hn::Set(d, kEarthRadius)));
    const VD angle = hn::Mul(hn::Atan(d, slope), hn::Set(d, kDegrees));
    const VD margin = hn::Mul(hn::Abs(angle), hn::Set(d, 0x1.0p-40));
    const auto rounded = hn::DemoteTo(df, angle);
    const VD below = hn::PromoteTo(d, hn::DemoteTo(df, hn::Sub(angle, margin)));
    const VD above = hn::PromoteTo(d, hn::DemoteTo(df, hn::Add(angle, margin)));
    const VD size = hn::Abs(slope);
    const MD sure = hn::And(hn::And(hn::Eq(below, above), hn::Eq(below, hn::PromoteTo(d, rounded))),
                            hn::And(hn::Gt(size, hn::Set(d, 1e-300)), hn::Lt(size, hn::Set(d, 1e300))));
    if (pack.sideBySide && hn::AllTrue(d, hn::And(seen, sure))) {
        hn::StoreU(rounded, df, band + pack.firstTexel[0] + s * pack.texelStride);
        return;
    }
    alignas(64) float angles[packs::kMostLanes];
    hn::Store(rounded, df, angles);
    hn::Store(quotient, d, q);
    hn::Store(signedP, d, p0);
    std::uint8_t seenBits[8] = {}, sureBits[8] = {};
    hn::StoreMaskBits(d, seen, seenBits);
    hn::StoreMaskBits(d, sure, sureBits);
    for (std::size_t j = 0; j < count; ++j) {
        if (!Bit(seenBits, j)) continue;
        band[pack.firstTexel[j] + s * pack.texelStride] = Bit(sureBits, j) ? angles[j] : HorizonAngle(g, q[j], p0[j]);
    }
}

// The lanes where `t` lies on or under the chord from `o` to `n`, `along` and
// `beyond` position units past `o`, all three samples: SlopeNotBelow in the lanes.
HWY_INLINE MD Hidden(VD o, VD t, double along, VD n, double beyond) {
    const D d;
    const VD zero = hn::Zero(d), vAlong = hn::Set(d, along), vBeyond = hn::Set(d, beyond);
    const VD a = hn::Mul(hn::Sub(n, o), vAlong), b = hn::Mul(hn::Sub(t, o), vBeyond);
    const VD x = hn::Sub(a, b);
    const VD bound = hn::Mul(hn::Add(hn::Abs(a), hn::Abs(b)), hn::Set(d, 0x1.0p-50));
    const MD samples = hn::And(hn::And(hn::Eq(o, o), hn::Eq(t, t)), hn::Eq(n, n));
    const MD decided = hn::Or(hn::Gt(hn::Abs(x), bound), hn::And(hn::Eq(a, zero), hn::Eq(b, zero)));
    MD notBelow = hn::Ge(x, zero);
    const MD undecided = hn::AndNot(decided, samples);
    if (HWY_UNLIKELY(!hn::AllFalse(d, undecided)))
        notBelow = SettleExactly(undecided, notBelow, o, t, vAlong, n, vBeyond);
    return hn::And(samples, notBelow);
}

// Lowered, lane by lane.
VD LoweredLanes(const LineGeometry& g, VD z, VD position) {
    if (!g.curved) return z;
    const VD y = hn::Mul(position, hn::Set(hn::DFromV<VD>(), g.metresPerUnit));
    return hn::Sub(z, hn::Div(hn::Mul(y, y), hn::Set(hn::DFromV<VD>(), 2 * kEarthRadius)));
}

// FillStep for steps [from, to), where every lane's texel and the next are in the
// map: each sample read for all lanes at once (one load where the lanes' texels
// are side by side in a row), interpolated in the lanes.
template <bool kSideBySide>
void FillCommonSteps(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const packs::Pack& pack,
                     std::int64_t from, std::int64_t to, double* HWY_RESTRICT samples) {
    const D d;
    const DI di;
    const std::size_t lanes = hn::Lanes(d);
    const std::int64_t width = grid.width;
    const auto first = hn::LoadU(di, pack.firstTexel);
    const VD base = hn::LoadU(d, pack.basePosition);
    const VD nan = hn::Set(d, std::numeric_limits<double>::quiet_NaN());
    constexpr std::int64_t kPrefetchSteps = 8;
    // The first and last lane's texel of each row a step touches, relative to lane 0's.
    std::vector<std::int64_t> rowOffsets;
    const std::int64_t rows = std::abs(g.d.dy), last = static_cast<std::int64_t>(lanes) - 1;
    for (std::int64_t r = 0; r <= rows; ++r) {
        const std::int64_t column = rows == 0 ? 0 : g.d.dx * r / rows;
        const std::int64_t row = (g.d.dy < 0 ? -r : r) * width;
        rowOffsets.push_back(row + column);
        rowOffsets.push_back(row + column + last);
    }
    for (std::int64_t s = from; s < to; ++s) {
        double* slot = samples + static_cast<std::size_t>(s + 1) * pack.slotStride();
        const auto at = hn::Add(first, hn::Set(di, s * pack.texelStride));
        const VD p = hn::Add(base, hn::Set(d, static_cast<double>(s * g.unitsPerStep)));
        const std::int64_t at0 = pack.firstTexel[0] + s * pack.texelStride;
        // The rows a step reads, asked for a few steps ahead: the steps stride
        // across rows, which the processor does not foresee.
        if (s + kPrefetchSteps < to)
            for (const std::int64_t row : rowOffsets) __builtin_prefetch(grid.z + at0 + kPrefetchSteps * pack.texelStride + row);
        const auto read = [&](std::int64_t offset) {
            return kSideBySide ? hn::LoadU(d, grid.z + at0 + offset) : hn::GatherIndex(d, grid.z, hn::Add(at, hn::Set(di, offset)));
        };
        const VD texel = LoweredLanes(g, read(0), p);
        hn::StoreU(texel, d, slot);
        // Each crossing judged between the samples beside it once the next one is
        // known; one on or under their chord becomes no sample: it is a vertex of no
        // upper hull of a run holding both, so no texel's greatest slope changes
        // either way along the line while every sample ahead counts.
        VD before = texel, pending = nan;
        double beforeUnits = 0, pendingUnits = 0;
        for (std::size_t c = 0; c < plan.crossings.size(); ++c) {
            const CrossingPlan::Crossing& k = plan.crossings[c];
            const VD lo = read(k.loY * width + k.loX), hi = read(k.hiY * width + k.hiX);
            // CrossingHeight; NaN on either side is no sample.
            const VD h = k.weight == 0 ? hn::IfThenElse(hn::Eq(hi, hi), lo, nan)
                                       : hn::Add(lo, hn::Mul(hn::Sub(hi, lo), hn::Set(d, k.weight)));
            const auto units = static_cast<double>(k.units);
            const VD w = LoweredLanes(g, h, hn::Add(p, hn::Set(d, units)));
            if (c > 0) {
                const MD hidden = Hidden(before, pending, pendingUnits - beforeUnits, w, units - beforeUnits);
                hn::StoreU(hn::IfThenElse(hidden, nan, pending), d, slot + c * lanes);
                before = pending;
                beforeUnits = pendingUnits;
            }
            pending = w;
            pendingUnits = units;
        }
        if (!plan.crossings.empty()) {
            const auto units = static_cast<double>(g.unitsPerStep);
            const VD next = LoweredLanes(g, read(pack.texelStride), hn::Add(p, hn::Set(d, units)));
            const MD hidden = Hidden(before, pending, pendingUnits - beforeUnits, next, units - beforeUnits);
            hn::StoreU(hn::IfThenElse(hidden, nan, pending), d, slot + plan.crossings.size() * lanes);
        }
    }
}

// One sweep of the pack against the direction `kAhead`, as SweepLine's, each lane
// its own hull. A hull vertex is a slot; `below` (slot by lane, as the samples)
// holds for each slot the slot of the vertex under it when it was pushed, so a
// push is one store for all lanes and a pop reads the vertex under the new second
// one through it. The top three vertices of every lane ride in registers.
template <int kAhead>
void SweepPack(const LineGeometry& g, const packs::Pack& pack, const double* HWY_RESTRICT samples,
               const double* HWY_RESTRICT units, const double* HWY_RESTRICT positions,
               std::int64_t* HWY_RESTRICT below, float* band) {
    const D d;
    const DI di;
    const auto lanes = static_cast<std::int64_t>(hn::Lanes(d));
    const int laneBits = __builtin_ctzll(static_cast<unsigned long long>(lanes));  // lanes: a power of 2
    const auto one = hn::Set(di, 1), two = hn::Set(di, 2), lane = hn::Iota(di, 0);
    const VD zero = hn::Zero(d), tiny = hn::Set(d, 0x1.0p-50);
    hn::Vec<DI> top = hn::Zero(di), tk = top, nk = top, uk = top;  // the top three vertices' slots
    VD tw = zero, tp = zero, nw = zero, np = zero, uw = zero, up = zero;
    std::int64_t s = 0, item = 0;
    const std::int64_t slots = static_cast<std::int64_t>(pack.slots());
    for (std::int64_t step = 0; step < slots; ++step) {
        const std::int64_t k = kAhead > 0 ? slots - 1 - step : step;
        // k = (s + 1) items + item, followed without a division.
        if (step == 0) {
            s = kAhead > 0 ? pack.steps - 1 : -1;
            item = kAhead > 0 ? pack.items - 1 : 0;
        } else if (kAhead > 0) {
            if (--item < 0) {
                item = pack.items - 1;
                --s;
            }
        } else if (++item == pack.items) {
            item = 0;
            ++s;
        }
        const VD w = hn::LoadU(d, samples + k * lanes);
        const VD p = hn::Set(d, static_cast<double>(s * g.unitsPerStep) + units[item]);
        const MD valid = hn::Eq(w, w);
        // Drop each lane's top while it lies on or under the line from this sample
        // to the vertex after it.
        MD active = hn::And(valid, hn::RebindMask(d, hn::Gt(top, one)));
        while (!hn::AllFalse(d, active)) {
            const VD along = kAhead > 0 ? hn::Sub(tp, p) : hn::Sub(p, tp);
            const VD beyond = kAhead > 0 ? hn::Sub(np, p) : hn::Sub(p, np);
            const VD a = hn::Mul(hn::Sub(nw, w), along), b = hn::Mul(hn::Sub(tw, w), beyond);
            const VD x = hn::Sub(a, b);
            const VD bound = hn::Mul(hn::Add(hn::Abs(a), hn::Abs(b)), tiny);
            // a and b both 0 only when both differences are 0 (no product of a
            // difference and a whole number underflows): then the slopes tie.
            const MD decided = hn::Or(hn::Gt(hn::Abs(x), bound), hn::And(hn::Eq(a, zero), hn::Eq(b, zero)));
            MD notBelow = hn::Ge(x, zero);
            const MD undecided = hn::AndNot(decided, active);
            if (HWY_UNLIKELY(!hn::AllFalse(d, undecided)))
                notBelow = SettleExactly(undecided, notBelow, w, tw, along, nw, beyond);
            const MD pop = hn::And(active, notBelow);
            if (hn::AllFalse(d, pop)) break;
            const auto popped = hn::RebindMask(di, pop);
            top = hn::Sub(top, hn::IfThenElseZero(popped, one));
            tw = hn::IfThenElse(pop, nw, tw);
            tp = hn::IfThenElse(pop, np, tp);
            tk = hn::IfThenElse(popped, nk, tk);
            nw = hn::IfThenElse(pop, uw, nw);
            np = hn::IfThenElse(pop, up, np);
            nk = hn::IfThenElse(popped, uk, nk);
            // The vertex under the new second one, read now and needed only at
            // the next pop, while the next test runs.
            const auto deeper = hn::And(popped, hn::Gt(top, two));
            const auto under = hn::GatherIndex(di, below, hn::IfThenElseZero(deeper, hn::Add(hn::ShiftLeftSame(nk, laneBits), lane)));
            uk = hn::IfThenElse(deeper, under, uk);
            const auto safe = hn::IfThenElseZero(deeper, uk);
            uw = hn::IfThenElse(pop, hn::GatherIndex(d, samples, hn::Add(hn::ShiftLeftSame(safe, laneBits), lane)), uw);
            up = hn::IfThenElse(pop, hn::GatherIndex(d, positions, safe), up);
            active = hn::And(pop, hn::RebindMask(d, hn::Gt(top, one)));
        }
        // The real slopes to the top beat all others, and rounding keeps the order.
        if (item == 0) {
            const MD seen = hn::And(valid, hn::RebindMask(d, hn::Gt(top, hn::Zero(di))));
            if (!hn::AllFalse(d, seen))
                Record(g, pack, kAhead, s, seen, w, tw, kAhead > 0 ? hn::Sub(tp, p) : hn::Sub(p, tp), band);
        }
        // Every lane writes its top as the vertex under this slot; it counts only
        // in the lanes where the slot is a sample and becomes a vertex.
        hn::StoreU(tk, di, below + k * lanes);
        const auto pushed = hn::RebindMask(di, valid);
        top = hn::Add(top, hn::IfThenElseZero(pushed, one));
        uk = hn::IfThenElse(pushed, nk, uk);
        uw = hn::IfThenElse(valid, nw, uw);
        up = hn::IfThenElse(valid, np, up);
        nk = hn::IfThenElse(pushed, tk, nk);
        tk = hn::IfThenElse(pushed, hn::Set(di, k), tk);
        nw = hn::IfThenElse(valid, tw, nw);
        np = hn::IfThenElse(valid, tp, np);
        tw = hn::IfThenElse(valid, w, tw);
        tp = hn::IfThenElse(valid, p, tp);
    }
}

void SweepLinesInLanesImpl(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                           std::size_t count, const LaneSweepOutput* outputs, std::size_t outputCount,
                           LaneScratch* scratch) {
    const D d;
    packs::Pack pack;
    pack.lanes = hn::Lanes(d);
    std::vector<double> units(plan.crossings.size() + 1, 0.0);  // each item's position past its step's texel
    for (std::size_t c = 0; c < plan.crossings.size(); ++c) units[c + 1] = static_cast<double>(plan.crossings[c].units);
    for (std::size_t first = 0; first < count; first += pack.lanes) {
        const std::size_t n = std::min(pack.lanes, count - first);
        packs::PreparePack(grid, g, plan, starts + first, n, &pack, &scratch->samples);
        // Every lane's texels s and s + 1 in the map for s in [from, to).
        const std::int64_t from = pack.commonFrom, to = pack.commonTo - 1;
        for (std::int64_t s = -1; s < pack.steps; ++s) {
            if (s == from && to > from) {
                if (pack.sideBySide)
                    FillCommonSteps<true>(grid, g, plan, pack, from, to, scratch->samples.data());
                else
                    FillCommonSteps<false>(grid, g, plan, pack, from, to, scratch->samples.data());
                s = to - 1;
                continue;
            }
            packs::FillStep(grid, g, plan, pack, s, scratch->samples.data());
        }
        scratch->below.resize(pack.slots() * pack.lanes);
        scratch->positions.resize(pack.slots());
        for (std::int64_t s = -1, k = 0; s < pack.steps; ++s)
            for (std::int64_t item = 0; item < pack.items; ++item, ++k)
                scratch->positions[static_cast<std::size_t>(k)] = static_cast<double>(s * g.unitsPerStep) + units[static_cast<std::size_t>(item)];
        for (std::size_t o = 0; o < outputCount; ++o) {
            if (outputs[o].ahead > 0)
                SweepPack<1>(g, pack, scratch->samples.data(), units.data(), scratch->positions.data(), scratch->below.data(),
                             outputs[o].band);
            else
                SweepPack<-1>(g, pack, scratch->samples.data(), units.data(), scratch->positions.data(),
                              scratch->below.data(), outputs[o].band);
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace skyline
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace skyline {

HWY_EXPORT(SweepLinesInLanesImpl);

void SweepLinesInLanes(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                       std::size_t count, const LaneSweepOutput* outputs, std::size_t outputCount,
                       LaneScratch* scratch) {
    HWY_DYNAMIC_DISPATCH(SweepLinesInLanesImpl)(grid, g, plan, starts, count, outputs, outputCount, scratch);
}

}  // namespace skyline
#endif  // HWY_ONCE
