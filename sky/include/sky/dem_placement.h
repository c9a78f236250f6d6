#pragma once
// How the DEM's grid lies: its cells in metres, signed by the way its columns and
// rows run, and the grid directions that serve the azimuths asked for.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "sky/dem_tiff_tags.h"
#include "sky/sky_options.h"
#include "skyline/direction_choice.h"

namespace sky {

struct DemPlacement {
    double cellX = 0, cellY = 0;  // metres, signed as AzimuthOf takes them: a column step east, a row step south
    skyline::ChosenDirections directions;
};

// From the command line and the DEM's georeferencing `tiff` (for a `width` x
// `height` DEM run in `latitudeBands` bands of rows, 0 or 1 for one cell size):
// kSkySuccess with `placed` set (the cells at the DEM's centre) and the directions
// used said on `err`; else the reason said on `err` and the exit code (a geographic
// DEM too large for one cell size in one band, no cell size, cells the arithmetic
// does not serve, no grid direction near an azimuth).
[[nodiscard]] int PlaceDem(const SkyOptions& o, const std::optional<DemTiffTags>& tiff, std::uint32_t width,
                           std::uint32_t height, std::size_t latitudeBands, DemPlacement* placed, std::FILE* err);

// The line that says how to reproject the geographic DEM `dem` (georeferencing
// `tags`, no data `noData`) to its UTM zone with gdalwarp, said on `err`.
void SuggestReprojection(const std::string& dem, const DemTiffTags& tags, const std::optional<double>& noData,
                         std::FILE* err);

}  // namespace sky
