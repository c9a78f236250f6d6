#pragma once
// The outputs of a run in tiles: each tile's grid (its core and the halo around
// it) swept apart, its core written into its window of files open for the run.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sky/dem.h"
#include "sky/sky_outputs.h"
#include "status/status.h"

namespace sky {

// Where a grid's texels lie in the DEM and the rectangle of them, its core, whose
// results are kept; and how large its cells are: a geographic DEM's bands of
// latitude each have their own, and their own azimuths for the same directions.
struct TileWindow {
    std::uint32_t x = 0, y = 0;          // the grid's first texel in the DEM
    std::uint32_t coreX = 0, coreY = 0;  // the core's first texel in the grid
    std::uint32_t coreWidth = 0, coreHeight = 0;
    double cellX = 0, cellY = 0;                    // metres, signed as AzimuthOf takes them
    const std::vector<double>* azimuths = nullptr;  // degrees, one per direction swept
};

// The whole grid of `source`'s DEM as its own core, at the DEM's corner, on its cells.
TileWindow WholeWindow(const OutputSource& source);

// The core's texels of `band` (a grid `gridWidth` wide), packed rows. Exhausted
// memory escapes as std::bad_alloc.
std::vector<float> CoreOf(const std::vector<float>& band, std::uint32_t gridWidth, const TileWindow& window);

// An output written window by window. Each call returns Ok, or reports its own
// failure on `err` and returns it; nothing appears unless finish succeeds.
// Exhausted memory may also escape as std::bad_alloc.
class TileOutput {
public:
    virtual ~TileOutput() = default;
    // Before the first tile: opens the files.
    [[nodiscard]] virtual status::Status start(std::FILE* err) = 0;
    // One batch of ComputeHorizonBatches on the tile's grid `tile`.
    [[nodiscard]] virtual status::Status take(const Dem& tile, const TileWindow& window,
                                              const std::vector<std::size_t>& directions,
                                              const std::vector<std::vector<float>>& bands, std::FILE* err) = 0;
    // After the tile's last batch: writes its core.
    [[nodiscard]] virtual status::Status endTile(const Dem& tile, const TileWindow& window, std::FILE* err) = 0;
    // After every tile: puts the files in place, each named on `out`.
    [[nodiscard]] virtual status::Status finish(std::FILE* out, std::FILE* err) = 0;
};

// The angle bands and the sky-view factor through GDAL as MakeAngleOutput and
// MakeSkyViewOutput write them; `source.dem` is the whole DEM's header (no samples).
[[nodiscard]] std::unique_ptr<TileOutput> MakeTiledAngleOutput(const std::string& path, const OutputSource& source);
[[nodiscard]] std::unique_ptr<TileOutput> MakeTiledSkyViewOutput(const std::string& path, skyline::SvfModel model,
                                                                 const OutputSource& source);

// The hillshade as a GeoTIFF (MakeShadeOutput for a .tif name).
[[nodiscard]] std::unique_ptr<TileOutput> MakeTiledShadeOutput(const std::string& path, double sunAzimuth,
                                                               double sunElevation, int bits,
                                                               const OutputSource& source);

}  // namespace sky
