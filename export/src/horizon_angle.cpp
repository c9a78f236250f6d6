#include "export/horizon_angle.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "horizon/horizon_kernel.h"

namespace exporter {

namespace {

// |q| of a stored value; (1 - v)(1 + v) keeps the digits that 1 / v^2 - 1 would
// cancel near v = 1.
double StoredQ(double v) { return std::sqrt((1.0 - v) * (1.0 + v)) / v; }

}  // namespace

RecoveredSlope RecoverSlope(float v, Direction direction, float y0, float z0, float halfSize) {
    const double value = v;
    if (!(value > 0.0 && value <= 1.0)) return {TexelKind::Unfit, 0.0};
    const double q = StoredQ(value);
    const double far = horizon::kFarDistance;
    const bool forward = direction == Direction::Forward;
    const double reach = forward ? far - halfSize : far + halfSize;  // R
    const double run = forward ? far - y0 : far + y0;                // L
    const double rising = (q * reach - z0) / run;
    const double sinking = (-q * reach - z0) / run;
    if (rising > 0.0) return {sinking > 0.0 && q > 0.0 ? TexelKind::Ambiguous : TexelKind::Horizon, rising};
    const double lower = value - kStoredValueUlps * 0x1p-24;
    if (lower > 0.0 && StoredQ(lower) * reach - z0 > 0.0) return {TexelKind::Faint, 0.0};
    return {TexelKind::Unfit, 0.0};
}

double SlopeDegrees(double slope) { return std::atan(slope) * (180.0 / std::numbers::pi); }

// The band around the tangent is a millionth of the angle either side: far wider
// than the float rounding of the stored angle (2^-24 of it) and the errors of the
// arc tangent and tangent (an ulp of a double), so no slope outside it can round
// to the other side.
AngleAbove::AngleAbove(double degrees) : degrees_(degrees) {
    const double margin = degrees * 1e-6, toRadians = std::numbers::pi / 180.0;
    below_ = std::tan((degrees - margin) * toRadians);
    above_ =
        degrees + margin < 90.0 ? std::tan((degrees + margin) * toRadians) : std::numeric_limits<double>::infinity();
}

}  // namespace exporter
