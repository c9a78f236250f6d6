#pragma once
// The command line of umbrascope-sky.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "sky/dem.h"
#include "skyline/derived_products.h"

namespace sky {

struct SkyOptions {
    std::string dem;
    DemReading reading;
    std::optional<double> cellX, cellY;  // metres
    unsigned directionCount = 16;
    double start = 0;              // degrees
    std::vector<double> azimuths;  // when given, instead of count and start
    bool curvature = false;
    double maxDistance = 0;  // metres; 0: to the map's edge
    std::uint32_t tileSize = 0;  // texels a side of a tile's core; 0: tiles only when the whole run does not fit
    // GDAL's driver and creation options for the float outputs ("": GeoTIFF, or
    // OpenEXR by the name).
    std::string outputDriver;
    std::vector<std::string> creationOptions;
    std::string anglesFile;
    std::string svfFile;
    skyline::SvfModel svfModel = skyline::SvfModel::Horizontal;
    std::string shadeFile;
    std::string engineFile;
    std::string viewerFile;
    std::uint32_t viewerSize = 512;  // the page's mesh at most this many points a side
    double sunAzimuth = 0, sunElevation = 0;
    bool sunGiven = false;
    int shadeBits = 8;  // 8 or 16
    // Sunlight through the day (sky/sunlight_output.h).
    std::string irradiationFile, sunHoursFile, shadowMasksFile;
    int firstDay = 0, lastDay = 0;  // day of the year, 1 to 366; 0: not given
    std::vector<double> times;      // hours of the masks, 0 to 24
    bool utc = false;               // the times in UTC, not local solar time
    double timeStep = 0.5;          // hours
    double linke = 3.0, albedo = 0.2;
    std::optional<double> latitude;  // degrees, for a DEM without georeferencing

    // The azimuths asked for, in degrees: `azimuths`, else `directionCount` of them
    // evenly spaced from `start` modulo 360.
    std::vector<double> wantedAzimuths() const;
    // Every output's name, in the order they are written.
    std::vector<std::string> outputs() const;
};

// Run, Help, Version, Usage or Error, as each companion reads its line.
using cli::CommandLineAction;

struct ParsedCommandLine {
    CommandLineAction action = CommandLineAction::Usage;
    SkyOptions options;  // meaningful for Run
    std::string error;   // for Error: one line, no program name
};

// The arguments without the program's name. No arguments: Usage; --help or
// --version anywhere before "--": Help or Version; a mistake: Error with the reason.
[[nodiscard]] ParsedCommandLine ParseSkyCommandLine(const std::vector<std::string>& arguments);

}  // namespace sky
