#include "sky/sky_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "cli/number_word.h"
#include "skyline/direction_choice.h"

namespace sky {

namespace {

using cli::NumberOf;

// Comma-separated numbers, none missing.
std::optional<std::vector<double>> NumbersOf(const std::string& text) {
    std::vector<double> numbers;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const auto n = NumberOf(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (!n) return std::nullopt;
        numbers.push_back(*n);
        if (comma == std::string::npos) return numbers;
        from = comma + 1;
    }
}

bool EndsWithAny(const std::string& name, std::initializer_list<const char*> extensions) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* e : extensions) {
        const std::string ext(e);
        if (lower.size() > ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0) return true;
    }
    return false;
}

constexpr cli::OptionEntry kOptions[] = {
    {"curvature", 0, false},
    {"help", 0, false},
    {"version", 0, false},
    {"band"},
    {"cell"},
    {"scale"},
    {"offset"},
    {"nodata"},
    {"directions"},
    {"start"},
    {"azimuths"},
    {"angles"},
    {"svf"},
    {"svf-model"},
    {"shade"},
    {"sun"},
    {"16-bit", 0, false},
    {"max-distance"},
    {"tile-size"},
    {"engine"},
    {"viewer"},
    {"viewer-size"},
    {"irradiation"},
    {"sun-hours"},
    {"shadow-masks"},
    {"day"},
    {"times"},
    {"utc", 0, false},
    {"time-step"},
    {"linke"},
    {"albedo"},
    {"latitude"},
    {"of"},
    {"co"},
};

// A number such as -10 is a value or the DEM's name, never an option; there are no
// letters.
constexpr cli::WordRules kWords{.letters = false, .numbersAreOperands = true};

// Each function answers why the line is refused, or "".
class Parser {
public:
    explicit Parser(SkyOptions* options) : o(*options) {}

    std::string apply(const cli::OptionEntry& entry, const std::string& value) {
        const std::string name = entry.name;
        const std::string option = "--" + name;
        const auto number = NumberOf(value);
        const auto numbers = NumbersOf(value);
        const auto needNumber = [&] { return option + " needs a number, not \"" + value + "\""; };
        if (name == "curvature") {
            o.curvature = true;
        } else if (name == "cell") {
            if (!numbers || numbers->size() > 2 || !((*numbers)[0] > 0) || !(numbers->back() > 0))
                return option + " needs one or two sizes above 0 in metres (X[,Y]), not \"" + value + "\"";
            o.cellX = numbers->front();
            o.cellY = numbers->back();
        } else if (name == "band") {
            if (!number || *number < 1 || *number > 65535 || *number != std::floor(*number))
                return option + " must be a whole number from 1 on, not \"" + value + "\"";
            o.reading.band = static_cast<int>(*number);
        } else if (name == "scale") {
            if (!number || *number == 0) return option + " needs a number other than 0, not \"" + value + "\"";
            o.reading.scale = *number;
        } else if (name == "offset") {
            if (!number) return needNumber();
            o.reading.offset = *number;
        } else if (name == "nodata") {
            if (!number) return needNumber();
            o.reading.noData = *number;
        } else if (name == "directions") {
            if (!number || *number < 1 || *number > 360 || *number != std::floor(*number))
                return option + " must be a whole number from 1 to 360, not \"" + value + "\"";
            o.directionCount = static_cast<unsigned>(*number);
        } else if (name == "start") {
            if (!number) return needNumber();
            o.start = *number;
        } else if (name == "max-distance") {
            if (!number || !(*number > 0)) return option + " needs a distance above 0 in metres, not \"" + value + "\"";
            o.maxDistance = *number;
        } else if (name == "tile-size") {
            if (!number || *number < 16 || *number > 65536 || *number != std::floor(*number))
                return option + " must be a whole number of texels from 16 to 65536, not \"" + value + "\"";
            o.tileSize = static_cast<std::uint32_t>(*number);
        } else if (name == "azimuths") {
            if (!numbers) return option + " needs azimuths in degrees separated by commas, not \"" + value + "\"";
            o.azimuths = *numbers;
        } else if (name == "angles" || name == "svf") {
            (name == "angles" ? o.anglesFile : o.svfFile) = value;
        } else if (name == "of") {
            if (value.empty()) return option + " needs the short name of a GDAL driver (GTiff, COG, netCDF, ...)";
            o.outputDriver = value;
        } else if (name == "co") {
            if (value.find('=') == std::string::npos || value[0] == '=')
                return option + " needs a creation option as KEY=VALUE, not \"" + value + "\"";
            o.creationOptions.push_back(value);
        } else if (name == "engine") {
            if (!EndsWithAny(value, {".dds"})) return option + ": the name must end in .dds";
            o.engineFile = value;
        } else if (name == "viewer") {
            if (!EndsWithAny(value, {".html", ".htm"})) return option + ": the name must end in .html or .htm";
            o.viewerFile = value;
        } else if (name == "viewer-size") {
            if (!number || *number < 2 || *number > 4096 || *number != std::floor(*number))
                return option + " must be a whole number from 2 to 4096, not \"" + value + "\"";
            o.viewerSize = static_cast<std::uint32_t>(*number);
        } else if (name == "svf-model") {
            if (value == "horizontal")
                o.svfModel = skyline::SvfModel::Horizontal;
            else if (value == "sloped")
                o.svfModel = skyline::SvfModel::Sloped;
            else if (value == "zaksek")
                o.svfModel = skyline::SvfModel::Zaksek;
            else
                return option + " must be horizontal, sloped or zaksek, not \"" + value + "\"";
        } else if (name == "shade") {
            if (!EndsWithAny(value, {".png", ".tif", ".tiff"}))
                return option + ": the name must end in .png, .tif or .tiff";
            o.shadeFile = value;
        } else if (name == "16-bit") {
            o.shadeBits = 16;
        } else if (name == "sun") {
            if (!numbers || numbers->size() != 2 || !((*numbers)[1] >= -90 && (*numbers)[1] <= 90))
                return option + " needs AZ,EL in degrees, the elevation from -90 to 90, not \"" + value + "\"";
            o.sunAzimuth = (*numbers)[0];
            o.sunElevation = (*numbers)[1];
            o.sunGiven = true;
        } else {
            return applySunlight(name, value);
        }
        return "";
    }

