#include "sky/sampling_model.h"

#include <cmath>
#include <cstdlib>

#include "sky/exact_arithmetic.h"

namespace sky {

namespace {
constexpr double kDegrees = 180.0 / 3.14159265358979323846;
}

LineGeometry MakeLineGeometry(LatticeDirection d, double cellX, double cellY, bool curvature) {
    LineGeometry g;
    g.d = d;
    const std::int64_t ax = std::abs(d.dx), ay = std::abs(d.dy);
    const std::int64_t n = ax * ax + ay * ay;
    g.unitsPerGap = std::max<std::int64_t>(ax, 1) * std::max<std::int64_t>(ay, 1);
    g.unitsPerStep = g.unitsPerGap * n;
    g.columnUnits = ax > 1 ? g.unitsPerStep / ax : 0;
    g.rowUnits = ay > 1 ? g.unitsPerStep / ay : 0;
    g.metresPerUnit = std::hypot(d.dx * cellX, d.dy * cellY) / static_cast<double>(g.unitsPerStep);
    g.curved = curvature;
    return g;
}

std::int64_t ReachInUnits(const LineGeometry& g, double maxDistance) {
    const double units = std::floor(maxDistance / g.metresPerUnit);
    return units >= 0x1.0p53 ? std::int64_t{1} << 53 : static_cast<std::int64_t>(units);
}

float HorizonAngle(const LineGeometry& g, double quotient, double p0) {
    double slope = quotient / g.metresPerUnit;
    if (g.curved) slope += p0 * g.metresPerUnit / kEarthRadius;
    return static_cast<float>(std::atan(slope) * kDegrees);
}

}  // namespace sky
