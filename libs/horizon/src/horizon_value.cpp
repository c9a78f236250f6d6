// The value chain of ValueFromSlope on vectors, in the same order: the steps with
// a double operand in double lanes rounded to float, the rest as float
// operations, so every lane equals the scalar expression bit for bit.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "horizon_value.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

#include "horizon_value.h"

HWY_BEFORE_NAMESPACE();
namespace horizon {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
// The emulated targets saturate in DemoteTo (NaN and infinity become the largest
// float), unlike a conversion: plain code there.
void ValuesFromSlopesImpl(const float* HWY_RESTRICT best, const float* HWY_RESTRICT y, const float* HWY_RESTRICT z,
                          float halfSize, float* HWY_RESTRICT out, std::size_t n) {
    for (std::size_t r = 0; r < n; ++r)
        out[r] = best[r] > 0.0f ? ValueFromSlope(best[r], y[r], z[r], halfSize) : kOpenHorizonValue;
}
#else
void ValuesFromSlopesImpl(const float* HWY_RESTRICT best, const float* HWY_RESTRICT y, const float* HWY_RESTRICT z,
                          float halfSize, float* HWY_RESTRICT out, std::size_t n) {
    const hn::ScalableTag<double> dd;
    const hn::Rebind<float, decltype(dd)> df;  // as many floats as doubles
    const std::size_t lanes = hn::Lanes(dd);
    const auto far = hn::Set(dd, kFarDistance);
    const auto onef = hn::Set(df, 1.0f);
    const auto reach = hn::Set(dd, kFarDistance - static_cast<double>(halfSize));
    const auto open = hn::Set(df, kOpenHorizonValue);
    const auto zero = hn::Zero(df);
    std::size_t r = 0;
    for (; r + lanes <= n; r += lanes) {
        const auto s = hn::LoadU(df, best + r);
        const auto y0 = hn::PromoteTo(dd, hn::LoadU(df, y + r));
        const auto z0 = hn::LoadU(df, z + r);
        const auto D = hn::DemoteTo(df, hn::Mul(hn::PromoteTo(dd, s), hn::Sub(far, y0)));
        const auto q = hn::DemoteTo(df, hn::Div(hn::PromoteTo(dd, hn::Add(z0, D)), reach));
        // 1 + q2, its square root and the reciprocal take floats only: in double and
        // then rounded to float they equal the correctly rounded float operation
        // (53 >= 2 x 24 + 2, so double rounding is innocuous for +, sqrt and /).
        const auto q2 = hn::Mul(q, q);
        const auto sum = hn::Add(onef, q2);
        const auto root = hn::Sqrt(sum);
        const auto value = hn::Div(onef, root);
        hn::StoreU(hn::IfThenElse(hn::Gt(s, zero), value, open), df, out + r);
    }
    for (; r < n; ++r) out[r] = best[r] > 0.0f ? ValueFromSlope(best[r], y[r], z[r], halfSize) : kOpenHorizonValue;
}
#endif

}  // namespace HWY_NAMESPACE
}  // namespace horizon
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace horizon {

HWY_EXPORT(ValuesFromSlopesImpl);

void ValuesFromSlopes(const float* best, const float* y, const float* z, float halfSize, float* out, std::size_t n) {
    HWY_DYNAMIC_DISPATCH(ValuesFromSlopesImpl)(best, y, z, halfSize, out, n);
}

}  // namespace horizon
#endif
