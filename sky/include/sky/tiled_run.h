#pragma once
// The run in tiles: a DEM larger than memory read, swept and written window by
// window, each tile's core with a halo of --max-distance around it, so that every
// output equals the whole DEM's bit for bit.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "sky/dem.h"
#include "sky/progress.h"
#include "sky/run_memory.h"
#include "sky/sky_options.h"

namespace sky {

struct TilePlan {
    std::uint32_t core = 0;  // texels a side of a tile's core; 0: the whole DEM at once
    Halo halo;
    // A geographic DEM's bands of latitude (LatitudeBandStarts), each with its own
    // cells, which no core straddles; empty: the DEM's cells serve every tile.
    std::vector<std::uint32_t> bandStarts;
};

// The run of `options` on the DEM of `header` in tiles of `plan`: the float outputs
// through GDAL (angles, sky-view factor, sunlight), every other output refused
// before. Exit codes and lines as RunSky.
[[nodiscard]] int RunInTiles(const SkyOptions& options, const DemHeader& header, const TilePlan& plan,
                             Progress& progress, std::FILE* out, std::FILE* err);

}  // namespace sky
