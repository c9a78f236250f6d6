#pragma once
// Where each texel of a DEM lies on the earth: its latitude and longitude and the
// way to true north, from the DEM's georeferencing (through GDAL and PROJ) or from
// one latitude given for the whole DEM.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "status/status.h"

namespace sky {

// One row's texel centres: degrees, and the true azimuth (radians clockwise from
// north) of the DEM's own north, the direction its azimuths count from.
struct RowLocation {
    std::vector<double> latitude, longitude, gridNorth;
};

class DemLocation {
public:
    virtual ~DemLocation() = default;
    // Whether the longitudes are known (not for a latitude given alone).
    [[nodiscard]] virtual bool knowsLongitude() const = 0;
    // Fills `row` (resized to the DEM's width) for row `y`, which is below the
    // DEM's height. Safe to call from several threads at once.
    virtual void locate(std::uint32_t y, RowLocation* row) const = 0;
};

// The location of the `width` x `height` DEM at `path`: every texel at `latitude`
// (degrees) with its north true north when given, else from its georeferencing as
// GDAL read it (`crsWkt`, `geotransform`). InvalidData naming the file when it has
// no georeferencing that PROJ can turn into latitudes and no latitude is given;
// OutOfMemory.
[[nodiscard]] status::Status LocateDem(const std::string& path, const std::string& crsWkt,
                                       const std::optional<std::array<double, 6>>& geotransform, std::uint32_t width,
                                       std::uint32_t height, std::optional<double> latitude,
                                       std::unique_ptr<DemLocation>* location);

}  // namespace sky