    std::string check(const std::vector<std::string>& positional) {
        if (positional.empty()) return "no DEM given";
        if (positional.size() > 1) return "one DEM at a time; also given: " + positional[1];
        if (positional[0].empty()) return "the DEM's name is empty";
        o.dem = positional[0];
        const std::vector<std::string> outputs = o.outputs();
        if (outputs.empty()) return "nothing to write: give --angles, --svf, --shade, --engine, --viewer, --irradiation, --sun-hours or "
                   "--shadow-masks";
        if (!o.engineFile.empty() && o.wantedAzimuths().size() % 4 != 0)
            return "--engine needs a multiple of 4 directions, four to a slice";
        if (!o.shadeFile.empty() && !o.sunGiven) return "--shade needs the sun's place (--sun AZ,EL)";
        // A tile borrows a halo of the distance the horizons reach; the earth's lowering
        // is reckoned from the map's corner, which a tile does not see.
        if (o.tileSize != 0 && o.maxDistance == 0)
            return "--tile-size needs --max-distance, the halo each tile borrows";
        if (o.tileSize != 0 && o.curvature)
            return "--tile-size and --curvature do not go together: the earth's lowering is reckoned from the whole "
                   "map's corner";
        // A driver given names the float outputs' files; else the name says TIFF or OpenEXR.
        for (const auto& [file, option] : {std::pair{&o.anglesFile, "--angles"},
                                           {&o.svfFile, "--svf"},
                                           {&o.irradiationFile, "--irradiation"},
                                           {&o.sunHoursFile, "--sun-hours"},
                                           {&o.shadowMasksFile, "--shadow-masks"}})
            if (o.outputDriver.empty() && !file->empty() && !EndsWithAny(*file, {".tif", ".tiff", ".exr"}))
                return std::string(option) + ": the name must end in .tif, .tiff or .exr (or give --of DRIVER)";
        // An output that is the DEM, or the same file as another by another name, is
        // refused when the run looks at the files.
        std::set<std::string> seen;
        for (const auto& file : outputs)
            if (!seen.insert(file).second) return file + " is named twice";
        return checkSunlight();
    }

private:
    // The sunlight outputs' options.
    std::string applySunlight(const std::string& name, const std::string& value) {
        const std::string option = "--" + name;
        const auto number = NumberOf(value);
        const auto numbers = NumbersOf(value);
        if (name == "irradiation" || name == "sun-hours" || name == "shadow-masks") {
            (name == "irradiation" ? o.irradiationFile : name == "sun-hours" ? o.sunHoursFile : o.shadowMasksFile) =
                value;
        } else if (name == "day") {
            const auto whole = [](double d) { return d >= 1 && d <= 366 && d == std::floor(d); };
            if (!numbers || numbers->size() > 2 || !whole(numbers->front()) || !whole(numbers->back()))
                return option + " needs a day of the year from 1 to 366, or two (D,D2), not \"" + value + "\"";
            if (numbers->back() < numbers->front())
                return option + " " + value + " runs backwards: the first day comes first";
            o.firstDay = static_cast<int>(numbers->front());
            o.lastDay = static_cast<int>(numbers->back());
        } else if (name == "times") {
            if (!numbers || std::any_of(numbers->begin(), numbers->end(), [](double t) { return !(t >= 0 && t <= 24); }))
                return option + " needs hours from 0 to 24 separated by commas, not \"" + value + "\"";
            for (std::size_t i = 0; i < numbers->size(); ++i)
                for (std::size_t j = 0; j < i; ++j)
                    if (std::lround((*numbers)[i] * 60) == std::lround((*numbers)[j] * 60))
                        return option + " gives one minute twice in \"" + value + "\": each mask is named by its minute";
            o.times = *numbers;
        } else if (name == "utc") {
            o.utc = true;
        } else if (name == "time-step") {
            if (!number || !(*number > 0 && *number <= 24))
                return option + " needs hours above 0, at most 24, not \"" + value + "\"";
            o.timeStep = *number;
        } else if (name == "linke") {
            if (!number || !(*number >= 1 && *number <= 10))
                return option + " needs a Linke turbidity from 1 (a clean, dry sky) to 10, not \"" + value + "\"";
            o.linke = *number;
        } else if (name == "albedo") {
            if (!number || !(*number >= 0 && *number <= 1))
                return option + " needs the ground's albedo from 0 to 1, not \"" + value + "\"";
            o.albedo = *number;
        } else if (name == "latitude") {
            if (!number || !(*number >= -90 && *number <= 90))
                return option + " needs a latitude in degrees from -90 to 90, not \"" + value + "\"";
            o.latitude = *number;
        }
        return "";
    }

