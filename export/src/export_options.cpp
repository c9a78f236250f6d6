#include "export/export_options.h"

#include <cmath>
#include <set>

#include "cli/number_word.h"
#include "outputs/name_format.h"
#include "settings/tool_parameters.h"

namespace exporter {

namespace {

using cli::NumberOf;

enum class Option : std::uint8_t {
    HeightMap,
    Height,
    TerraSize,
    HeightZero,
    Preview,
    Channels,
    Angles,
    HeightPng,
    Shade,
    Sun,
    From,
    Shrink,
    Range,
    SixteenBit,
    Viewer,
    ViewerSize,
    Uncompressed,
    Help,
    Version
};

// The terrain options are the tool's own parameters, same names and letters.
constexpr cli::OptionEntry ToolOption(ToolParameterId id, Option option) {
    return {ToolParameterOf(id).name, ToolParameterOf(id).letter, true, static_cast<int>(option)};
}

constexpr cli::OptionEntry Entry(const char* name, char letter, bool takesValue, Option option) {
    return {name, letter, takesValue, static_cast<int>(option)};
}

constexpr cli::OptionEntry kOptions[] = {
    ToolOption(ToolParameterId::HMfname, Option::HeightMap),
    ToolOption(ToolParameterId::Height, Option::Height),
    ToolOption(ToolParameterId::TerraSize, Option::TerraSize),
    ToolOption(ToolParameterId::HeightZero, Option::HeightZero),
    Entry("preview", 'p', true, Option::Preview),
    Entry("channels", 'c', true, Option::Channels),
    Entry("angles", 'a', true, Option::Angles),
    Entry("height-png", 0, true, Option::HeightPng),
    Entry("shade", 0, true, Option::Shade),
    Entry("sun", 0, true, Option::Sun),
    Entry("from", 0, true, Option::From),
    Entry("shrink", 0, true, Option::Shrink),
    Entry("range", 0, true, Option::Range),
    Entry("16-bit", 0, false, Option::SixteenBit),
    Entry("viewer", 0, true, Option::Viewer),
    Entry("viewer-size", 0, true, Option::ViewerSize),
    Entry("uncompressed", 0, false, Option::Uncompressed),
    Entry("help", 0, false, Option::Help),
    Entry("version", 0, false, Option::Version),
};

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

// Each function answers why the line is refused, or "".
class Parser {
public:
    explicit Parser(ExportOptions* options) : o(*options) {}

    std::string apply(const cli::OptionEntry& entry, const std::string& value) {
        const std::string name = std::string("--") + entry.name;
        switch (static_cast<Option>(entry.code)) {
            case Option::HeightMap: o.heightMap = value; break;
            case Option::Height: return takeFloat(name, value, &o.terrain.height);
            case Option::TerraSize: return takeFloat(name, value, &o.terrain.terraSize);
            case Option::HeightZero: return takeFloat(name, value, &o.terrain.heightZero);
            case Option::Preview: o.previewPrefix = value; break;
            case Option::Channels: o.channelFiles.push_back(value); break;
            case Option::Angles: o.angleFiles.push_back(value); break;
            case Option::HeightPng: o.heightPng = value; break;
            case Option::Shade: o.shadeFile = value; break;
            case Option::Sun: {
                // A negative elevation puts the sun the other way, behind the rows.
                const auto n = NumberOf(Unquoted(value));
                if (!n || *n == 0 || std::fabs(*n) > 90)
                    return name + " must be a nonzero elevation from -90 to 90 degrees, not \"" + value + "\"";
                o.sunDegrees = std::fabs(*n);
                sunBehind_ = *n < 0;
                break;
            }
            case Option::From:
                if (value != "red" && value != "green") return name + " must be red or green, not \"" + value + "\"";
                fromGreen_ = value == "green";
                break;
            case Option::Shrink: {
                const auto n = NumberOf(value);
                if (!n || *n < 1 || *n > 65536 || *n != std::floor(*n))
                    return name + " must be a whole number from 1 to 65536, not \"" + value + "\"";
                o.shrink = static_cast<std::uint32_t>(*n);
                break;
            }
            case Option::Range: {
                const auto n = NumberOf(value);
                if (!n || !(*n > 0 && *n <= 90)) return name + " must be above 0 and at most 90 degrees";
                o.rangeDegrees = *n;
                break;
            }
            case Option::SixteenBit: o.bitDepth = 16; break;
            case Option::Viewer: o.viewerFile = value; break;
            case Option::ViewerSize: {
                const auto n = NumberOf(value);
                if (!n || *n < 2 || *n > 4096 || *n != std::floor(*n))
                    return name + " must be a whole number from 2 to 4096, not \"" + value + "\"";
                o.viewerSize = static_cast<std::uint32_t>(*n);
                break;
            }
            case Option::Uncompressed: o.compression = encode::Compression::None; break;
            case Option::Help:
            case Option::Version: break;  // taken before the options are read
        }
        return "";
    }

