#include "skyline/sampling_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "skyline/exact_arithmetic.h"

namespace skyline {

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
    // The step's length over its units is at most 1 in units of the longer side, so
    // the product overflows for no cell size.
    const double longer = std::max(cellX, cellY);
    g.metresPerUnit =
        longer * (std::hypot(d.dx * (cellX / longer), d.dy * (cellY / longer)) / static_cast<double>(g.unitsPerStep));
    g.curved = curvature;
    return g;
}

CellFit FitOfCells(double cellX, double cellY, std::uint32_t width, std::uint32_t height, bool curvature) {
    if (!(cellX >= kSmallestCell && cellY >= kSmallestCell)) return CellFit::TooSmall;
    // No position lies farther from the grid's origin than its far corner.
    const double across = std::max(cellX, cellY) * std::hypot(static_cast<double>(width), static_cast<double>(height));
    if (curvature && !(across <= kWidestCurvedMap)) return CellFit::TooWideToCurve;
    return CellFit::Fits;
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

}  // namespace skyline
