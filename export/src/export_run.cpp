#include "export/export_run.h"

#include "encode/png_encoder.h"
#include "export/angle_maps.h"
#include "export/export_options.h"
#include "export/horizon_map_file.h"
#include "export/horizon_samples.h"
#include "export/output_memory.h"
#include "export/viewer_output.h"
#include "export_report.h"
#include "geo/georeferencing.h"
#include "height_loading.h"
#include "os/memory_budget.h"
#include "os/termination_signals.h"
#include "output_writer.h"
#include "outputs/refused_names.h"

namespace exporter {

namespace {

// GDAL's names of the bands of the channel files.
const std::vector<std::string> kChannelBands = {"forward", "backward", "blue"};

// Read where the map lies: nothing copied.
encode::FloatChannels StoredChannels(const HorizonMap& map) {
    const float* texels = map.texels.data();
    return encode::FloatChannels{
        map.width, map.height, {"R", "G", "B"}, {}, {{texels, 4}, {texels + 1, 4}, {texels + 2, 4}}};
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

// At full size the three files are made at once from the map's rows, no picture
// held; shrunk, from both directions' pictures made first.
int WritePreviews(const ExportOptions& o, const HorizonMap& map, OutputWriter& writer) {
    const HorizonSamples samples(o.rangeDegrees, o.bitDepth);
    const std::string names[3] = {o.previewPrefix + ".red.png", o.previewPrefix + ".green.png",
                                  o.previewPrefix + ".both.png"};
    if (o.shrink <= 1) {
        std::vector<std::uint8_t> files[3];
        const status::Status made = encode::EncodeGreyPngTrio(
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

}  // namespace

int RunExport(const ExportOptions& o, std::FILE* out, std::FILE* err) {
    const auto inputWords = [](const std::string& input) { return "it is the input " + input; };
    if (!outputs::CheckOutputNames(err, kProgram, OutputFiles(o), InputFiles(o), inputWords).ok())
        return kExportWriteFailed;
    HorizonMap map;
    std::string why;
    if (const status::Status read = ReadHorizonMap(o.horizonMap.c_str(), &map, &why); !read.ok()) {
        Report(err, "cannot read the horizon map " + o.horizonMap, read.code, why);
        return kExportBadInput;
    }
    // The map may lie in its file's mapping: a file cut short meanwhile ends the run.
    os::ExitOnBusError(
        (std::string(kProgram) + ": cannot read the horizon map " + o.horizonMap + ": cut short while being read\n")
            .c_str(),
        kExportBadInput);
    if (!os::CheckFitsInMemory(WritingPeakBytes(o, map.width, map.height)).ok()) {
        Report(err, "too little memory to make the files asked for", status::Code::OutOfMemory);
        return kExportOutOfMemory;
    }
    FromHeights made;
    if (o.needsHeightMap())
        if (const int code = LoadHeights(o, map, &made, err); code != kExportSuccess) return code;
    const float* heights = made.heights.get();
    const AngleMaps& angles = made.angles;
    geo::Georeferencing where;
    if (!o.heightMap.empty()) {
        if (const status::Status read = geo::ReadGeoreferencing(o.heightMap, &where); !read.ok()) {
            if (read.code == status::Code::OutOfMemory) return ReportOutOfMemory(err);
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

}  // namespace exporter
