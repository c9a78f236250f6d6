#include "export/export_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <set>

#include "platform/encode/output_file.h"
#include "settings/tool_parameters.h"

namespace exporter {

namespace {

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

struct OptionEntry {
    const char* name;
    char letter;  // 0: none
    bool takesValue;
    Option option;
};

// The terrain options are the tool's own parameters, same names and letters.
constexpr OptionEntry ToolOption(ToolParameterId id, Option option) {
    return {ToolParameterOf(id).name, ToolParameterOf(id).letter, true, option};
}

constexpr OptionEntry kOptions[] = {
    ToolOption(ToolParameterId::HMfname, Option::HeightMap),
    ToolOption(ToolParameterId::Height, Option::Height),
    ToolOption(ToolParameterId::TerraSize, Option::TerraSize),
    ToolOption(ToolParameterId::HeightZero, Option::HeightZero),
    {"preview", 'p', true, Option::Preview},
    {"channels", 'c', true, Option::Channels},
    {"angles", 'a', true, Option::Angles},
    {"height-png", 0, true, Option::HeightPng},
    {"shade", 0, true, Option::Shade},
    {"sun", 0, true, Option::Sun},
    {"from", 0, true, Option::From},
    {"shrink", 0, true, Option::Shrink},
    {"range", 0, true, Option::Range},
    {"16-bit", 0, false, Option::SixteenBit},
    {"viewer", 0, true, Option::Viewer},
    {"viewer-size", 0, true, Option::ViewerSize},
    {"uncompressed", 0, false, Option::Uncompressed},
    {"help", 0, false, Option::Help},
    {"version", 0, false, Option::Version},
};

const OptionEntry* FindLong(const std::string& name) {
    for (const auto& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

const OptionEntry* FindLetter(char letter) {
    for (const auto& entry : kOptions)
        if (entry.letter != 0 && letter == entry.letter) return &entry;
    return nullptr;
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

// The number that is the whole of `text`, finite; nothing before or after it.
std::optional<double> NumberOf(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
    // strtod follows the C locale unless the program changed it, and this one never does.
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool IsPngName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return extension == ".png";
}

class Parser {
public:
    ParsedCommandLine parse(const std::vector<std::string>& arguments) {
        if (arguments.empty()) return done(CommandLineAction::Usage);
        // --help and --version win over anything else on the line, mistakes included.
        const auto end = std::find(arguments.begin(), arguments.end(), "--");
        if (std::find(arguments.begin(), end, "--help") != end) return done(CommandLineAction::Help);
        if (std::find(arguments.begin(), end, "--version") != end) return done(CommandLineAction::Version);
        std::vector<std::string> positional;
        bool optionsEnded = false;
        for (std::size_t i = 0; i < arguments.size() && error_.empty(); ++i) {
            const std::string& word = arguments[i];
            const auto next = [&]() -> std::optional<std::string> {
                if (i + 1 < arguments.size()) return arguments[++i];
                return std::nullopt;
            };
            if (optionsEnded || word.size() < 2 || word[0] != '-') {
                positional.push_back(word);
            } else if (word == "--") {
                optionsEnded = true;
            } else if (word[1] == '-') {
                longOption(word, next);
            } else {
                shortOption(word, next);
            }
        }
        if (error_.empty()) check(positional);
        return done(error_.empty() ? CommandLineAction::Run : CommandLineAction::Error);
    }

private:
    template <typename Next>
    void longOption(const std::string& word, const Next& next) {
        const auto equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionEntry* entry = FindLong(name);
        if (entry == nullptr) return fail("unknown option --" + name);
        if (!entry->takesValue) {
            if (equals != std::string::npos) return fail("--" + name + " takes no value");
            return apply(*entry, "");
        }
        if (equals != std::string::npos) return apply(*entry, word.substr(equals + 1));
        const auto value = next();
        if (!value) return fail("--" + name + " needs a value");
        apply(*entry, *value);
    }

    template <typename Next>
    void shortOption(const std::string& word, const Next& next) {
        const OptionEntry* entry = FindLetter(word[1]);
        if (entry == nullptr) return fail(std::string("unknown option -") + word[1]);
        if (word.size() > 2) return apply(*entry, word.substr(2));
        const auto value = next();
        if (!value) return fail(std::string("-") + word[1] + " needs a value");
        apply(*entry, *value);
    }

    void apply(const OptionEntry& entry, const std::string& value) {
        ExportOptions& o = result_.options;
        const std::string name = std::string("--") + entry.name;
        switch (entry.option) {
            case Option::HeightMap: o.heightMap = value; break;
            case Option::Height: takeFloat(name, value, &o.terrain.height); break;
            case Option::TerraSize: takeFloat(name, value, &o.terrain.terraSize); break;
            case Option::HeightZero: takeFloat(name, value, &o.terrain.heightZero); break;
            case Option::Preview: o.previewPrefix = value; break;
            case Option::Channels: o.channelFiles.push_back(value); break;
            case Option::Angles: o.angleFiles.push_back(value); break;
            case Option::HeightPng: o.heightPng = value; break;
            case Option::Shade: o.shadeFile = value; break;
            case Option::Sun: {
                // A negative elevation puts the sun the other way, behind the rows.
                const auto n = NumberOf(Unquoted(value));
                if (!n || *n == 0 || std::fabs(*n) > 90)
                    return fail(name + " must be a nonzero elevation from -90 to 90 degrees, not \"" + value + "\"");
                o.sunDegrees = std::fabs(*n);
                sunBehind_ = *n < 0;
                break;
            }
            case Option::From:
                if (value != "red" && value != "green")
                    return fail(name + " must be red or green, not \"" + value + "\"");
                fromGreen_ = value == "green";
                break;
            case Option::Shrink: {
                const auto n = NumberOf(value);
                if (!n || *n < 1 || *n > 65536 || *n != std::floor(*n))
                    return fail(name + " must be a whole number from 1 to 65536, not \"" + value + "\"");
                o.shrink = static_cast<std::uint32_t>(*n);
                break;
            }
            case Option::Range: {
                const auto n = NumberOf(value);
                if (!n || !(*n > 0 && *n <= 90)) return fail(name + " must be above 0 and at most 90 degrees");
                o.rangeDegrees = *n;
                break;
            }
            case Option::SixteenBit: o.bitDepth = 16; break;
            case Option::Viewer: o.viewerFile = value; break;
            case Option::ViewerSize: {
                const auto n = NumberOf(value);
                if (!n || *n < 2 || *n > 4096 || *n != std::floor(*n))
                    return fail(name + " must be a whole number from 2 to 4096, not \"" + value + "\"");
                o.viewerSize = static_cast<std::uint32_t>(*n);
                break;
            }
            case Option::Uncompressed: o.compression = Compression::None; break;
            case Option::Help:
            case Option::Version: break;  // taken before the options are read
        }
    }

    void takeFloat(const std::string& name, const std::string& value, float* target) {
        const auto n = NumberOf(Unquoted(value));
        if (!n) return fail(name + " needs a number, not \"" + value + "\"");
        const auto rounded = static_cast<float>(*n);
        if (!std::isfinite(rounded)) return fail(name + " is beyond the range of a 32-bit float: " + value);
        *target = rounded;
    }

    void check(const std::vector<std::string>& positional) {
        ExportOptions& o = result_.options;
        if (positional.empty()) return fail("no horizon map given");
        if (positional.size() > 1) return fail("one horizon map at a time; also given: " + positional[1]);
        o.horizonMap = positional[0];
        if (o.previewPrefix.empty() && o.channelFiles.empty() && o.angleFiles.empty() && o.heightPng.empty() &&
            o.shadeFile.empty() && o.viewerFile.empty())
            return fail("nothing to write: give --preview, --channels, --angles, --height-png, --shade or --viewer");
        if (o.needsHeightMap() && o.heightMap.empty())
            return fail(std::string(!o.angleFiles.empty()  ? "--angles"
                                    : !o.shadeFile.empty() ? "--shade"
                                    : !o.heightPng.empty() ? "--height-png"
                                                           : "--viewer") +
                        " needs the height map of the run (-H)");
        if (!o.shadeFile.empty() && o.sunDegrees == 0) return fail("--shade needs the sun's elevation (--sun)");
        if (o.shadeFile.empty() && (o.sunDegrees != 0 || fromGreen_)) return fail("--sun and --from go with --shade");
        if (sunBehind_ || fromGreen_) o.sunFrom = Direction::Backward;
        if (!o.shadeFile.empty() && FloatFormatOf(o.shadeFile) != FloatFormat::Tiff && !IsPngName(o.shadeFile))
            return fail(o.shadeFile + ": a shaded picture's name must end in .png, .tif or .tiff");
        if (!(o.terrain.terraSize > 0)) return fail("bad Terrain Size: must be > 0");
        for (const auto& files : {o.channelFiles, o.angleFiles})
            for (const auto& file : files)
                if (FloatFormatOf(file) == FloatFormat::Unknown)
                    return fail(file + ": a float file's name must end in .exr, .tif or .tiff");
        // An output that is an input, however spelled, is refused when the run looks
        // at the files.
        std::set<std::string> seen;
        for (const auto& file : OutputFiles(o))
            if (!seen.insert(file).second) return fail(file + " is named twice");
    }

    void fail(const std::string& message) {
        if (error_.empty()) error_ = message;
    }

    ParsedCommandLine done(CommandLineAction action) {
        result_.action = action;
        result_.error = error_;
        return result_;
    }

    ParsedCommandLine result_;
    std::string error_;
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
    return Parser().parse(arguments);
}

}  // namespace exporter
