#pragma once
// The sunlight outputs: clear-sky irradiation and hours of direct sun over days,
// and masks of cast shadow at times of one day, from the horizons of every
// direction (solar/ holds the model).
#include <cstdio>
#include <memory>

#include "sky/sky_options.h"
#include "sky/sky_outputs.h"
#include "sky/tile_output.h"

namespace sky {

// One output for all of the sunlight files `options` asks for, keeping every band
// until the end. kSkySuccess with `made` set (left empty when none is asked for);
// kSkyBadCommand when the DEM cannot be placed on the earth and no --latitude is
// given, kSkyBadInput when memory runs out, each said on `err`.
[[nodiscard]] int MakeSunlightOutput(const SkyOptions& options, const OutputSource& source,
                                     std::unique_ptr<BandOutput>* made, std::FILE* err);

// The same files written window by window in a run in tiles, each tile's bands
// kept until its end; `source.dem` is the whole DEM's header (no samples). Codes as
// MakeSunlightOutput.
[[nodiscard]] int MakeTiledSunlightOutput(const SkyOptions& options, const OutputSource& source,
                                          std::unique_ptr<TileOutput>* made, std::FILE* err);

}  // namespace sky
