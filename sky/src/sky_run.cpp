#include "sky/sky_run.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

#include "cli/program_main.h"
#include "image/decode_image.h"
#include "os/memory_budget.h"
#include "outputs/refused_names.h"
#include "sky/dem.h"
#include "sky/progress.h"
#include "sky/run_memory.h"
#include "sky/sky_outputs.h"
#include "sky/sky_usage.h"
#include "sky/sky_viewer.h"
#include "sky/sunlight_output.h"
#include "skyline/direction_choice.h"
#include "skyline/horizon_bands.h"

namespace sky {

namespace {

// The directions used, with the azimuths actually used.
using Directions = skyline::ChosenDirections;

// `cellX` and `cellY` signed as AzimuthOf takes them.
[[nodiscard]] bool ChooseDirections(const SkyOptions& o, double cellX, double cellY, Directions* chosen,
                                    std::FILE* err) {
    const std::vector<double> wanted = o.wantedAzimuths();
    if (const status::Status s = skyline::ChooseDirections(wanted, cellX, cellY, chosen); !s.ok()) {
        std::fprintf(err, "%s: %s\n", kSkyProgram, s.reason.c_str());
        return false;
    }
    std::string line = "directions:";
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        line.append(" ").append(Degrees(chosen->azimuths[k]));
        if (std::fabs(std::remainder(chosen->azimuths[k] - wanted[k], 360.0)) >= 0.005)
            line.append(" (for ").append(Degrees(wanted[k])).append(")");
    }
    std::fprintf(err, "%s: %s\n", kSkyProgram, line.c_str());
    return true;
}

// Every name may be written, none is the DEM and no two are one file, by any
// spelling or link.
[[nodiscard]] int CheckOutputs(const SkyOptions& o, std::FILE* err) {
    const auto inputWords = [](const std::string&) { return std::string("it is the DEM itself"); };
    return outputs::CheckOutputNames(err, kSkyProgram, o.outputs(), {o.dem}, inputWords).ok() ? kSkySuccess
                                                                                              : kSkyWriteFailed;
}

// Whether the run's peak fits in the memory available, from the DEM's header
// before its samples are read. A DEM whose size, cells or directions are not known
// yet is left to the run to refuse.
[[nodiscard]] int CheckMemory(const SkyOptions& o, const DemHeader& dem, std::FILE* err) {
    const std::optional<double> cellX = o.cellX ? o.cellX : dem.tags.cellX;
    const std::optional<double> cellY = o.cellX ? o.cellY : dem.tags.cellY;
    if (!cellX || !cellY) return kSkySuccess;
    const std::vector<double> wanted = o.wantedAzimuths();
    std::vector<skyline::LatticeDirection> lattice(wanted.size());
    for (std::size_t k = 0; k < wanted.size(); ++k)
        if (!skyline::NearestLatticeDirection(wanted[k], *cellX, *cellY, skyline::kDirectionTolerance, &lattice[k]))
            return kSkySuccess;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());  // as the sweep runs
    const std::uint64_t peak = RunPeakBytes(o, dem.width, dem.height, lattice, threads);
    if (!os::CheckFitsInMemory(peak).ok()) {
        const auto mb = [](std::uint64_t bytes) { return static_cast<unsigned long long>(bytes >> 20); };
        std::fprintf(err,
                     "%s: too little memory to make the files asked for: the run needs %llu MB, %llu MB are "
                     "available\n",
                     kSkyProgram, mb(peak), mb(os::AvailableMemoryBytes()));
        return kSkyBadInput;
    }
    return kSkySuccess;
}

// An output that failed, already reported: memory that ran out is exit 2 as anywhere else.
int OutputFailureCode(const status::Status& failure) {
    return failure.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyWriteFailed;
}

// In metres, signed as AzimuthOf takes them: a column step east, a row step south.
struct Cells {
    double x = 0, y = 0;
};

// Whether the arithmetic serves the cells; if not, why, naming them.
[[nodiscard]] bool CellsFit(const SkyOptions& o, const Dem& dem, Cells cells, std::FILE* err) {
    const status::Status s = skyline::CheckCells(cells.x, cells.y, dem.width, dem.height, o.curvature);
    if (!s.ok()) std::fprintf(err, "%s: %s\n", kSkyProgram, s.reason.c_str());
    return s.ok();
}

