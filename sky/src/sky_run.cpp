#include "sky/sky_run.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <thread>
#include <tuple>

#include "cli/program_main.h"
#include "image/decode_image.h"
#include "os/memory_budget.h"
#include "outputs/name_format.h"
#include "outputs/refused_names.h"
#include "sky/dem.h"
#include "sky/dem_placement.h"
#include "sky/latitude_bands.h"
#include "sky/progress.h"
#include "sky/run_memory.h"
#include "sky/sky_outputs.h"
#include "sky/sky_usage.h"
#include "sky/sky_viewer.h"
#include "sky/sunlight_output.h"
#include "sky/tiled_run.h"
#include "skyline/direction_choice.h"
#include "skyline/horizon_bands.h"

namespace sky {

namespace {

// Every name may be written, none is the DEM and no two are one file, by any
// spelling or link.
[[nodiscard]] int CheckOutputs(const SkyOptions& o, std::FILE* err) {
    const auto inputWords = [](const std::string&) { return std::string("it is the DEM itself"); };
    return outputs::CheckOutputNames(err, kSkyProgram, o.outputs(), {o.dem}, inputWords).ok() ? kSkySuccess
                                                                                              : kSkyWriteFailed;
}

bool Fits(std::uint64_t bytes) { return os::CheckFitsInMemory(bytes).ok(); }

unsigned long long Megabytes(std::uint64_t bytes) { return static_cast<unsigned long long>(bytes >> 20); }

// The output that needs the whole DEM at once, which a run in tiles cannot write; "" when none.
std::string WholePictureOutput(const SkyOptions& o) {
    const RasterOutputFormat format{o.outputDriver, o.creationOptions};
    if (!o.shadeFile.empty() && outputs::FloatFormatOf(o.shadeFile) != outputs::FloatFormat::Tiff)
        return "--shade as PNG";
    if (!o.engineFile.empty()) return "--engine";
    if (!o.viewerFile.empty()) return "--viewer";
    for (const auto& [file, option] : {std::pair{&o.anglesFile, "--angles"},
                                       {&o.svfFile, "--svf"},
                                       {&o.irradiationFile, "--irradiation"},
                                       {&o.sunHoursFile, "--sun-hours"},
                                       {&o.shadowMasksFile, "--shadow-masks"}})
        if (!file->empty() && WritesOwnExr(*file, format)) return std::string(option) + " as OpenEXR";
    return "";
}

// A geographic DEM's bands of latitude when one cell size does not serve it (and
// --cell does not give one); empty otherwise, or when even one row spreads too much.
std::vector<std::uint32_t> LatitudeBandsOf(const SkyOptions& o, const DemHeader& dem) {
    const DemTiffTags& t = dem.tags;
    if (o.cellX || t.modelType != 2 || !t.latitudes || !(t.geographicSpread > kGeographicSpread)) return {};
    return LatitudeBandStarts(*t.latitudes, dem.height);
}

// The smallest cells of any band: a halo of D texels serves them all.
std::pair<double, double> SmallestCells(const LatitudeGrid& grid, const std::vector<std::uint32_t>& starts,
                                        std::uint32_t height) {
    double x = HUGE_VAL, y = HUGE_VAL;
    for (std::size_t b = 0; b < starts.size(); ++b) {
        const RowCells cells = CellsOfBand(grid, starts, height, b);
        x = std::min(x, cells.cellX);
        y = std::min(y, cells.cellY);
    }
    return {x, y};
}

// Whether the run's peak fits in the memory available, from the DEM's header
// before its samples are read, and whether it runs in tiles (`plan`, core 0: whole).
// A geographic DEM's bands of latitude run as tiles, each swept over the whole DEM
// without --max-distance. A DEM whose size, cells or directions are not known yet is
// left to the run to refuse.
[[nodiscard]] int PlanMemory(const SkyOptions& o, const DemHeader& dem, TilePlan* plan, std::FILE* err) {
    std::optional<double> cellX = o.cellX ? o.cellX : dem.tags.cellX;
    std::optional<double> cellY = o.cellX ? o.cellY : dem.tags.cellY;
    if (!cellX || !cellY) return kSkySuccess;
    const std::vector<double> wanted = o.wantedAzimuths();
    std::vector<skyline::LatticeDirection> lattice(wanted.size());
    for (std::size_t k = 0; k < wanted.size(); ++k)
        if (!skyline::NearestLatticeDirection(wanted[k], *cellX, *cellY, skyline::kDirectionTolerance, &lattice[k]))
            return kSkySuccess;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());  // as the sweep runs
    const std::string whole = WholePictureOutput(o);
    const std::vector<std::uint32_t> bands = LatitudeBandsOf(o, dem);
    if (!bands.empty()) {
        if (!whole.empty()) {
            std::fprintf(err,
                         "%s: %s spans too many latitudes for one cell size: it runs in bands of rows, and %s needs "
                         "the whole DEM at once\n",
                         kSkyProgram, o.dem.c_str(), whole.c_str());
            SuggestReprojection(o.dem, dem.tags, o.reading.noData ? o.reading.noData : dem.tags.gdalNoData, err);
            return kSkyBadInput;
        }
        std::tie(cellX, cellY) = SmallestCells(*dem.tags.latitudes, bands, dem.height);
    }
    Halo halo = HaloOf(o.maxDistance, *cellX, *cellY);
    if (!bands.empty() && o.maxDistance == 0) halo = {dem.height, dem.width};
    if (o.tileSize != 0) {
        if (!whole.empty()) {
            std::fprintf(err, "%s: %s needs the whole DEM at once: it cannot be written in tiles (--tile-size)\n",
                         kSkyProgram, whole.c_str());
            return kSkyBadCommand;
        }
        *plan = {o.tileSize, halo, bands};
        const std::uint64_t peak = TiledRunPeakBytes(o, dem.width, dem.height, o.tileSize, halo, lattice, threads);
        if (Fits(peak)) return kSkySuccess;
        std::fprintf(err,
                     "%s: too little memory to make the files asked for: the run needs %llu MB, %llu MB are "
                     "available; a smaller --tile-size needs less\n",
                     kSkyProgram, Megabytes(peak), Megabytes(os::AvailableMemoryBytes()));
        return kSkyBadInput;
    }
    const std::uint32_t longer = std::max(dem.width, dem.height);
    const std::uint64_t peak = bands.empty()
                                   ? RunPeakBytes(o, dem.width, dem.height, lattice, threads)
                                   : TiledRunPeakBytes(o, dem.width, dem.height, longer, halo, lattice, threads);
    if (Fits(peak)) {
        if (!bands.empty()) *plan = {longer, halo, bands};
        return kSkySuccess;
    }
    // Tiles serve a run whose horizons reach a known distance, on a DEM GDAL reads window by window.
    const bool tileable = whole.empty() && (!o.curvature || !bands.empty()) && dem.band;
    if (tileable && o.maxDistance > 0)
        if (const std::uint32_t core = CoreThatFits(o, dem.width, dem.height, halo, lattice, threads, Fits)) {
            *plan = {core, halo, bands};
            const std::uint64_t tiled = TiledRunPeakBytes(o, dem.width, dem.height, core, halo, lattice, threads);
            std::fprintf(err,
                         "%s: the whole DEM needs %llu MB, %llu MB are available: in tiles of %u x %u texels, which "
                         "need %llu MB\n",
                         kSkyProgram, Megabytes(peak), Megabytes(os::AvailableMemoryBytes()), core, core,
                         Megabytes(tiled));
            return kSkySuccess;
        }
    std::string hint;
    if (tileable && o.maxDistance == 0)
        if (const double d = MaxDistanceThatFits(o, dem.width, dem.height, *cellX, *cellY, lattice, threads, Fits);
            d > 0) {
            char text[64];
            std::snprintf(text, sizeof text, "; --max-distance %.0f or less runs it in tiles", d);
            hint = text;
        }
    if (!whole.empty() && !o.curvature && dem.band) hint = "; " + whole + " needs the whole DEM at once";
    std::fprintf(err,
                 "%s: too little memory to make the files asked for: the run needs %llu MB, %llu MB are available%s\n",
                 kSkyProgram, Megabytes(peak), Megabytes(os::AvailableMemoryBytes()), hint.c_str());
    return kSkyBadInput;
}

// An output that failed, already reported: memory that ran out is exit 2 as anywhere else.
int OutputFailureCode(const status::Status& failure) {
    return failure.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyWriteFailed;
}

int Run(const SkyOptions& o, std::FILE* out, std::FILE* err) {
    Progress progress(err);
    if (const int code = CheckOutputs(o, err); code != kSkySuccess) return code;
    // A driver or an option GDAL refuses is a mistake on the command line.
    const bool floats = !o.anglesFile.empty() || !o.svfFile.empty() || !o.irradiationFile.empty() ||
                        !o.sunHoursFile.empty() || !o.shadowMasksFile.empty();
    const bool chosen = !o.outputDriver.empty() || !o.creationOptions.empty();
    if (const status::Status format =
            floats && chosen ? CheckRasterOutputFormat({o.outputDriver, o.creationOptions}, err) : status::Ok();
        !format.ok())
        return format.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyBadCommand;
    // Read once: the samples are loaded as the header judged here says, or refused.
    DemHeader header;
    const bool known = ReadDemHeader(o.dem, o.reading, &header);  // else the load says why
    TilePlan plan;
    if (const int code = known ? PlanMemory(o, header, &plan, err) : kSkySuccess; code != kSkySuccess) return code;
    if (plan.core != 0) return RunInTiles(o, header, plan, progress, out, err);
    Dem dem;
    std::string why;
    if (const status::Status loaded = LoadDem(o.dem, o.reading, known ? &header : nullptr, &dem, &why); !loaded.ok()) {
        ReportFailure(err, "cannot read the DEM " + o.dem, loaded.code, why);
        return kSkyBadInput;
    }
    header.opened.reset();  // closed, so that GDAL's cache of its blocks goes too
    for (const std::string& warning : dem.warnings)
        std::fprintf(err, "%s: warning: %s\n", kSkyProgram, warning.c_str());
    const double readAt = progress.seconds();
    DemPlacement placed;
    if (const int code = PlaceDem(o, dem.tiff, dem.width, dem.height, 0, &placed, err); code != kSkySuccess)
        return code;
    const double cellX = placed.cellX, cellY = placed.cellY;
    const skyline::ChosenDirections& directions = placed.directions;

    const RasterOutputFormat format{o.outputDriver, o.creationOptions};
    const OutputSource source{dem, cellX, cellY, directions.azimuths, format};
    std::vector<std::unique_ptr<BandOutput>> outputs;
    if (!o.anglesFile.empty()) outputs.push_back(MakeAngleOutput(o.anglesFile, source));
    if (!o.svfFile.empty()) outputs.push_back(MakeSkyViewOutput(o.svfFile, o.svfModel, source));
    if (!o.shadeFile.empty())
        outputs.push_back(MakeShadeOutput(o.shadeFile, o.sunAzimuth, o.sunElevation, o.shadeBits, source));
    if (!o.engineFile.empty()) outputs.push_back(MakeEngineOutput(o.engineFile, source));
    if (!o.viewerFile.empty()) outputs.push_back(MakeViewerOutput(o.viewerFile, o.dem, o.viewerSize, source));
    std::unique_ptr<BandOutput> sunlight;
    if (const int code = MakeSunlightOutput(o, source, &sunlight, err); code != kSkySuccess) return code;
    if (sunlight) outputs.push_back(std::move(sunlight));
    for (auto& output : outputs)
        if (const status::Status started = output->start(err); !started.ok()) return OutputFailureCode(started);

    skyline::HorizonRequest request;
    request.directions = directions.lattice;
    request.cellX = std::fabs(cellX);
    request.cellY = std::fabs(cellY);
    request.curvature = o.curvature;
    request.maxDistance = o.maxDistance;
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    request.progress = [&](double share) { progress.update(share); };
    progress.step("horizons");
    // Each batch goes to every output, which keeps only what it needs, before the next.
    double outputSeconds = 0;
    status::Status outputFailed;
    const status::Status computed = skyline::ComputeHorizonBatches(
        dem.grid(), request, [&](const std::vector<std::size_t>& indices, std::vector<std::vector<float>>& bands) {
            const double from = progress.seconds();
            for (auto& output : outputs)
                if (outputFailed.ok()) outputFailed = output->take(indices, bands, err);
            outputSeconds += progress.seconds() - from;
            // Already reported by the output.
            return outputFailed.ok() ? status::Ok() : status::Fail(status::Code::Failed, {});
        });
    progress.done();
    const double sweptAt = progress.seconds();
    if (!outputFailed.ok()) return OutputFailureCode(outputFailed);
    if (!computed.ok()) {
        std::fprintf(err, "%s: cannot compute the horizons: %s\n", kSkyProgram, status::Describe(computed).c_str());
        return kSkyBadInput;
    }
    for (auto& output : outputs)
        if (const status::Status failed = output->finish(out, err); !failed.ok()) return OutputFailureCode(failed);
    std::fprintf(err, "%s: %zu directions on %ux%u texels in %.2f s (read %.2f s, horizons %.2f s, the rest %.2f s)\n",
                 kSkyProgram, directions.lattice.size(), dem.width, dem.height, progress.seconds(), readAt,
                 sweptAt - readAt - outputSeconds, progress.seconds() - sweptAt + outputSeconds);
    return kSkySuccess;
}

}  // namespace

int RunSky(const SkyOptions& options, std::FILE* out, std::FILE* err) {
    try {
        return Run(options, out, err);
    } catch (const std::bad_alloc&) {
        ReportFailure(err, "stopped", status::Code::OutOfMemory);
        return kSkyBadInput;
    }
}

int SkyMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    const cli::ProgramTexts texts{kSkyProgram, SkyHelp, SkyVersion, SkyUsage};
    const cli::ProgramCodes codes{kSkySuccess, kSkyBadCommand, kSkyWriteFailed, kSkyBadInput};
    const ParsedCommandLine parsed = ParseSkyCommandLine(arguments);
    return cli::ActOnCommandLine(
        texts, codes, parsed.action, parsed.error, [&] { return RunSky(parsed.options, out, err); }, out, err);
}

}  // namespace sky
