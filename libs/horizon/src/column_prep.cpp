// One pass per column for what both sweeps need, instead of a scalar pass per
// array: the exponent range in vectors, then the scaled values and the reversed
// copies together.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "column_prep.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "column_pass.h"
#include "exact_scale.h"

HWY_BEFORE_NAMESPACE();
namespace horizon {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// ScaleRangeOf, a vector at a time: the lowest set bit of a mantissa is found as
// the exponent of the float converting m & -m, its top bit likewise.
ScaleRange RangeOf(const float* HWY_RESTRICT v, std::size_t n) {
    const hn::ScalableTag<std::int32_t> di;
    const hn::RebindToFloat<decltype(di)> df;
    const std::size_t lanes = hn::Lanes(di);
    const auto zero = hn::Zero(di);
    const auto byte = hn::Set(di, 0xFF), mantissaBits = hn::Set(di, 0x7FFFFF), hidden = hn::Set(di, 0x800000);
    const auto bias = hn::Set(di, 127), magnitude = hn::Set(di, 0x7FFFFFFF);
    const auto noLow = hn::Set(di, INT_MAX), noHigh = hn::Set(di, INT_MIN);
    auto low = noLow, high = noHigh, infinite = zero;
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        const auto bits = hn::BitCast(di, hn::LoadU(df, v + i));
        const auto field = hn::And(hn::ShiftRight<23>(bits), byte);
        const auto normal = hn::Ne(field, zero);
        const auto m = hn::IfThenElse(normal, hn::Or(hn::And(bits, mantissaBits), hidden), hn::And(bits, mantissaBits));
        const auto e = hn::IfThenElse(normal, hn::Sub(field, bias), hn::Set(di, -126));
        const auto exponentOf = [&](decltype(m) x) {
            return hn::Sub(hn::ShiftRight<23>(hn::BitCast(di, hn::ConvertTo(df, x))), bias);
        };
        const auto lowBit = hn::Add(hn::Sub(e, hn::Set(di, 23)), exponentOf(hn::And(m, hn::Neg(m))));
        const auto topBit =
            hn::IfThenElse(normal, hn::Add(e, hn::Set(di, 1)), hn::Add(hn::Set(di, -148), exponentOf(m)));
        const auto finite = hn::Ne(field, byte);
        const auto counted = hn::And(finite, hn::Ne(hn::And(bits, magnitude), zero));
        low = hn::Min(low, hn::IfThenElse(counted, lowBit, noLow));
        high = hn::Max(high, hn::IfThenElse(counted, topBit, noHigh));
        infinite = hn::Or(infinite, hn::VecFromMask(di, hn::Not(finite)));
    }
    ScaleRange range = ScaleRangeOf(v + i, n - i);
    const int lowest = hn::GetLane(hn::MinOfLanes(di, low)), highest = hn::GetLane(hn::MaxOfLanes(di, high));
    if (lowest != INT_MAX) {
        range.lowExp = range.any ? std::min(range.lowExp, lowest) : lowest;
        range.highExp = range.any ? std::max(range.highExp, highest) : highest;
        range.any = true;
    }
    if (!hn::AllTrue(di, hn::Eq(infinite, zero))) range.finite = false;
    return range;
}

ScaledColumn PrepareColumnImpl(const float* HWY_RESTRICT z, std::size_t n, float* HWY_RESTRICT zReversed,
                               std::int64_t* HWY_RESTRICT zInt, std::int64_t* HWY_RESTRICT zIntReversed,
                               double* HWY_RESTRICT zDouble, double* HWY_RESTRICT zDoubleReversed) {
    for (std::size_t i = 0; i < n; ++i) zReversed[n - 1 - i] = z[i];
    ScaledColumn scaled;
    const ScaleRange range = RangeOf(z, n);
    if (!range.fits(kElevationBits) || (range.any && range.highExp > 126)) return scaled;
    scaled.usable = true;
    // Integers below 2^23 in magnitude differ by less than 2^24.
    scaled.exactDifferences = !range.any || range.highExp - range.lowExp <= 23;
    scaled.doubles = !range.any || range.highExp - range.lowExp <= 52;
    if (scaled.doubles) {
        // Both the power and the products are exact in double.
        const double scale = std::ldexp(1.0, -range.lowExp);
        for (std::size_t i = 0; i < n; ++i) zDouble[i] = static_cast<double>(z[i]) * scale;
        for (std::size_t i = 0; i < n; ++i) zDoubleReversed[n - 1 - i] = zDouble[i];
        for (std::size_t i = 0; i < n; ++i) zInt[i] = static_cast<std::int64_t>(zDouble[i]);
    } else {
        ScaleExactly(z, n, range.lowExp, zInt);
    }
    for (std::size_t i = 0; i < n; ++i) zIntReversed[n - 1 - i] = zInt[i];
    return scaled;
}

}  // namespace HWY_NAMESPACE
}  // namespace horizon
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace horizon {

HWY_EXPORT(PrepareColumnImpl);
HWY_EXPORT(RangeOf);

ScaleRange ScaleRangeOfVectors(const float* v, std::size_t n) { return HWY_DYNAMIC_DISPATCH(RangeOf)(v, n); }

ScaledColumn PrepareColumn(const float* z, std::size_t n, float* zReversed, std::int64_t* zInt,
                           std::int64_t* zIntReversed, double* zDouble, double* zDoubleReversed) {
    return HWY_DYNAMIC_DISPATCH(PrepareColumnImpl)(z, n, zReversed, zInt, zIntReversed, zDouble, zDoubleReversed);
}

}  // namespace horizon
#endif
