#pragma once
// A geographic grid's rows in metres: each band of rows takes the cells of its own
// centre latitude, so that a DEM spanning many latitudes runs without reprojection.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sky {

// The share by which a band's east-west scale may differ between its centre and its
// first or last row: 1 % shifts a 45-degree horizon by at most 0.3 degrees, one of
// 10 degrees by 0.1.
constexpr double kGeographicSpread = 0.01;

// Where a geographic grid's rows lie on its ellipsoid: row r's top edge at latitude
// (top + r * rowStep) * radiansPerUnit, a column `columnStep` units wide.
struct LatitudeGrid {
    double top = 0, rowStep = 0, columnStep = 0;  // the CRS's angular units
    double radiansPerUnit = 0;
    double semiMajor = 0, e2 = 0;  // metres; the first eccentricity squared
};

// Rows [first, end)'s cells in metres at their centre latitude: east-west on the
// parallel's radius N cos(lat), north-south on the meridian's radius M; and the share
// by which the east-west scale of their first and last rows differs from it.
struct RowCells {
    double cellX = 0, cellY = 0;
    double spread = 0;
};
[[nodiscard]] RowCells CellsOfRows(const LatitudeGrid& grid, std::uint32_t first, std::uint32_t end);

// Whether rows [first, end) lie between the poles.
[[nodiscard]] bool WithinPoles(const LatitudeGrid& grid, std::uint32_t first, std::uint32_t end);

// The first row of each band of a grid of `height` rows (within the poles), from
// the top, each band as many rows as keep its spread within kGeographicSpread; empty
// when one row alone spreads more. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] std::vector<std::uint32_t> LatitudeBandStarts(const LatitudeGrid& grid, std::uint32_t height);

// CellsOfRows of band `band` of `starts` (LatitudeBandStarts of the grid, `height`
// rows tall).
[[nodiscard]] RowCells CellsOfBand(const LatitudeGrid& grid, const std::vector<std::uint32_t>& starts,
                                   std::uint32_t height, std::size_t band);

}  // namespace sky
