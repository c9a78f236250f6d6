#include "export/export_run.h"

#include <new>

#include "export/angle_maps.h"
#include "export/export_usage.h"
#include "platform/encode/exr_encoder.h"
#include "platform/encode/float_channels.h"
#include "export/horizon_map_file.h"
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

FloatChannels AngleChannels(const AngleMaps& angles) {
    return {angles.width,
            angles.height,
            {"forward", "backward", "forwardKind", "backwardKind"},
            {angles.forward.degrees, angles.backward.degrees, KindPlane(angles.forward), KindPlane(angles.backward)}};
}

void PrintCounts(std::FILE* out, const char* direction, const DirectionAngles& angles) {
    std::fprintf(out, "%s:", direction);
    for (int k = 0; k < kTexelKinds; ++k)
        std::fprintf(out, "%s %llu %s", k == 0 ? "" : ",", static_cast<unsigned long long>(angles.counts[k]),
                     KindName(static_cast<TexelKind>(k)));
    std::fprintf(out, "\n");
}

// One output: encoded whole in memory, then written beside its name and renamed.
class OutputWriter {
public:
    OutputWriter(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    [[nodiscard]] bool writePng(const std::string& path, const GreyImage& image) {
        std::vector<std::uint8_t> bytes;
        return finish(path, EncodeGreyPng(image, &bytes), "", bytes);
    }

    [[nodiscard]] bool writeFloat(const std::string& path, const FloatChannels& channels) {
        std::vector<std::uint8_t> bytes;
        std::string why;
        const HRESULT hr = FloatFormatOf(path) == FloatFormat::Exr ? EncodeFloatExr(channels, &bytes, &why)
                                                                   : EncodeFloatTiff(channels, &bytes, &why);
        return finish(path, hr, why, bytes);
    }

private:
    [[nodiscard]] bool finish(const std::string& path, HRESULT encoded, const std::string& why,
                              const std::vector<std::uint8_t>& bytes) {
        if (encoded != S_OK) {
            Report(err_, "cannot make " + path, encoded, why);
            return false;
        }
        if (const HRESULT hr = WriteFileAtomically(path, bytes); hr != S_OK) {
            Report(err_, "cannot write " + path, hr);
            return false;
        }
        std::fprintf(out_, "wrote %s\n", path.c_str());
        return true;
    }

    std::FILE* out_;
    std::FILE* err_;
};

int WritePreviews(const ExportOptions& o, const HorizonMap& map, OutputWriter& writer) {
    const GreyImage red = Quantise(HorizonLevels(map, Direction::Forward, o.rangeDegrees), o.shrink, o.bitDepth);
    const GreyImage green = Quantise(HorizonLevels(map, Direction::Backward, o.rangeDegrees), o.shrink, o.bitDepth);
    const bool ok = writer.writePng(o.previewPrefix + ".red.png", red) &&
                    writer.writePng(o.previewPrefix + ".green.png", green) &&
                    writer.writePng(o.previewPrefix + ".both.png", SideBySide(red, green));
    return ok ? kExportSuccess : kExportWriteFailed;
}

int Run(const ExportOptions& o, std::FILE* out, std::FILE* err) {
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
    AngleMaps angles;
    if (!o.angleFiles.empty()) {
        if (const HRESULT hr = ComputeAngleMaps(map, heights.data(), o.terrain, &angles); hr != S_OK) {
            Report(err, "cannot compute the angles", hr);
            return kExportBadInput;
        }
    }

    OutputWriter writer(out, err);
    if (!o.previewPrefix.empty()) {
        if (const int code = WritePreviews(o, map, writer); code != kExportSuccess) return code;
    }
    if (!o.heightPng.empty() &&
        !writer.writePng(o.heightPng,
                         Quantise(HeightLevels(heights.data(), map.width, map.height), o.shrink, o.bitDepth)))
        return kExportWriteFailed;
    if (!o.channelFiles.empty()) {
        const FloatChannels channels = StoredChannels(map);
        for (const auto& path : o.channelFiles)
            if (!writer.writeFloat(path, channels)) return kExportWriteFailed;
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
            if (!writer.writeFloat(path, channels)) return kExportWriteFailed;
    }
    return kExportSuccess;
}

}  // namespace

int RunExport(const ExportOptions& options, std::FILE* out, std::FILE* err) {
    try {
        return Run(options, out, err);
    } catch (const std::bad_alloc&) {
        // Only the glue between the steps allocates without its own guard.
        Report(err, "stopped", E_OUTOFMEMORY);
        return kExportWriteFailed;
    }
}

int ExportMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    const ParsedCommandLine parsed = ParseExportCommandLine(arguments);
    switch (parsed.action) {
        case CommandLineAction::Help: std::fputs(ExportHelp().c_str(), out); return kExportSuccess;
        case CommandLineAction::Version: std::fputs(ExportVersion().c_str(), out); return kExportSuccess;
        case CommandLineAction::Usage: std::fputs(ExportUsage().c_str(), err); return kExportBadCommand;
        case CommandLineAction::Error:
            std::fprintf(err, "%s: %s\n", kProgram, parsed.error.c_str());
            std::fputs(ExportUsage().c_str(), err);
            return kExportBadCommand;
        case CommandLineAction::Run: break;
    }
    return RunExport(parsed.options, out, err);
}

}  // namespace exporter
