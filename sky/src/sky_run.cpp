#include "sky/sky_run.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

#include "platform/encode/exr_encoder.h"
#include "platform/encode/output_file.h"
#include "platform/encode/png_encoder.h"
#include "platform/encode/tiff_encoder.h"
#include "platform/same_file.h"
#include "platform/save_target.h"
#include "platform/wide_text.h"
#include "results/describe_result.h"
#include "sky/dem.h"
#include "sky/derived_products.h"
#include "sky/engine_texture.h"
#include "sky/horizon_bands.h"
#include "sky/progress.h"
#include "sky/sky_usage.h"

namespace sky {

namespace {

constexpr const char* kProgram = "umbrascope-sky";
constexpr double kTolerance = 1.0;  // degrees an azimuth may move to a lattice direction

std::string Describe(HRESULT result) {
    std::string text = platform::NarrowToBytes(DescribeResult(result));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

void Report(std::FILE* err, const std::string& what, HRESULT result, const std::string& why = "") {
    std::fprintf(err, "%s: %s: %s\n", kProgram, what.c_str(), why.empty() ? Describe(result).c_str() : why.c_str());
}

std::string Degrees(double azimuth) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", azimuth);
    return text;
}

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
            std::fprintf(err, "%s: no grid direction lies within 1 degree of azimuth %s with these cells\n", kProgram,
                         Degrees(wanted).c_str());
            return false;
        }
        chosen->lattice.push_back(d);
        chosen->azimuths.push_back(AzimuthOf(d, cellX, cellY));
        line.append(" ").append(Degrees(chosen->azimuths.back()));
        if (std::fabs(std::remainder(chosen->azimuths.back() - wanted, 360.0)) >= 0.005)
            line.append(" (for ").append(Degrees(wanted)).append(")");
    }
    std::fprintf(err, "%s: %s\n", kProgram, line.c_str());
    return true;
}

// Every name may be written, and none is the DEM under another name.
[[nodiscard]] int CheckOutputs(const SkyOptions& o, std::FILE* err) {
    for (const std::string& name : o.outputs()) {
        if (platform::NamesSameFile(name, o.dem)) {
            std::fprintf(err, "%s: %s is the DEM itself\n", kProgram, name.c_str());
            return kSkyBadCommand;
        }
        platform::SaveTarget target;
        if (const HRESULT hr = platform::ResolveSaveTarget(name, &target); hr != S_OK) {
            Report(err, "cannot write " + name, hr);
            return kSkyWriteFailed;
        }
    }
    return kSkySuccess;
}

// GDAL's metadata: the azimuths used and any other dataset items, then each band's
// description.
std::string GdalMetadata(const std::string& azimuths, const std::vector<std::string>& descriptions,
                         const std::string& items = "") {
    std::string xml = "<GDALMetadata>\n  <Item name=\"AZIMUTHS\">" + azimuths + "</Item>\n" + items;
    for (std::size_t i = 0; i < descriptions.size(); ++i)
        xml += "  <Item name=\"DESCRIPTION\" sample=\"" + std::to_string(i) + "\" role=\"description\">" +
               descriptions[i] + "</Item>\n";
    return xml + "</GDALMetadata>\n";
}

std::string AzimuthList(const std::vector<double>& azimuths) {
    std::string list;
    for (double azimuth : azimuths) list.append(list.empty() ? "" : " ").append(Degrees(azimuth));
    return list;
}

[[nodiscard]] bool WriteFile(const std::string& path, HRESULT encoded, const std::string& why,
                             const std::vector<std::uint8_t>& bytes, std::FILE* out, std::FILE* err) {
    if (encoded != S_OK) {
        Report(err, "cannot make " + path, encoded, why);
        return false;
    }
    if (const HRESULT hr = exporter::WriteFileAtomically(path, bytes); hr != S_OK) {
        Report(err, "cannot write " + path, hr);
        return false;
    }
    std::fprintf(out, "wrote %s\n", path.c_str());
    return true;
}

// A TIFF with its tags, or an OpenEXR whose channel names say it all.
[[nodiscard]] bool WriteFloats(const std::string& path, const exporter::FloatChannels& channels,
                               const exporter::TiffExtras& extras, std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    const HRESULT hr = exporter::FloatFormatOf(path) == exporter::FloatFormat::Exr
                           ? exporter::EncodeFloatExr(channels, &bytes, &why)
                           : exporter::EncodeFloatTiff(channels, &bytes, &why, extras);
    return WriteFile(path, hr, why, bytes, out, err);
}

[[nodiscard]] bool WriteAngles(const std::string& path, const Dem& dem, const Directions& directions,
                               std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err) {
    exporter::FloatChannels channels{dem.width, dem.height, {}, {}};
    std::vector<std::string> descriptions;
    for (double azimuth : directions.azimuths) {
        channels.names.push_back("azimuth_" + Degrees(azimuth));
        descriptions.push_back("azimuth " + Degrees(azimuth));
    }
    channels.planes = std::move(bands);
    exporter::TiffExtras extras;
    extras.software = kProgram;
    extras.gdalMetadata = GdalMetadata(AzimuthList(directions.azimuths), descriptions);
    extras.gdalNoData = "-9999";
    extras.deflateLevel = 1;  // several times faster than the default, a few per cent larger
    if (dem.tiff) extras.geo = dem.tiff->geo;
    const bool written = WriteFloats(path, channels, extras, out, err);
    bands = std::move(channels.planes);
    return written;
}

