#pragma once
// The sampling model every horizon of this program follows, and its arithmetic,
// defined once here for the sweep and for any plain loop that checks it.
//
// A texel's horizon in a direction is taken over the points where the ray from the
// texel's centre crosses the grid's column lines (x whole) and row lines (y whole),
// texel centres being the whole (x, y). Each point's elevation lies linearly between
// the two texels it falls between (CrossingHeight); a point outside the map, or
// touching a texel with no data, is no sample. With curvature each elevation is
// lowered by d^2 / 2R through the line position (Lowered). The slope to a sample is
// the real quotient of the two doubles' difference by the whole distance in
// position units, rounded once (SlopeQuotient); the horizon is the greatest of
// these, turned into an angle once (HorizonAngle).
#include <cstdint>

#include "skyline/exact_arithmetic.h"
#include "skyline/lattice_direction.h"

namespace skyline {

constexpr double kEarthRadius = 6371000.0;  // metres
constexpr float kNoData = -9999.0f;         // angle and derived bands where there is none

// Elevations in metres, packed rows, row 0 on top; NaN where there is no data.
struct Grid {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const double* z = nullptr;
    double at(std::int64_t x, std::int64_t y) const { return z[static_cast<std::size_t>(y) * width + x]; }
};

// Positions along the lines of one direction, in whole units: texel (x, y) is at
// unitsPerGap * (x dx + y dy) with unitsPerGap = |dx| |dy| (each at least 1), so
// consecutive texels of a line are unitsPerStep apart, consecutive column-line
// crossings columnUnits and row-line crossings rowUnits. The direction's opposite
// has the same lines at the negated positions.
struct LineGeometry {
    LatticeDirection d;
    std::int64_t unitsPerGap = 1;
    std::int64_t unitsPerStep = 1;
    std::int64_t columnUnits = 0;  // 0 when the direction crosses no column line between texels
    std::int64_t rowUnits = 0;
    double metresPerUnit = 1;
    bool curved = false;
};

// Cells `cellX` by `cellY` metres (both > 0).
[[nodiscard]] LineGeometry MakeLineGeometry(LatticeDirection d, double cellX, double cellY, bool curvature);

// The cells whose arithmetic stays in the doubles' range: each side at least
// kSmallestCell metres, so that a position unit is a normal number of metres (no
// 0 / 0 in HorizonAngle), and with curvature a map at most kWidestCurvedMap metres
// across, so that the lowering (Lowered) and the exact slope tests on the lowered
// elevations stay finite. The size itself may be as large as a double: only the
// sides' ratio and the metres per unit enter.
constexpr double kSmallestCell = 1e-290;    // metres
constexpr double kWidestCurvedMap = 1e100;  // metres
enum class CellFit : std::uint8_t { Fits, TooSmall, TooWideToCurve };
[[nodiscard]] CellFit FitOfCells(double cellX, double cellY, std::uint32_t width, std::uint32_t height, bool curvature);

inline std::int64_t TexelPosition(const LineGeometry& g, std::int64_t x, std::int64_t y) {
    return g.unitsPerGap * (x * g.d.dx + y * g.d.dy);
}

// With --max-distance, a sample counts when it lies at most this many position
// units from the texel: the distance in metres over metresPerUnit, rounded down
// (0: none). `maxDistance` > 0.
[[nodiscard]] std::int64_t ReachInUnits(const LineGeometry& g, double maxDistance);

// The share `f`/`m` of the way from one texel to the next (0 <= f < m), 0 only for f = 0.
inline double CrossingWeight(std::int64_t f, std::int64_t m) { return static_cast<double>(f) / static_cast<double>(m); }

// The elevation `weight` (a CrossingWeight) of the way from `lo` to `hi`; `lo` itself at 0.
inline double CrossingHeight(double lo, double hi, double weight) {
    if (weight == 0) return lo;
    return lo + (hi - lo) * weight;
}

// The elevation `f`/`m` of the way from `lo` to `hi` (0 <= f < m); `lo` itself at 0.
inline double CrossingHeight(double lo, double hi, std::int64_t f, std::int64_t m) {
    return CrossingHeight(lo, hi, CrossingWeight(f, m));
}

// The elevation that enters the slopes: z, or with curvature z - y^2 / 2R where y is
// the position in metres. Slopes of lowered elevations plus y0 / R (HorizonAngle)
// are the curved slopes.
inline double Lowered(const LineGeometry& g, double z, std::int64_t position) {
    if (!g.curved) return z;
    const double y = static_cast<double>(position) * g.metresPerUnit;
    return z - y * y / (2 * kEarthRadius);
}

// The slope from the texel (w0 at p0) to a sample (wk at pk, pk != p0) in elevation
// per position unit, rounded once. Positions are whole numbers below 2^53.
inline double SlopeQuotient(double w0, double p0, double wk, double pk);

// The horizon angle in degrees from the greatest SlopeQuotient of a texel at
// position p0, in the direction whose positions these are.
[[nodiscard]] float HorizonAngle(const LineGeometry& g, double quotient, double p0);

inline double SlopeQuotient(double w0, double p0, double wk, double pk) {
    return RoundedDifferenceQuotient(wk, w0, pk > p0 ? pk - p0 : p0 - pk);
}

}  // namespace skyline
