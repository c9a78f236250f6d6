#pragma once
// The clear-sky irradiation and hours of direct sun of every texel summed over
// days, from its surface, sky-view factor and horizons.
#include <cstdint>
#include <vector>

#include "sky/dem_location.h"
#include "sky/horizon_brackets.h"
#include "sky/tile_output.h"
#include "skyline/sampling_model.h"
#include "solar/day_sum.h"

namespace sky {

// A block of texels sharing the sun's place, counted from the DEM's corner: wider
// than tall, as a projected grid's columns differ less in latitude than its rows.
constexpr std::uint32_t kDayBlockColumns = 64, kDayBlockRows = 16;

struct DaySumsJob {
    skyline::Grid grid;
    double cellX = 0, cellY = 0;                             // metres, signed as the horizons took them
    const std::vector<float>* svf = nullptr;                 // skyline::SvfModel::Sloped, a texel each
    const std::vector<std::vector<float>>* bands = nullptr;  // horizon degrees, a band a direction
    const HorizonBrackets* brackets = nullptr;               // of the bands' azimuths
    const DemLocation* location = nullptr;
    const std::vector<solar::Day>* days = nullptr;
    double linke = 0, albedo = 0;
    // Where the grid lies in the DEM of `width` x `height` texels, and the core whose
    // sums are made: every block of the DEM the core touches must lie in the grid.
    TileWindow window;
    std::uint32_t width = 0, height = 0;
};

// The sums, a texel each, no data where the DEM has none: beam, diffuse,
// reflected and global Wh/m² when `irradiation` has four planes, hours when
// `hours` is not empty (each sized to the window's core by the caller).
struct DayPlanes {
    std::vector<std::vector<float>> irradiation;
    std::vector<float> hours;
};

// Fills `planes` for `job` on the machine's threads. The sun's place is shared by
// each block of kDayBlockColumns x kDayBlockRows texels of the DEM, at their mean latitude and
// north, and the block's texels are summed together whichever of them the core
// holds, so that a core's sums are the whole DEM's. False when memory ran out.
[[nodiscard]] bool SumDays(const DaySumsJob& job, DayPlanes* planes);

}  // namespace sky
