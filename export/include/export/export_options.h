#pragma once
// The companion's command line: options in the getopt_long manner (--name=value,
// --name value, -Xvalue, -X value, -- ends the options) and one horizon map.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "export/grey_preview.h"
#include "export/texel_kind.h"
#include "horizon/horizon_kernel.h"
#include "encode/compression.h"
#include "settings/tool_parameters.h"

namespace exporter {

struct ExportOptions {
    std::string horizonMap;
    std::string previewPrefix;  // PREFIX.red.png, PREFIX.green.png, PREFIX.both.png
    int bitDepth = 8;
    encode::Compression compression = encode::Compression::Fast;
    double rangeDegrees = kDefaultRangeDegrees;
    std::uint32_t shrink = 1;
    std::vector<std::string> channelFiles;
    std::vector<std::string> angleFiles;
    std::string heightPng;
    std::string shadeFile;                   // .png, .tif or .tiff
    double sunDegrees = 0;                   // above the horizon, in (0, 90]; 0: not given
    Direction sunFrom = Direction::Forward;  // red: the sun ahead along increasing rows
    std::string heightMap;
    std::string viewerFile;          // the terrain page
    std::uint32_t viewerSize = 512;  // its most grid points along a side
    // The umbrascope run's Height, HeightZero and TerraSize, with its defaults.
    horizon::HorizonSettings terrain{kToolDefaults.Height, kToolDefaults.HeightZero, kToolDefaults.TerraSize};

    // Whether an output needs the height map (angles, height preview, shade, page).
    bool needsHeightMap() const {
        return !angleFiles.empty() || !heightPng.empty() || !shadeFile.empty() || !viewerFile.empty();
    }
};

// Every file a run writes, in the order it writes them: the previews, the height
// preview, the channel files, the angle files, the shaded picture. Exhausted memory escapes as
// std::bad_alloc, here and below.
std::vector<std::string> OutputFiles(const ExportOptions& options);

// Every file a run reads: the horizon map, and the height map when one is given.
std::vector<std::string> InputFiles(const ExportOptions& options);

// Run, Help, Version, Usage or Error, as each companion reads its line.
using cli::CommandLineAction;

struct ParsedCommandLine {
    CommandLineAction action = CommandLineAction::Error;
    ExportOptions options;
    std::string error;
};

// `arguments` without the program name. Numbers are read in the C locale and
// rounded to 32-bit floats as the tool rounds them; a value wrapped in double
// quotes, the tool's way of passing "-5", is taken without them. Any words; what is
// wrong is an Error with its reason. Exhausted memory escapes as std::bad_alloc.
ParsedCommandLine ParseExportCommandLine(const std::vector<std::string>& arguments);

}  // namespace exporter
