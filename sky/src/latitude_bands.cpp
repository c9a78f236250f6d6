#include "sky/latitude_bands.h"

#include <algorithm>
#include <cmath>

namespace sky {

namespace {

double LatitudeOfRow(const LatitudeGrid& g, std::uint32_t row) { return (g.top + g.rowStep * row) * g.radiansPerUnit; }

}  // namespace

bool WithinPoles(const LatitudeGrid& g, std::uint32_t first, std::uint32_t end) {
    const double quarter = std::acos(0.0);
    return std::fabs(LatitudeOfRow(g, first)) <= quarter && std::fabs(LatitudeOfRow(g, end)) <= quarter;
}

RowCells CellsOfRows(const LatitudeGrid& g, std::uint32_t first, std::uint32_t end) {
    const double top = LatitudeOfRow(g, first), bottom = LatitudeOfRow(g, end), centre = (top + bottom) / 2;
    const double s = std::sin(centre), w = 1 - g.e2 * s * s;
    const double n = g.semiMajor / std::sqrt(w), m = g.semiMajor * (1 - g.e2) / (w * std::sqrt(w));
    const double u = g.radiansPerUnit;
    return {
        std::fabs(g.columnStep) * u * n * std::cos(centre), std::fabs(g.rowStep) * u * m,
        std::max(std::fabs(std::cos(top) / std::cos(centre) - 1), std::fabs(std::cos(bottom) / std::cos(centre) - 1))};
}

RowCells CellsOfBand(const LatitudeGrid& g, const std::vector<std::uint32_t>& starts, std::uint32_t height,
                     std::size_t band) {
    return CellsOfRows(g, starts[band], band + 1 < starts.size() ? starts[band + 1] : height);
}

std::vector<std::uint32_t> LatitudeBandStarts(const LatitudeGrid& g, std::uint32_t height) {
    // Greedy from the top: a band grows while it keeps within the spread, so bands
    // are tall near the equator and short near a pole.
    std::vector<std::uint32_t> starts;
    for (std::uint32_t first = 0; first < height;) {
        if (!(CellsOfRows(g, first, first + 1).spread <= kGeographicSpread)) return {};
        std::uint32_t low = first + 1, high = height;  // low fits; find the last end that does
        while (low < high) {
            const std::uint32_t mid = low + (high - low + 1) / 2;
            if (CellsOfRows(g, first, mid).spread <= kGeographicSpread)
                low = mid;
            else
                high = mid - 1;
        }
        starts.push_back(first);
        first = low;
    }
    return starts;
}

}  // namespace sky
