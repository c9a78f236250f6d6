#include "export/export_run.h"

#include <new>

#include "export/angle_maps.h"
#include "export/export_usage.h"
#include "export/horizon_map_file.h"
#include "export/output_memory.h"
#include "export/viewer_output.h"
#include "platform/encode/exr_encoder.h"
#include "platform/encode/float_channels.h"
#include "platform/encode/output_file.h"
#include "platform/encode/png_encoder.h"
#include "platform/encode/tiff_encoder.h"
#include "platform/image/load_image.h"
#include "platform/memory_budget.h"
#include "platform/wide_text.h"
#include "results/describe_result.h"

namespace exporter {

namespace {

constexpr const char* kProgram = "umbrascope-export";

std::string Describe(HRESULT result) {
    std::string text = platform::NarrowToBytes(DescribeResult(result));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

void Report(std::FILE* err, const std::string& what, HRESULT result, const std::string& why = "") {
    std::fprintf(err, "%s: %s: %s\n", kProgram, what.c_str(), why.empty() ? Describe(result).c_str() : why.c_str());
}

[[nodiscard]] HRESULT LoadHeights(const std::string& path, const HorizonMap& map, std::vector<float>* heights) {
    std::uint64_t bytes = 0;
    const bool fits = platform::CheckedMul(map.width, map.height, 4 * sizeof(float), &bytes);
    if (const HRESULT hr = platform::CheckFitsInMemory(bytes, !fits); hr != S_OK) return hr;
    try {
        heights->assign(static_cast<std::size_t>(bytes / sizeof(float)), 0.0f);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return image::LoadImageScaled(path.c_str(), map.width, map.height, heights->data());
}

FloatChannels StoredChannels(const HorizonMap& map) {
    FloatChannels channels{map.width, map.height, {"R", "G", "B"}, {}};
    channels.planes.resize(3);
    for (auto& plane : channels.planes) plane.reserve(map.texels.size() / 4);
    for (std::size_t i = 0; i < map.texels.size(); i += 4)
        for (std::size_t c = 0; c < 3; ++c) channels.planes[c].push_back(map.texels[i + c]);
    return channels;
}

std::vector<float> KindPlane(const DirectionAngles& angles) {
    std::vector<float> plane;
    plane.reserve(angles.kinds.size());
    for (TexelKind kind : angles.kinds) plane.push_back(static_cast<float>(kind));
    return plane;
}

// Plane by plane: a braced list would hold a second copy of every plane.
FloatChannels AngleChannels(const AngleMaps& angles) {
    FloatChannels channels{angles.width, angles.height, {"forward", "backward", "forwardKind", "backwardKind"}, {}};
    channels.planes.reserve(4);
    channels.planes.push_back(angles.forward.degrees);
    channels.planes.push_back(angles.backward.degrees);
    channels.planes.push_back(KindPlane(angles.forward));
    channels.planes.push_back(KindPlane(angles.backward));
    return channels;
}

void PrintCounts(std::FILE* out, const char* direction, const DirectionAngles& angles) {
    std::fprintf(out, "%s:", direction);
    for (int k = 0; k < kTexelKinds; ++k)
        std::fprintf(out, "%s %llu %s", k == 0 ? "" : ",", static_cast<unsigned long long>(angles.counts[k]),
                     KindName(static_cast<TexelKind>(k)));
    std::fprintf(out, "\n");
}

// Allocates nothing: memory has run out.
int ReportOutOfMemory(std::FILE* err) {
    std::fputs("umbrascope-export: stopped: Ran out of memory\n", err);
    return kExportOutOfMemory;
}

int FailureCode(HRESULT result) { return result == E_OUTOFMEMORY ? kExportOutOfMemory : kExportWriteFailed; }

// One output: encoded whole in memory, then written beside its name and renamed.
// Each returns an exit code.
class OutputWriter {
public:
    OutputWriter(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    [[nodiscard]] int writePng(const std::string& path, const GreyImage& image) {
        std::vector<std::uint8_t> bytes;
        return finish(path, EncodeGreyPng(image, &bytes), "", bytes);
    }

    [[nodiscard]] int writeFloat(const std::string& path, const FloatChannels& channels) {
        std::vector<std::uint8_t> bytes;
        std::string why;
        const HRESULT hr = FloatFormatOf(path) == FloatFormat::Exr ? EncodeFloatExr(channels, &bytes, &why)
                                                                   : EncodeFloatTiff(channels, &bytes, &why);
        return finish(path, hr, why, bytes);
    }

private:
    [[nodiscard]] int finish(const std::string& path, HRESULT encoded, const std::string& why,
                             const std::vector<std::uint8_t>& bytes) {
        if (encoded != S_OK) {
            Report(err_, "cannot make " + path, encoded, why);
            return FailureCode(encoded);
        }
        if (const HRESULT hr = WriteFileAtomically(path, bytes); hr != S_OK) {
            Report(err_, "cannot write " + path, hr);
            return FailureCode(hr);
        }
        std::fprintf(out_, "wrote %s\n", path.c_str());
        return kExportSuccess;
    }

    std::FILE* out_;
    std::FILE* err_;
};

int WritePreviews(const ExportOptions& o, const HorizonMap& map, OutputWriter& writer) {
    const GreyImage red = Quantise(HorizonLevels(map, Direction::Forward, o.rangeDegrees), o.shrink, o.bitDepth);
    const GreyImage green = Quantise(HorizonLevels(map, Direction::Backward, o.rangeDegrees), o.shrink, o.bitDepth);
    if (const int code = writer.writePng(o.previewPrefix + ".red.png", red); code != kExportSuccess) return code;
    if (const int code = writer.writePng(o.previewPrefix + ".green.png", green); code != kExportSuccess) return code;
    return writer.writePng(o.previewPrefix + ".both.png", SideBySide(red, green));
}

int Run(const ExportOptions& o, std::FILE* out, std::FILE* err) {
    OutputRefusal refused;
    if (const HRESULT hr = CheckOutputNames(OutputFiles(o), InputFiles(o), &refused); hr != S_OK) {
        if (refused.input.empty())
            Report(err, "cannot write " + refused.output, hr);
        else
            Report(err, "cannot write " + refused.output, hr, "it is the input " + refused.input);
        return kExportWriteFailed;
    }
    HorizonMap map;
    std::string why;
    if (const HRESULT hr = ReadHorizonMap(o.horizonMap.c_str(), &map, &why); hr != S_OK) {
        Report(err, "cannot read the horizon map " + o.horizonMap, hr, why);
        return kExportBadInput;
    }
    std::vector<float> heights;
    if (o.needsHeightMap()) {
        if (const HRESULT hr = LoadHeights(o.heightMap, map, &heights); hr != S_OK) {
            Report(err, "cannot load the height map " + o.heightMap, hr);
            return kExportBadInput;
        }
    }
    if (const HRESULT hr = platform::CheckFitsInMemory(WritingPeakBytes(o, map.width, map.height)); hr != S_OK) {
        Report(err, "too little memory to make the files asked for", hr);
        return kExportOutOfMemory;
    }
    AngleMaps angles;
    if (!o.angleFiles.empty()) {
        if (const HRESULT hr = ComputeAngleMaps(map, heights.data(), o.terrain, &angles); hr != S_OK) {
            Report(err, "cannot compute the angles", hr);
            return FailureCode(hr);
        }
    }

    OutputWriter writer(out, err);
    if (!o.previewPrefix.empty()) {
        if (const int code = WritePreviews(o, map, writer); code != kExportSuccess) return code;
    }
    if (!o.heightPng.empty()) {
        const GreyImage image = Quantise(HeightLevels(heights.data(), map.width, map.height), o.shrink, o.bitDepth);
        if (const int code = writer.writePng(o.heightPng, image); code != kExportSuccess) return code;
    }
    if (!o.channelFiles.empty()) {
        const FloatChannels channels = StoredChannels(map);
        for (const auto& path : o.channelFiles)
            if (const int code = writer.writeFloat(path, channels); code != kExportSuccess) return code;
    }
    if (!o.angleFiles.empty()) {
        PrintCounts(out, "forward", angles.forward);
        PrintCounts(out, "backward", angles.backward);
        const std::uint64_t texels = std::uint64_t{map.width} * map.height;
        const std::uint64_t unfit = angles.forward.counts[static_cast<int>(TexelKind::Unfit)] +
                                    angles.backward.counts[static_cast<int>(TexelKind::Unfit)];
        if (unfit * 100 > texels * 2)  // a few are tiny horizons no 32-bit value near 1 resolves
            std::fprintf(err, "%s: warning: %llu texels fit no rising slope: are -h, -s and -z those of the run?\n",
                         kProgram, static_cast<unsigned long long>(unfit));
        const FloatChannels channels = AngleChannels(angles);
        for (const auto& path : o.angleFiles)
            if (const int code = writer.writeFloat(path, channels); code != kExportSuccess) return code;
    }
    if (!o.viewerFile.empty()) return WriteViewerPage(o, map, heights, out, err);
    return kExportSuccess;
}

}  // namespace

int RunExport(const ExportOptions& options, std::FILE* out, std::FILE* err) {
    try {
        return Run(options, out, err);
    } catch (const std::bad_alloc&) {
        // Only the glue between the steps allocates without its own guard.
        return ReportOutOfMemory(err);
    }
}

namespace {

// The text is what was asked for: not writing it is a failure.
int PrintText(const std::string& text, std::FILE* out, std::FILE* err) {
    if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) return kExportSuccess;
    std::fprintf(err, "%s: cannot write to standard output\n", kProgram);
    return kExportWriteFailed;
}

int Main(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const ParsedCommandLine parsed =
        ParseExportCommandLine(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argc > 0 ? argv + argc : argv));
    switch (parsed.action) {
        case CommandLineAction::Help: return PrintText(ExportHelp(), out, err);
        case CommandLineAction::Version: return PrintText(ExportVersion(), out, err);
        case CommandLineAction::Usage: std::fputs(ExportUsage().c_str(), err); return kExportBadCommand;
        case CommandLineAction::Error:
            std::fprintf(err, "%s: %s\n", kProgram, parsed.error.c_str());
            std::fputs(ExportUsage().c_str(), err);
            return kExportBadCommand;
        case CommandLineAction::Run: break;
    }
    return RunExport(parsed.options, out, err);
}

}  // namespace

int ExportMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    try {
        return Main(argc, argv, out, err);
    } catch (const std::bad_alloc&) {
        return ReportOutOfMemory(err);
    }
}

}  // namespace exporter
