#pragma once
// The slope of a texel's horizon, recovered from its stored value.
//
// The run stores v = 1 / sqrt(1 + q^2) with q = (z0 + D) / R and D = s L, where s is
// the greatest rising slope ahead, R = F - half and L = F - y0 forward,
// R = F + half and L = F + y0 backward (F = 900000 m, half = TerraSize / 2,
// y0 = row * TerraSize / width). So |q| = sqrt(1 / v^2 - 1) and s = (+-|q| R - z0) / L.
#include "export/texel_kind.h"

namespace exporter {

struct RecoveredSlope {
    TexelKind kind;  // Horizon, Faint, Ambiguous or Unfit
    double slope;    // rise over run: for Horizon and Ambiguous; 0 for Faint
};

// The stored value's own rounding, in units of 2^-24: 1 + q^2, its square root
// and the reciprocal are each rounded to a float, and D and q before them.
constexpr double kStoredValueUlps = 4.0;

// v: a stored value in (0, 1] (StoredKind Horizon); y0, z0: the texel's row position
// and elevation as the run computed them, halfSize: TerraSize / 2.
// The sign of z0 + D is lost in v. A rising slope needs s > 0: with z0 >= 0 only
// z0 + D > 0 gives one. With z0 < 0 both signs can (slopes below about
// 2 |z0| / F): then the kind is Ambiguous and the slope that of z0 + D >= 0, the
// larger of the two. Faint when no sign gives s > 0 from v itself but one does
// from a value kStoredValueUlps below it (a horizon under 0.04 degrees, which
// v near 1 cannot tell from none); Unfit when not even that does.
RecoveredSlope RecoverSlope(float v, Direction direction, float y0, float z0, float halfSize);

// atan(s) in degrees; any value.
double SlopeDegrees(double slope);

// Whether a slope's angle, float(SlopeDegrees(slope)) as the angle files store it,
// exceeds `degrees`, without an arc tangent for most slopes: those well below or
// above the tangent of `degrees` are decided by comparison, only the few near it by
// their angle, so the answer is the angle's own. `degrees` in (0, 90].
class AngleAbove {
public:
    explicit AngleAbove(double degrees);
    bool operator()(double slope) const {
        if (slope < below_) return false;
        if (slope > above_) return true;
        return static_cast<float>(SlopeDegrees(slope)) > degrees_;  // near it, infinite or NaN
    }

private:
    double degrees_, below_, above_;
};

}  // namespace exporter
