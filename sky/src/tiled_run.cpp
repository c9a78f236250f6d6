#include "sky/tiled_run.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <thread>

#include "raster/raster_writer.h"
#include "sky/day_sums.h"
#include "sky/dem_placement.h"
#include "sky/latitude_bands.h"
#include "sky/sky_run.h"
#include "sky/sunlight_output.h"
#include "sky/tile_output.h"
#include "skyline/direction_choice.h"
#include "skyline/horizon_bands.h"

namespace sky {

namespace {

// A tile: its window, and its grid's size.
struct Tile {
    TileWindow window;
    std::uint32_t width = 0, height = 0;
};

// Along one axis of `whole` texels, the core from `from` of `size`: where the grid
// starts (the core's span widened to whole blocks of `align`, then by `halo`, within
// the DEM), the core's place in it and the grid's size.
struct Span {
    std::uint32_t start = 0, core = 0, size = 0;
};
Span SpanOf(std::uint32_t from, std::uint32_t size, std::uint32_t halo, std::uint32_t align, std::uint32_t whole) {
    const std::uint64_t low = from / align * align,
                        high = std::min<std::uint64_t>(whole, (std::uint64_t{from} + size + align - 1) / align * align);
    const std::uint64_t start = low - std::min<std::uint64_t>(halo, low);
    const std::uint64_t end = std::min<std::uint64_t>(whole, high + halo);
    return {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(from - start),
            static_cast<std::uint32_t>(end - start)};
}

// The row after the core from row `y`: at most the plan's core rows, within the
// DEM and the band of latitude `y` lies in.
std::uint32_t CoreEnd(std::uint32_t y, std::uint32_t height, const TilePlan& plan) {
    std::uint32_t end = y + std::min(plan.core, height - y);
    const auto next = std::upper_bound(plan.bandStarts.begin(), plan.bandStarts.end(), y);
    if (next != plan.bandStarts.end()) end = std::min(end, *next);
    return end;
}

// The tiles in rows of tiles from the top left: each core within the DEM, its grid
// the core, widened to whole blocks of `alignColumns` x `alignRows`, and up to the
// halo around it, none past the DEM's edge.
std::vector<Tile> TilesOf(std::uint32_t width, std::uint32_t height, const TilePlan& plan, std::uint32_t alignColumns,
                          std::uint32_t alignRows) {
    std::vector<Tile> tiles;
    for (std::uint32_t y = 0; y < height; y = CoreEnd(y, height, plan))
        for (std::uint32_t x = 0; x < width; x += std::min(plan.core, width - x)) {
            const std::uint32_t coreWidth = std::min(plan.core, width - x), coreHeight = CoreEnd(y, height, plan) - y;
            const Span columns = SpanOf(x, coreWidth, plan.halo.columns, alignColumns, width);
            const Span rows = SpanOf(y, coreHeight, plan.halo.rows, alignRows, height);
            tiles.push_back(
                {{columns.start, rows.start, columns.core, rows.core, coreWidth, coreHeight}, columns.size, rows.size});
        }
    return tiles;
}

int OutputFailureCode(const status::Status& failure) {
    return failure.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyWriteFailed;
}

// How a tile's grid lies: its cells, signed as AzimuthOf takes them, and the
// directions that serve the azimuths asked for on them.
struct TileCells {
    double cellX = 0, cellY = 0;
    skyline::ChosenDirections directions;
};

// Each band of latitude's cells at its centre, signed as the DEM's, with its own
// directions; the DEM's own `placed` as the one band when there are none. Ok, or
// the failure said on `err` with its exit code.
int CellsOfBands(const SkyOptions& o, const DemHeader& header, const TilePlan& plan, const DemPlacement& placed,
                 std::vector<TileCells>* bands, std::FILE* err) {
    if (plan.bandStarts.empty() || !header.tags.latitudes) {
        bands->push_back({placed.cellX, placed.cellY, placed.directions});
        return kSkySuccess;
    }
    for (std::size_t b = 0; b < plan.bandStarts.size(); ++b) {
        const RowCells cells = CellsOfBand(*header.tags.latitudes, plan.bandStarts, header.height, b);
        TileCells band{std::copysign(cells.cellX, placed.cellX), std::copysign(cells.cellY, placed.cellY), {}};
        if (const status::Status s =
                skyline::ChooseDirections(o.wantedAzimuths(), band.cellX, band.cellY, &band.directions);
            !s.ok()) {
            std::fprintf(err, "%s: the band of latitude from row %u: %s\n", kSkyProgram, plan.bandStarts[b],
                         s.reason.c_str());
            return kSkyBadCommand;
        }
        bands->push_back(std::move(band));
    }
    return kSkySuccess;
}

}  // namespace

int RunInTiles(const SkyOptions& o, const DemHeader& header, const TilePlan& plan, Progress& progress, std::FILE* out,
               std::FILE* err) {
    DemWindows windows;
    std::string why;
    if (const status::Status opened = windows.open(o.dem, o.reading, header, &why); !opened.ok()) {
        ReportFailure(err, "cannot read the DEM " + o.dem, opened.code, why);
        return kSkyBadInput;
    }
    // GDAL's warnings as they come, each text once however many windows meet it.
    std::set<std::string> warned;
    const auto warn = [&] {
        for (const std::string& warning : windows.warnings())
            if (warned.insert(warning).second) std::fprintf(err, "%s: warning: %s\n", kSkyProgram, warning.c_str());
    };
    warn();
    DemPlacement placed;
    if (const int code = PlaceDem(o, header.tags, header.width, header.height, plan.bandStarts.size(), &placed, err);
        code != kSkySuccess)
        return code;
    std::vector<TileCells> bands;
    if (const int code = CellsOfBands(o, header, plan, placed, &bands, err); code != kSkySuccess) return code;
    // The whole DEM's size and georeferencing for the files; its samples come a tile at a time.
    Dem whole;
    whole.width = header.width;
    whole.height = header.height;
    whole.tiff = header.tags;
    whole.crsWkt = header.band->crsWkt;
    whole.geotransform = header.band->geotransform;
    raster::SetBlockCacheBytes(kTileBlockCacheBytes);

    const RasterOutputFormat format{o.outputDriver, o.creationOptions};
    const OutputSource source{whole, placed.cellX, placed.cellY, placed.directions.azimuths, format};
    std::vector<std::unique_ptr<TileOutput>> outputs;
    if (!o.anglesFile.empty()) outputs.push_back(MakeTiledAngleOutput(o.anglesFile, source));
    if (!o.svfFile.empty()) outputs.push_back(MakeTiledSkyViewOutput(o.svfFile, o.svfModel, source));
    if (!o.shadeFile.empty())
        outputs.push_back(MakeTiledShadeOutput(o.shadeFile, o.sunAzimuth, o.sunElevation, o.shadeBits, source));
    std::unique_ptr<TileOutput> sunlight;
    if (const int code = MakeTiledSunlightOutput(o, source, &sunlight, err); code != kSkySuccess) return code;
    if (sunlight) outputs.push_back(std::move(sunlight));
    for (auto& output : outputs)
        if (const status::Status started = output->start(err); !started.ok()) return OutputFailureCode(started);

    // The days' sums share the sun's place over blocks of the DEM, summed whole.
    const bool daily = !o.irradiationFile.empty() || !o.sunHoursFile.empty();
    const std::vector<Tile> tiles =
        TilesOf(header.width, header.height, plan, daily ? kDayBlockColumns : 1, daily ? kDayBlockRows : 1);
    const char* noun = tiles.size() == 1 ? "tile" : "tiles";
    if (o.maxDistance == 0)  // only bands of latitude run in tiles without a distance
        std::fprintf(err, "%s: %zu %s, a band of rows each, each swept over the whole DEM\n", kSkyProgram, tiles.size(),
                     noun);
    else
        std::fprintf(err, "%s: %zu %s of at most %u x %u texels, each with a halo of %u rows and %u columns\n",
                     kSkyProgram, tiles.size(), noun, plan.core, plan.core, plan.halo.rows, plan.halo.columns);
    skyline::HorizonRequest request;
    request.curvature = o.curvature;
    request.maxDistance = o.maxDistance;
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    std::size_t done = 0;
    request.progress = [&](double share) { progress.update((static_cast<double>(done) + share) / tiles.size()); };
    progress.step("horizons in tiles");
    Dem tile;
    for (const Tile& t : tiles) {
        const auto band = std::upper_bound(plan.bandStarts.begin(), plan.bandStarts.end(), t.window.y + t.window.coreY);
        const TileCells& cells = bands[band == plan.bandStarts.begin() ? 0 : band - plan.bandStarts.begin() - 1];
        TileWindow core = t.window;
        core.cellX = cells.cellX;
        core.cellY = cells.cellY;
        core.azimuths = &cells.directions.azimuths;
        request.directions = cells.directions.lattice;
        request.cellX = std::fabs(cells.cellX);
        request.cellY = std::fabs(cells.cellY);
        if (const status::Status read = windows.read(core.x, core.y, t.width, t.height, &tile, &why); !read.ok()) {
            progress.done();
            ReportFailure(err, "cannot read the DEM " + o.dem, read.code, why);
            return kSkyBadInput;
        }
        warn();
        status::Status outputFailed;
        const status::Status computed = skyline::ComputeHorizonBatches(
            tile.grid(), request, [&](const std::vector<std::size_t>& indices, std::vector<std::vector<float>>& bands) {
                for (auto& output : outputs)
                    if (outputFailed.ok()) outputFailed = output->take(tile, core, indices, bands, err);
                return outputFailed.ok() ? status::Ok() : status::Fail(status::Code::Failed, {});
            });
        for (auto& output : outputs)
            if (outputFailed.ok() && computed.ok()) outputFailed = output->endTile(tile, core, err);
        if (!outputFailed.ok()) {
            progress.done();
            return OutputFailureCode(outputFailed);
        }
        if (!computed.ok()) {
            progress.done();
            std::fprintf(err, "%s: cannot compute the horizons: %s\n", kSkyProgram, status::Describe(computed).c_str());
            return kSkyBadInput;
        }
        ++done;
    }
    progress.done();
    for (auto& output : outputs)
        if (const status::Status failed = output->finish(out, err); !failed.ok()) return OutputFailureCode(failed);
    std::fprintf(err, "%s: %zu directions on %ux%u texels in %zu %s in %.2f s\n", kSkyProgram,
                 placed.directions.lattice.size(), header.width, header.height, tiles.size(), noun, progress.seconds());
    return kSkySuccess;
}

}  // namespace sky
