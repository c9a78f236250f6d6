#include "sky/sky_run.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

#include "platform/same_file.h"
#include "platform/save_target.h"
#include "sky/dem.h"
#include "sky/horizon_bands.h"
#include "sky/progress.h"
#include "sky/sky_outputs.h"
#include "sky/sky_usage.h"
#include "sky/sky_viewer.h"

namespace sky {

namespace {

constexpr double kTolerance = 1.0;  // degrees an azimuth may move to a lattice direction

// The directions used, with the azimuths actually used.
struct Directions {
    std::vector<LatticeDirection> lattice;
    std::vector<double> azimuths;
};

[[nodiscard]] bool ChooseDirections(const SkyOptions& o, double cellX, double cellY, Directions* chosen,
                                    std::FILE* err) {
    std::string line = "directions:";
    for (double wanted : o.wantedAzimuths()) {
        LatticeDirection d;
        if (!NearestLatticeDirection(wanted, cellX, cellY, kTolerance, &d)) {
            std::fprintf(err, "%s: no grid direction lies within 1 degree of azimuth %s with these cells\n",
                         kSkyProgram, Degrees(wanted).c_str());
            return false;
        }
        chosen->lattice.push_back(d);
        chosen->azimuths.push_back(AzimuthOf(d, cellX, cellY));
        line.append(" ").append(Degrees(chosen->azimuths.back()));
        if (std::fabs(std::remainder(chosen->azimuths.back() - wanted, 360.0)) >= 0.005)
            line.append(" (for ").append(Degrees(wanted)).append(")");
    }
    std::fprintf(err, "%s: %s\n", kSkyProgram, line.c_str());
    return true;
}

// Every name may be written, and none is the DEM under another name.
[[nodiscard]] int CheckOutputs(const SkyOptions& o, std::FILE* err) {
    for (const std::string& name : o.outputs()) {
        if (platform::NamesSameFile(name, o.dem)) {
            std::fprintf(err, "%s: %s is the DEM itself\n", kSkyProgram, name.c_str());
            return kSkyBadCommand;
        }
        platform::SaveTarget target;
        if (const HRESULT hr = platform::ResolveSaveTarget(name, &target); hr != S_OK) {
            ReportFailure(err, "cannot write " + name, hr);
            return kSkyWriteFailed;
        }
    }
    return kSkySuccess;
}

struct Cells {
    double x = 0, y = 0;
};

// The one line a user needs: the UTM zone of the DEM's corner, for gdalwarp.
void ReportGeographic(const std::string& dem, const DemTiffTags& tags, std::FILE* err) {
    const double lon = tags.west.value_or(0), lat = tags.north.value_or(0);
    const int zone = std::clamp(static_cast<int>(std::floor((lon + 180) / 6)) + 1, 1, 60);
    std::fprintf(err,
                 "%s: %s is in degrees (geographic coordinates); reproject it to metres first, e.g. gdalwarp -t_srs "
                 "EPSG:%d -r bilinear %s dem_utm.tif\n",
                 kSkyProgram, dem.c_str(), (lat < 0 ? 32700 : 32600) + zone, dem.c_str());
}

int Run(const SkyOptions& o, std::FILE* out, std::FILE* err) {
    Progress progress(err);
    Dem dem;
    std::string why;
    if (const HRESULT hr = LoadDem(o.dem, o.reading, &dem, &why); hr != S_OK) {
        ReportFailure(err, "cannot read the DEM " + o.dem, hr, why);
        return kSkyBadInput;
    }
    const double readAt = progress.seconds();
    if (dem.tiff && dem.tiff->modelType == 2) {
        ReportGeographic(o.dem, *dem.tiff, err);
        return kSkyBadInput;
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
    Directions directions;
    if (!ChooseDirections(o, cells.x, cells.y, &directions, err)) return kSkyBadCommand;
    if (const int code = CheckOutputs(o, err); code != kSkySuccess) return code;

    const OutputSource source{dem, cells.x, cells.y, directions.azimuths};
    std::vector<std::unique_ptr<BandOutput>> outputs;
    if (!o.anglesFile.empty()) outputs.push_back(MakeAngleOutput(o.anglesFile, source));
    if (!o.svfFile.empty()) outputs.push_back(MakeSkyViewOutput(o.svfFile, o.svfModel, source));
    if (!o.shadeFile.empty())
        outputs.push_back(MakeShadeOutput(o.shadeFile, o.sunAzimuth, o.sunElevation, o.shadeBits, source));
    if (!o.engineFile.empty()) outputs.push_back(MakeEngineOutput(o.engineFile, source));
    if (!o.viewerFile.empty()) outputs.push_back(MakeViewerOutput(o.viewerFile, o.dem, o.viewerSize, source));
    for (auto& output : outputs)
        if (!output->start(err)) return kSkyWriteFailed;

    HorizonRequest request;
    request.directions = directions.lattice;
    request.cellX = cells.x;
    request.cellY = cells.y;
    request.curvature = o.curvature;
    request.maxDistance = o.maxDistance;
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    request.progress = [&](double share) { progress.update(share); };
    progress.step("horizons");
    // Each batch goes to every output, which keeps only what it needs, before the next.
    double outputSeconds = 0;
    bool outputFailed = false;
    const HRESULT hr = ComputeHorizonBatches(
        dem.grid(), request, [&](const std::vector<std::size_t>& indices, std::vector<std::vector<float>>& bands) {
            const double from = progress.seconds();
            for (auto& output : outputs)
                if (!output->take(indices, bands, err)) outputFailed = true;
            outputSeconds += progress.seconds() - from;
            return outputFailed ? E_FAIL : S_OK;
        });
    progress.done();
    const double sweptAt = progress.seconds();
    if (outputFailed) return kSkyWriteFailed;
    if (hr != S_OK) {
        ReportFailure(err, "cannot compute the horizons", hr);
        return kSkyBadInput;
    }
    for (auto& output : outputs)
        if (!output->finish(out, err)) return kSkyWriteFailed;
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
        ReportFailure(err, "stopped", E_OUTOFMEMORY);
        return kSkyBadInput;
    }
}

int SkyMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    const ParsedCommandLine parsed = ParseSkyCommandLine(arguments);
    switch (parsed.action) {
        case CommandLineAction::Help: std::fputs(SkyHelp().c_str(), out); return kSkySuccess;
        case CommandLineAction::Version: std::fputs(SkyVersion().c_str(), out); return kSkySuccess;
        case CommandLineAction::Usage: std::fputs(SkyUsage().c_str(), err); return kSkyBadCommand;
        case CommandLineAction::Error:
            std::fprintf(err, "%s: %s\n", kSkyProgram, parsed.error.c_str());
            std::fputs(SkyUsage().c_str(), err);
            return kSkyBadCommand;
        case CommandLineAction::Run: break;
    }
    return RunSky(parsed.options, out, err);
}

}  // namespace sky