// `text` as one word of a POSIX shell command line.
std::string ShellWord(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_./+,:=@%-") == std::string::npos;
    const std::string word = !text.empty() && text[0] == '-' ? "./" + text : text;  // never an option
    if (plain) return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The share by which a geographic grid's east-west scale may differ between its
// centre and its northern or southern rows: 1 % shifts a 45-degree horizon by at most
// 0.3 degrees, one of 10 degrees by 0.1.
constexpr double kGeographicSpread = 0.01;

// The one line a user needs: the UTM zone of the DEM's corner, for gdalwarp, and
// no data kept as no data (the corners outside the DEM included): its own value
// when it has one, else NaN in floats, which hold every integer sample exactly.
void ReportGeographic(const std::string& dem, const DemTiffTags& tags, const std::optional<double>& noData,
                      std::FILE* err) {
    const double lon = tags.west.value_or(0), lat = tags.north.value_or(0);
    const int zone = std::clamp(static_cast<int>(std::floor((lon + 180) / 6)) + 1, 1, 60);
    std::string keep = "-ot Float32 -dstnodata nan";
    if (noData && !std::isnan(*noData)) {
        char value[32];
        const auto end = std::to_chars(value, value + sizeof value, *noData).ptr;
        const std::string v(value, end);
        keep = "-srcnodata " + v + " -dstnodata " + v;
    }
    std::fprintf(err,
                 "%s: %s is in degrees (geographic coordinates); reproject it to metres first, e.g. gdalwarp -t_srs "
                 "EPSG:%d -r bilinear %s %s dem_utm.tif\n",
                 kSkyProgram, dem.c_str(), (lat < 0 ? 32700 : 32600) + zone, keep.c_str(), ShellWord(dem).c_str());
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
    if (const int code = known ? CheckMemory(o, header, err) : kSkySuccess; code != kSkySuccess) return code;
    Dem dem;
    std::string why;
    if (const status::Status loaded = LoadDem(o.dem, o.reading, known ? &header : nullptr, &dem, &why);
        !loaded.ok()) {
        ReportFailure(err, "cannot read the DEM " + o.dem, loaded.code, why);
        return kSkyBadInput;
    }
    for (const std::string& warning : dem.warnings)
        std::fprintf(err, "%s: warning: %s\n", kSkyProgram, warning.c_str());
    const double readAt = progress.seconds();
    if (dem.tiff && dem.tiff->modelType == 2 && !o.cellX) {
        // One cell size serves a grid whose parallels shrink little across it.
        const DemTiffTags& g = *dem.tiff;
        if (!g.cellX || g.geographicSpread > kGeographicSpread) {
            if (g.crossesPole) std::fprintf(err, "%s: %s reaches past a pole\n", kSkyProgram, o.dem.c_str());
            if (g.geographicSpread > kGeographicSpread)
                std::fprintf(
                    err, "%s: %s spans too many latitudes for one cell size (its east-west scale varies by %.1f %%)\n",
                    kSkyProgram, o.dem.c_str(), g.geographicSpread * 100);
            ReportGeographic(o.dem, g, o.reading.noData ? o.reading.noData : g.gdalNoData, err);
            return kSkyBadInput;
        }
        std::fprintf(
            err,
            "%s: %s is in degrees: cells of %.6g x %.6g m at its centre latitude (east-west scale within %.2f %%)\n",
            kSkyProgram, o.dem.c_str(), *g.cellX, *g.cellY, g.geographicSpread * 100);
    }
    Cells cells;
    if (o.cellX) {
        cells = {*o.cellX, *o.cellY};
    } else if (dem.tiff && dem.tiff->cellX) {
        cells = {*dem.tiff->cellX, *dem.tiff->cellY};
    } else {
        std::fprintf(err, "%s: %s carries no cell size: give --cell X[,Y] in metres\n", kSkyProgram, o.dem.c_str());
        return kSkyBadCommand;
    }
    if (!CellsFit(o, dem, cells, err)) return kSkyBadCommand;
    // The azimuths are true to the georeferencing the outputs carry.
    if (dem.tiff && dem.tiff->columnsRunWest) cells.x = -cells.x;
    if (dem.tiff && dem.tiff->rowsRunNorth) cells.y = -cells.y;
    Directions directions;
    if (!ChooseDirections(o, cells.x, cells.y, &directions, err)) return kSkyBadCommand;

    const RasterOutputFormat format{o.outputDriver, o.creationOptions};
    const OutputSource source{dem, cells.x, cells.y, directions.azimuths, format};
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
    request.cellX = std::fabs(cells.x);
    request.cellY = std::fabs(cells.y);
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