    std::string checkSunlight() const {
        const bool daily = !o.irradiationFile.empty() || !o.sunHoursFile.empty();
        const bool masks = !o.shadowMasksFile.empty();
        if ((daily || masks) && o.firstDay == 0) return "--irradiation, --sun-hours and --shadow-masks need --day";
        if (masks && o.times.empty()) return "--shadow-masks needs the times of day (--times T1,T2,...)";
        if (masks && o.lastDay != o.firstDay) return "--shadow-masks are for one day: give --day D";
        if (!masks && (!o.times.empty() || o.utc)) return "--times and --utc are for --shadow-masks";
        if (!daily && !masks && o.firstDay != 0) return "--day is for --irradiation, --sun-hours or --shadow-masks";
        return "";
    }

    SkyOptions& o;
};

}  // namespace

std::vector<double> SkyOptions::wantedAzimuths() const {
    if (!azimuths.empty()) return azimuths;
    return skyline::EvenAzimuths(directionCount, start);
}

std::vector<std::string> SkyOptions::outputs() const {
    std::vector<std::string> names;
    for (const std::string* name : {&anglesFile, &svfFile, &shadeFile, &engineFile, &viewerFile, &irradiationFile,
                                    &sunHoursFile, &shadowMasksFile})
        if (!name->empty()) names.push_back(*name);
    return names;
}

ParsedCommandLine ParseSkyCommandLine(const std::vector<std::string>& arguments) {
    return cli::ParseCommandLine<ParsedCommandLine, Parser>(arguments, kOptions, kWords);
}

}  // namespace sky
