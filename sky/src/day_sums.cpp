#include "sky/day_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "sky/row_threads.h"
#include "skyline/derived_products.h"
#include "solar/run_sum.h"

namespace sky {

namespace {

constexpr double kRadians = std::numbers::pi / 180;
// A block of texels sharing the sun's place: their latitudes and norths differ by
// far less than the sun's place is known to (30 m texels 16 rows apart by 0.004°).
constexpr std::uint32_t kColumns = kDayBlockColumns, kRows = kDayBlockRows;
constexpr std::size_t kOutside = SIZE_MAX;  // a block's texel outside the core
static_assert(kColumns * kRows <= solar::kRunMost);

// One thread's rows of locations and the run it fills.
struct BlockScratch {
    std::vector<RowLocation> rows{kRows};
    solar::RunTexels run;
    solar::RunTotals sums;
    std::vector<solar::StepSun> steps;
    std::size_t texels[solar::kRunMost];
};

// The block of the DEM from column x0, row y0 (`rows` rows); the texels its core
// holds written.
void SumBlock(const DaySumsJob& job, std::uint32_t x0, std::uint32_t y0, std::uint32_t rows, BlockScratch& s,
              DayPlanes* planes) {
    const skyline::Grid& grid = job.grid;
    const TileWindow& w = job.window;
    const std::uint32_t x1 = std::min(job.width, x0 + kColumns);
    const std::uint32_t coreX = w.x + w.coreX, coreY = w.y + w.coreY;  // in the DEM
    const double share = 1.0 / (double(x1 - x0) * rows);
    const auto& bands = *job.bands;
    s.run.clear(job.brackets->order(), skyline::kNoData);
    double latitude = 0, north = 0;
    for (std::uint32_t dy = 0; dy < rows; ++dy) {
        const RowLocation& row = s.rows[dy];
        const std::uint32_t y = y0 + dy;
        const bool coreRow = y >= coreY && y < coreY + w.coreHeight;
        for (std::uint32_t x = x0; x < x1; ++x) {
            latitude += row.latitude[x] * share;
            north += row.gridNorth[x] * share;
            const std::size_t i = std::size_t{y - w.y} * grid.width + (x - w.x);
            const std::size_t out = coreRow && x >= coreX && x < coreX + w.coreWidth
                                        ? std::size_t{y - coreY} * w.coreWidth + (x - coreX)
                                        : kOutside;
            if (std::isnan(grid.z[i])) {
                if (out == kOutside) continue;
                for (auto& plane : planes->irradiation) plane[out] = skyline::kNoData;
                if (!planes->hours.empty()) planes->hours[out] = skyline::kNoData;
                continue;
            }
            const skyline::SurfaceOrientation o = skyline::OrientationAt(grid, job.cellX, job.cellY, x - w.x, y - w.y);
            const double open = (1 + std::cos(o.slope)) / 2;
            s.texels[s.run.count] = out;
            s.run.add(solar::Surface(o.slope, o.aspect, std::clamp((*job.svf)[i] / open, 0.0, 1.0)),
                      solar::PressureRatio(grid.z[i]), [&](std::size_t d) { return bands[d][i]; });
        }
    }
    if (s.run.count == 0) return;
    s.sums.clear();
    const solar::Trig latitudeTrig(latitude * kRadians);
    const double cosNorth = std::cos(north), sinNorth = std::sin(north);
    const auto around = [&](double azimuth) {
        const HorizonBrackets::Place place = job.brackets->placeOf(azimuth / kRadians);
        return solar::HorizonPair{place.before, place.t};
    };
    for (const solar::Day& day : *job.days) {
        solar::StepsOfDay(day, latitudeTrig, cosNorth, sinNorth, around, &s.steps);
        solar::AddSteps(s.steps.data(), s.steps.size(), day.extraterrestrial, job.linke, s.run, &s.sums);
    }
    for (std::size_t k = 0; k < s.run.count; ++k) {
        const std::size_t i = s.texels[k];
        if (i == kOutside) continue;
        if (!planes->irradiation.empty()) {
            const double reflected = s.sums.reflected(k, s.run, job.albedo);
            planes->irradiation[0][i] = static_cast<float>(s.sums.beam[k]);
            planes->irradiation[1][i] = static_cast<float>(s.sums.diffuse[k]);
            planes->irradiation[2][i] = static_cast<float>(reflected);
            planes->irradiation[3][i] = static_cast<float>(s.sums.beam[k] + s.sums.diffuse[k] + reflected);
        }
        if (!planes->hours.empty()) planes->hours[i] = static_cast<float>(s.sums.sunHours[k]);
    }
}

}  // namespace

bool SumDays(const DaySumsJob& job, DayPlanes* planes) {
    const TileWindow& w = job.window;
    if (w.coreWidth == 0 || w.coreHeight == 0) return true;
    const std::uint32_t coreX = w.x + w.coreX, coreY = w.y + w.coreY;
    const std::uint32_t firstRow = coreY / kRows, lastRow = (coreY + w.coreHeight - 1) / kRows;
    const std::uint32_t firstColumn = coreX / kColumns, lastColumn = (coreX + w.coreWidth - 1) / kColumns;
    return ForEachRow<BlockScratch>(lastRow - firstRow + 1, [&](std::uint32_t b, BlockScratch& s) {
        const std::uint32_t y0 = (firstRow + b) * kRows, rows = std::min(kRows, job.height - y0);
        for (std::uint32_t dy = 0; dy < rows; ++dy) job.location->locate(y0 + dy, &s.rows[dy]);
        for (std::uint32_t c = firstColumn; c <= lastColumn; ++c) SumBlock(job, c * kColumns, y0, rows, s, planes);
    });
}

}  // namespace sky
