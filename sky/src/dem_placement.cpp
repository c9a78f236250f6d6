#include "sky/dem_placement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "sky/sky_outputs.h"
#include "sky/sky_run.h"

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

// In metres, signed as AzimuthOf takes them: a column step east, a row step south.
struct Cells {
    double x = 0, y = 0;
};

// Whether the arithmetic serves the cells; if not, why, naming them.
[[nodiscard]] bool CellsFit(const SkyOptions& o, std::uint32_t width, std::uint32_t height, Cells cells,
                            std::FILE* err) {
    const status::Status s = skyline::CheckCells(cells.x, cells.y, width, height, o.curvature);
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

}  // namespace

void SuggestReprojection(const std::string& dem, const DemTiffTags& tags, const std::optional<double>& noData,
                         std::FILE* err) {
    // The UTM zone of the DEM's corner; no data kept as no data (the corners outside
    // the DEM included): its own value when it has one, else NaN in floats, which hold
    // every integer sample exactly.
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

int PlaceDem(const SkyOptions& o, const std::optional<DemTiffTags>& tiff, std::uint32_t width, std::uint32_t height,
             std::size_t latitudeBands, DemPlacement* placed, std::FILE* err) {
    if (tiff && tiff->modelType == 2 && !o.cellX && latitudeBands > 1 && tiff->cellX) {
        std::fprintf(err,
                     "%s: %s is in degrees over too many latitudes for one cell size: %zu bands of rows, each with "
                     "cells in metres at its own centre latitude (east-west scale within %.2f %% in each; %.6g x "
                     "%.6g m at the DEM's centre)\n",
                     kSkyProgram, o.dem.c_str(), latitudeBands, kGeographicSpread * 100, *tiff->cellX, *tiff->cellY);
    } else if (tiff && tiff->modelType == 2 && !o.cellX) {
        // One cell size serves a grid whose parallels shrink little across it.
        const DemTiffTags& g = *tiff;
        if (!g.cellX || g.geographicSpread > kGeographicSpread) {
            if (g.crossesPole) std::fprintf(err, "%s: %s reaches past a pole\n", kSkyProgram, o.dem.c_str());
            if (g.geographicSpread > kGeographicSpread)
                std::fprintf(
                    err, "%s: %s spans too many latitudes for one cell size (its east-west scale varies by %.1f %%)\n",
                    kSkyProgram, o.dem.c_str(), g.geographicSpread * 100);
            SuggestReprojection(o.dem, g, o.reading.noData ? o.reading.noData : g.gdalNoData, err);
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
    } else if (tiff && tiff->cellX) {
        cells = {*tiff->cellX, *tiff->cellY};
    } else {
        std::fprintf(err, "%s: %s carries no cell size: give --cell X[,Y] in metres\n", kSkyProgram, o.dem.c_str());
        return kSkyBadCommand;
    }
    if (!CellsFit(o, width, height, cells, err)) return kSkyBadCommand;
    // The azimuths are true to the georeferencing the outputs carry.
    if (tiff && tiff->columnsRunWest) cells.x = -cells.x;
    if (tiff && tiff->rowsRunNorth) cells.y = -cells.y;
    if (!ChooseDirections(o, cells.x, cells.y, &placed->directions, err)) return kSkyBadCommand;
    placed->cellX = cells.x;
    placed->cellY = cells.y;
    return kSkySuccess;
}

}  // namespace sky