    std::string check(const std::vector<std::string>& positional) {
        if (positional.empty()) return "no horizon map given";
        if (positional.size() > 1) return "one horizon map at a time; also given: " + positional[1];
        o.horizonMap = positional[0];
        if (o.previewPrefix.empty() && o.channelFiles.empty() && o.angleFiles.empty() && o.heightPng.empty() &&
            o.shadeFile.empty() && o.viewerFile.empty())
            return "nothing to write: give --preview, --channels, --angles, --height-png, --shade or --viewer";
        if (o.needsHeightMap() && o.heightMap.empty())
            return std::string(!o.angleFiles.empty()  ? "--angles"
                               : !o.shadeFile.empty() ? "--shade"
                               : !o.heightPng.empty() ? "--height-png"
                                                      : "--viewer") +
                   " needs the height map of the run (-H)";
        if (!o.shadeFile.empty() && o.sunDegrees == 0) return "--shade needs the sun's elevation (--sun)";
        if (o.shadeFile.empty() && (o.sunDegrees != 0 || fromGreen_)) return "--sun and --from go with --shade";
        if (sunBehind_ || fromGreen_) o.sunFrom = Direction::Backward;
        if (!o.shadeFile.empty() && outputs::FloatFormatOf(o.shadeFile) != outputs::FloatFormat::Tiff &&
            !outputs::IsPngName(o.shadeFile))
            return o.shadeFile + ": a shaded picture's name must end in .png, .tif or .tiff";
        if (!(o.terrain.terraSize > 0)) return "bad Terrain Size: must be > 0";
        for (const auto& files : {o.channelFiles, o.angleFiles})
            for (const auto& file : files)
                if (outputs::FloatFormatOf(file) == outputs::FloatFormat::Unknown)
                    return file + ": a float file's name must end in .exr, .tif or .tiff";
        // An output that is an input, however spelled, is refused when the run looks
        // at the files.
        std::set<std::string> seen;
        for (const auto& file : OutputFiles(o))
            if (!seen.insert(file).second) return file + " is named twice";
        return "";
    }

private:
    static std::string takeFloat(const std::string& name, const std::string& value, float* target) {
        const auto n = NumberOf(Unquoted(value));
        if (!n) return name + " needs a number, not \"" + value + "\"";
        const auto rounded = static_cast<float>(*n);
        if (!std::isfinite(rounded)) return name + " is beyond the range of a 32-bit float: " + value;
        *target = rounded;
        return "";
    }

    ExportOptions& o;
    bool sunBehind_ = false;
    bool fromGreen_ = false;
};

}  // namespace

std::vector<std::string> OutputFiles(const ExportOptions& o) {
    std::vector<std::string> files;
    if (!o.previewPrefix.empty())
        for (const char* suffix : {".red.png", ".green.png", ".both.png"}) files.push_back(o.previewPrefix + suffix);
    if (!o.heightPng.empty()) files.push_back(o.heightPng);
    files.insert(files.end(), o.channelFiles.begin(), o.channelFiles.end());
    files.insert(files.end(), o.angleFiles.begin(), o.angleFiles.end());
    if (!o.viewerFile.empty()) files.push_back(o.viewerFile);
    if (!o.shadeFile.empty()) files.push_back(o.shadeFile);
    return files;
}

std::vector<std::string> InputFiles(const ExportOptions& o) {
    std::vector<std::string> files{o.horizonMap};
    if (!o.heightMap.empty()) files.push_back(o.heightMap);
    return files;
}

ParsedCommandLine ParseExportCommandLine(const std::vector<std::string>& arguments) {
    return cli::ParseCommandLine<ParsedCommandLine, Parser>(arguments, kOptions, {});
}

}  // namespace exporter