[[nodiscard]] bool WriteSkyView(const SkyOptions& o, const Dem& dem, double cellX, double cellY,
                                const Directions& directions, const std::vector<std::vector<float>>& bands,
                                std::FILE* out, std::FILE* err) {
    static const char* const kModels[] = {"horizontal", "sloped", "zaksek"};
    const char* model = kModels[static_cast<int>(o.svfModel)];
    exporter::FloatChannels channels{dem.width, dem.height, {"svf"}, {}};
    channels.planes.push_back(SkyViewFactor(dem.grid(), cellX, cellY, bands, directions.azimuths, o.svfModel));
    exporter::TiffExtras extras;
    extras.software = kProgram;
    extras.gdalMetadata = GdalMetadata(AzimuthList(directions.azimuths), {"sky-view factor"},
                                       std::string("  <Item name=\"SVF_MODEL\">") + model + "</Item>\n");
    extras.gdalNoData = "-9999";
    extras.deflateLevel = 1;
    if (dem.tiff) extras.geo = dem.tiff->geo;
    return WriteFloats(o.svfFile, channels, extras, out, err);
}

[[nodiscard]] bool WriteShade(const SkyOptions& o, const Dem& dem, double cellX, double cellY,
                              const Directions& directions, const std::vector<std::vector<float>>& bands,
                              std::FILE* out, std::FILE* err) {
    const exporter::GreyImage image =
        Hillshade(dem.grid(), cellX, cellY, bands, directions.azimuths, o.sunAzimuth, o.sunElevation);
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = exporter::EncodeGreyPng(image, &bytes);
    return WriteFile(o.shadeFile, hr, "", bytes, out, err);
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
                 kProgram, dem.c_str(), (lat < 0 ? 32700 : 32600) + zone, dem.c_str());
}

[[nodiscard]] bool WriteEngine(const SkyOptions& o, const Dem& dem, const std::vector<std::vector<float>>& bands,
                               std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = EncodeEngineDds(bands, dem.width, dem.height, &bytes);
    return WriteFile(o.engineFile, hr, "", bytes, out, err);
}

int Run(const SkyOptions& o, std::FILE* out, std::FILE* err) {
    Progress progress(err);
    Dem dem;
    std::string why;
    if (const HRESULT hr = LoadDem(o.dem, o.reading, &dem, &why); hr != S_OK) {
        Report(err, "cannot read the DEM " + o.dem, hr, why);
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
        std::fprintf(err, "%s: %s carries no cell size: give --cell X[,Y] in metres\n", kProgram, o.dem.c_str());
        return kSkyBadCommand;
    }
    Directions directions;
    if (!ChooseDirections(o, cells.x, cells.y, &directions, err)) return kSkyBadCommand;
    if (const int code = CheckOutputs(o, err); code != kSkySuccess) return code;

    HorizonRequest request;
    request.directions = directions.lattice;
    request.cellX = cells.x;
    request.cellY = cells.y;
    request.curvature = o.curvature;
    request.maxDistance = o.maxDistance;
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    request.progress = [&](double share) { progress.update(share); };
    progress.step("horizons");
    std::vector<std::vector<float>> bands;
    const HRESULT hr = ComputeHorizonBands(dem.grid(), request, &bands);
    progress.done();
    const double sweptAt = progress.seconds();
    if (hr != S_OK) {
        Report(err, "cannot compute the horizons", hr);
        return kSkyBadInput;
    }
    if (!o.anglesFile.empty() && !WriteAngles(o.anglesFile, dem, directions, bands, out, err)) return kSkyWriteFailed;
    if (!o.svfFile.empty() && !WriteSkyView(o, dem, cells.x, cells.y, directions, bands, out, err))
        return kSkyWriteFailed;
    if (!o.shadeFile.empty() && !WriteShade(o, dem, cells.x, cells.y, directions, bands, out, err))
        return kSkyWriteFailed;
    if (!o.engineFile.empty() && !WriteEngine(o, dem, bands, out, err)) return kSkyWriteFailed;
    std::fprintf(err, "%s: %zu directions on %ux%u texels in %.2f s (read %.2f s, horizons %.2f s, the rest %.2f s)\n",
                 kProgram, directions.lattice.size(), dem.width, dem.height, progress.seconds(), readAt,
                 sweptAt - readAt, progress.seconds() - sweptAt);
    return kSkySuccess;
}

}  // namespace

int RunSky(const SkyOptions& options, std::FILE* out, std::FILE* err) {
    try {
        return Run(options, out, err);
    } catch (const std::bad_alloc&) {
        Report(err, "stopped", E_OUTOFMEMORY);
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
            std::fprintf(err, "%s: %s\n", kProgram, parsed.error.c_str());
            std::fputs(SkyUsage().c_str(), err);
            return kSkyBadCommand;
        case CommandLineAction::Run: break;
    }
    return RunSky(parsed.options, out, err);
}

}  // namespace sky
