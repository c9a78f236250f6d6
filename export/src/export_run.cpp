#include "export/export_run.h"

#include <memory>
#include <new>

#include "export/angle_maps.h"
#include "export/export_usage.h"
#include "export/horizon_map_file.h"
#include "export/loaded_rows.h"
#include "export/output_memory.h"
#include "export/shaded_relief.h"
#include "export/viewer_output.h"
#include "geo/gdal_tags.h"
#include "geo/georeferencing.h"
#include "os/atomic_file.h"
#include "encode/exr_encoder.h"
#include "encode/float_channels.h"
#include "encode/float_tiff_stream.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/output_file.h"
#include "encode/png_encoder.h"
#include "encode/tiff_encoder.h"
#include "image/load_image.h"
#include "os/memory_budget.h"
#include "os/output_names.h"
#include "platform/result_reason.h"
#include "os/side_by_side_work.h"
#include "os/termination_signals.h"
#include "progress_line.h"

namespace exporter {

namespace {

constexpr const char* kProgram = "umbrascope-export";

void Report(std::FILE* err, const std::string& what, HRESULT result, const std::string& why = "") {
    std::fprintf(err, "%s: %s: %s\n", kProgram, what.c_str(),
                 why.empty() ? platform::ResultReason(result).c_str() : why.c_str());
}

int FailureCode(HRESULT result) { return result == E_OUTOFMEMORY ? kExportOutOfMemory : kExportWriteFailed; }

// Not zeroed first: the loader writes every texel, and its writes are the first touch.
[[nodiscard]] HRESULT AllocateHeights(const HorizonMap& map, std::unique_ptr<float[]>* heights) {
    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(map.width, map.height, sizeof(float), &bytes);
    if (const HRESULT hr = os::CheckFitsInMemory(bytes, !fits); hr != S_OK) return hr;
    try {
        *heights = std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(bytes / sizeof(float)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// What is made from the height map while it loads.
struct FromHeights {
    std::unique_ptr<float[]> heights;
    AngleMaps angles;  // for the angle files
    encode::GreyImage shade;   // the shaded picture
};

// The height map decoded on one thread while the angles and the shaded picture are
// made on the others from its rows as they come. An exit code.
int LoadHeights(const ExportOptions& o, const HorizonMap& map, FromHeights* made, std::FILE* err) {
    HRESULT loaded = AllocateHeights(map, &made->heights), computed = S_OK;
    if (loaded == S_OK) {
        LoadedRows rows(map.height);
        const float* heights = made->heights.get();
        os::RunSideBySide(
            [&] {
                if (!o.angleFiles.empty()) computed = ComputeAngleMaps(map, heights, o.terrain, &made->angles, &rows);
                if (computed == S_OK && !o.shadeFile.empty())
                    made->shade =
                        ShadePicture(map, heights, o.terrain, o.sunFrom, o.sunDegrees, o.shrink, o.bitDepth, &rows);
            },
            [&] {
                loaded = image::LoadImageScaledRed(o.heightMap.c_str(), map.width, map.height, made->heights.get(),
                                                   rows.counter());
                rows.finish(loaded == S_OK);
            });
    }
    if (loaded != S_OK) {
        Report(err, "cannot load the height map " + o.heightMap, loaded);
        return kExportBadInput;
    }
    if (computed != S_OK) {
        Report(err, "cannot compute the angles", computed);
        return FailureCode(computed);
    }
    return kExportSuccess;
}

// GDAL's names of the bands of the channel files.
const std::vector<std::string> kChannelBands = {"forward", "backward", "blue"};

// Read where the map lies: nothing copied.
encode::FloatChannels StoredChannels(const HorizonMap& map) {
    const float* texels = map.texels.data();
    return encode::FloatChannels{map.width, map.height, {"R", "G", "B"}, {}, {{texels, 4}, {texels + 1, 4}, {texels + 2, 4}}};
}

// The kinds' codes, written as floats.
const std::uint8_t* KindCodes(const DirectionAngles& angles) {
    static_assert(sizeof(TexelKind) == 1);
    return reinterpret_cast<const std::uint8_t*>(angles.kinds.data());
}

// Read where they lie: nothing copied.
encode::FloatChannels AngleChannels(const AngleMaps& angles) {
    return encode::FloatChannels{angles.width,
                         angles.height,
                         {"forward", "backward", "forwardKind", "backwardKind"},
                         {},
                         {{angles.forward.degrees.data()},
                          {angles.backward.degrees.data()},
                          {.codes = KindCodes(angles.forward)},
                          {.codes = KindCodes(angles.backward)}}};
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

// The file written in pieces, so that a slow disk shows progress.
[[nodiscard]] HRESULT WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
    constexpr std::size_t kPiece = std::size_t{16} << 20;
    os::AtomicFile file;
    if (const HRESULT hr = file.open(path); hr != S_OK) return hr;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t n = std::min(kPiece, bytes.size() - done);
        if (const HRESULT hr = file.write(bytes.data() + done, n); hr != S_OK) return hr;
        done += n;
        line.writing(static_cast<double>(done) / static_cast<double>(bytes.size()));
    }
    return file.commit();
}

// One output: encoded whole in memory, then written beside its name and renamed.
// TIFFs carry the height map's georeferencing, when it has any, and GDAL's band
// names. Each returns an exit code.
class OutputWriter {
public:
    OutputWriter(std::FILE* out, std::FILE* err, const geo::Georeferencing& where, encode::Compression compression)
        : out_(out), err_(err), where_(where), compression_(compression) {}

    // With `right`, the two pictures side by side.
    [[nodiscard]] int writePng(const std::string& path, const encode::GreyImage& image, const encode::GreyImage* right = nullptr) {
        ProgressLine line(err_, path);
        std::vector<std::uint8_t> bytes;
        const HRESULT hr = right != nullptr ? encode::EncodeGreyPngSideBySide(image, *right, &bytes, compression_)
                                            : encode::EncodeGreyPng(image, &bytes, compression_);
        return finish(path, hr, "", bytes, line);
    }

    [[nodiscard]] int writeFloat(const std::string& path, const encode::FloatChannels& channels,
                                 const std::vector<std::string>& bands, const std::string& noData = "") {
        ProgressLine line(err_, path);
        const encode::RowsDone progress = [&](std::uint32_t rows) { line.making(static_cast<double>(rows) / channels.height); };
        // Each goes into its file as its rows are packed.
        std::string why;
        HRESULT hr = S_OK;
        if (encode::FloatFormatOf(path) == encode::FloatFormat::Exr) {
            hr = encode::WriteFloatExrFile(path, channels, progress, compression_);
        } else {
            encode::FloatTiffStream stream;
            hr = stream.open(path, channels.width, channels.height, channels.names,
                             encode::TiffExtras{.moreTags = tags(bands, noData, channels.width, channels.height)}, &why,
                             compression_, encode::FloatTiffStream::Layout::Interleaved);
            if (hr == S_OK) hr = stream.writeInterleaved(channels, progress, &why);
            if (hr == S_OK) hr = stream.commit(&why);
        }
        if (hr != S_OK) {
            Report(err_, "cannot write " + path, hr, why);
            return FailureCode(hr);
        }
        std::fprintf(out_, "wrote %s\n", path.c_str());
        return kExportSuccess;
    }

    // A PNG or a TIFF, by its name.
    [[nodiscard]] int writeGrey(const std::string& path, const encode::GreyImage& image, const std::string& band) {
        if (encode::FloatFormatOf(path) != encode::FloatFormat::Tiff) return writePng(path, image);
        ProgressLine line(err_, path);
        std::vector<std::uint8_t> bytes;
        std::string why;
        const HRESULT hr =
            encode::EncodeGreyTiff(image, &bytes, &why, tags({band}, "", image.width, image.height), compression_);
        return finish(path, hr, why, bytes, line);
    }

    // A file made beforehand, `made` the result of making it.
    [[nodiscard]] int writeMade(const std::string& path, HRESULT made, const std::vector<std::uint8_t>& bytes) {
        ProgressLine line(err_, path);
        return finish(path, made, "", bytes, line);
    }

private:
    encode::TiffTagWriter tags(const std::vector<std::string>& bands, const std::string& noData, std::uint32_t width,
                       std::uint32_t height) const {
        return [this, bands, noData, width, height](TIFF* tiff) {
            if (where_.present)
                if (const HRESULT hr = geo::WriteGeoreferencing(tiff, where_, width, height); hr != S_OK) return hr;
            return geo::WriteGdalTags(tiff, geo::BandDescriptions(bands), noData);
        };
    }

    [[nodiscard]] int finish(const std::string& path, HRESULT encoded, const std::string& why,
                             const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
        if (encoded != S_OK) {
            Report(err_, "cannot make " + path, encoded, why);
            return FailureCode(encoded);
        }
        if (const HRESULT hr = WriteFile(path, bytes, line); hr != S_OK) {
            Report(err_, "cannot write " + path, hr);
            return FailureCode(hr);
        }
        std::fprintf(out_, "wrote %s\n", path.c_str());
        return kExportSuccess;
    }

    std::FILE* out_;
    std::FILE* err_;
    const geo::Georeferencing& where_;
    encode::Compression compression_;
};

// At full size the three files are made at once from the map's rows, no picture
// held; shrunk, from both directions' pictures made first.
int WritePreviews(const ExportOptions& o, const HorizonMap& map, OutputWriter& writer) {
    const HorizonSamples samples(o.rangeDegrees, o.bitDepth);
    const std::string names[3] = {o.previewPrefix + ".red.png", o.previewPrefix + ".green.png",
                                  o.previewPrefix + ".both.png"};
    if (o.shrink <= 1) {
        std::vector<std::uint8_t> files[3];
        const HRESULT made = encode::EncodeGreyPngTrio(
            map.width, map.height, o.bitDepth,
            [&](std::uint32_t row, std::uint16_t* red, std::uint16_t* green) {
                HorizonRowSamples(map, samples, row, red, green);
            },
            &files[0], &files[1], &files[2], o.compression);
        for (int k = 0; k < 3; ++k)
            if (const int code = writer.writeMade(names[k], made, files[k]); code != kExportSuccess) return code;
        return kExportSuccess;
    }
    encode::GreyImage red, green;
    HorizonPictures(map, samples, o.shrink, &red, &green);
    if (const int code = writer.writePng(names[0], red); code != kExportSuccess) return code;
    if (const int code = writer.writePng(names[1], green); code != kExportSuccess) return code;
    return writer.writePng(names[2], red, &green);
}

int Run(const ExportOptions& o, std::FILE* out, std::FILE* err) {
    os::OutputRefusal refused;
    if (const HRESULT hr = os::CheckOutputNames(OutputFiles(o), InputFiles(o), &refused); hr != S_OK) {
        const std::string why = !refused.input.empty()     ? "it is the input " + refused.input
                                : !refused.earlier.empty() ? "it is the same file as the output " + refused.earlier
                                                           : "";
        Report(err, "cannot write " + refused.output, hr, why);
        return kExportWriteFailed;
    }
    HorizonMap map;
    std::string why;
    if (const HRESULT hr = ReadHorizonMap(o.horizonMap.c_str(), &map, &why); hr != S_OK) {
        Report(err, "cannot read the horizon map " + o.horizonMap, hr, why);
        return kExportBadInput;
    }
    // The map may lie in its file's mapping: a file cut short meanwhile ends the run.
    os::ExitOnBusError(
        (std::string(kProgram) + ": cannot read the horizon map " + o.horizonMap + ": cut short while being read\n")
            .c_str(),
        kExportBadInput);
    if (const HRESULT hr = os::CheckFitsInMemory(WritingPeakBytes(o, map.width, map.height)); hr != S_OK) {
        Report(err, "too little memory to make the files asked for", hr);
        return kExportOutOfMemory;
    }
    FromHeights made;
    if (o.needsHeightMap())
        if (const int code = LoadHeights(o, map, &made, err); code != kExportSuccess) return code;
    const float* heights = made.heights.get();
    const AngleMaps& angles = made.angles;
    geo::Georeferencing where;
    if (!o.heightMap.empty()) {
        if (const HRESULT hr = geo::ReadGeoreferencing(o.heightMap, &where); hr != S_OK) {
            if (hr == E_OUTOFMEMORY) return ReportOutOfMemory(err);
            std::fprintf(err, "%s: warning: the georeferencing of %s cannot be read: the TIFFs carry none\n", kProgram,
                         o.heightMap.c_str());
        }
    }

    OutputWriter writer(out, err, where, o.compression);
    if (!o.previewPrefix.empty()) {
        if (const int code = WritePreviews(o, map, writer); code != kExportSuccess) return code;
    }
    if (!o.heightPng.empty()) {
        const encode::GreyImage image = HeightPicture(heights, map.width, map.height, o.shrink, o.bitDepth);
        if (const int code = writer.writePng(o.heightPng, image); code != kExportSuccess) return code;
    }
    if (!o.channelFiles.empty()) {
        const encode::FloatChannels channels = StoredChannels(map);
        for (const auto& path : o.channelFiles)
            if (const int code = writer.writeFloat(path, channels, kChannelBands); code != kExportSuccess) return code;
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
        const encode::FloatChannels channels = AngleChannels(angles);
        for (const auto& path : o.angleFiles)
            if (const int code = writer.writeFloat(path, channels, channels.names, "nan"); code != kExportSuccess)
                return code;
    }
    if (!o.shadeFile.empty()) {
        if (const int code = writer.writeGrey(o.shadeFile, made.shade, "shade"); code != kExportSuccess) return code;
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
