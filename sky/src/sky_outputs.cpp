#include "sky/sky_outputs.h"

#include "platform/encode/exr_encoder.h"
#include "platform/encode/output_file.h"
#include "platform/encode/png_encoder.h"
#include "platform/encode/tiff_encoder.h"
#include "platform/wide_text.h"
#include "results/describe_result.h"
#include "sky/derived_products.h"
#include "sky/engine_texture.h"

namespace sky {

void ReportFailure(std::FILE* err, const std::string& what, HRESULT result, const std::string& why) {
    std::string text = why;
    if (text.empty()) {
        text = platform::NarrowToBytes(DescribeResult(result));
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    std::fprintf(err, "%s: %s: %s\n", kSkyProgram, what.c_str(), text.c_str());
}

std::string Degrees(double azimuth) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", azimuth);
    return text;
}

namespace {

// GDAL's metadata: the azimuths used and any other dataset items, then each band's
// description.
std::string GdalMetadata(const std::string& azimuths, const std::vector<std::string>& descriptions,
                         const std::string& items = "") {
    std::string xml = "<GDALMetadata>\n  <Item name=\"AZIMUTHS\">" + azimuths + "</Item>\n" + items;
    for (std::size_t i = 0; i < descriptions.size(); ++i)
        xml += "  <Item name=\"DESCRIPTION\" sample=\"" + std::to_string(i) + "\" role=\"description\">" +
               descriptions[i] + "</Item>\n";
    return xml + "</GDALMetadata>\n";
}

std::string AzimuthList(const std::vector<double>& azimuths) {
    std::string list;
    for (double azimuth : azimuths) list.append(list.empty() ? "" : " ").append(Degrees(azimuth));
    return list;
}

[[nodiscard]] bool WriteFile(const std::string& path, HRESULT encoded, const std::string& why,
                             const std::vector<std::uint8_t>& bytes, std::FILE* out, std::FILE* err) {
    if (encoded != S_OK) {
        ReportFailure(err, "cannot make " + path, encoded, why);
        return false;
    }
    if (const HRESULT hr = exporter::WriteFileAtomically(path, bytes); hr != S_OK) {
        ReportFailure(err, "cannot write " + path, hr);
        return false;
    }
    std::fprintf(out, "wrote %s\n", path.c_str());
    return true;
}

// A TIFF with its tags, or an OpenEXR whose channel names say it all.
[[nodiscard]] bool WriteFloats(const std::string& path, const exporter::FloatChannels& channels,
                               const exporter::TiffExtras& extras, std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    const HRESULT hr = exporter::FloatFormatOf(path) == exporter::FloatFormat::Exr
                           ? exporter::EncodeFloatExr(channels, &bytes, &why)
                           : exporter::EncodeFloatTiff(channels, &bytes, &why, extras);
    return WriteFile(path, hr, why, bytes, out, err);
}

}  // namespace

bool WriteAngleFile(const std::string& path, const OutputSource& source, std::vector<std::vector<float>>& bands,
                    std::FILE* out, std::FILE* err) {
    const Dem& dem = source.dem;
    exporter::FloatChannels channels{dem.width, dem.height, {}, {}};
    std::vector<std::string> descriptions;
    for (double azimuth : source.azimuths) {
        channels.names.push_back("azimuth_" + Degrees(azimuth));
        descriptions.push_back("azimuth " + Degrees(azimuth));
    }
    channels.planes = std::move(bands);
    exporter::TiffExtras extras;
    extras.software = kSkyProgram;
    extras.gdalMetadata = GdalMetadata(AzimuthList(source.azimuths), descriptions);
    extras.gdalNoData = "-9999";
    if (dem.tiff) extras.geo = dem.tiff->geo;
    const bool written = WriteFloats(path, channels, extras, out, err);
    bands = std::move(channels.planes);
    return written;
}

bool WriteSkyViewFile(const std::string& path, SvfModel svfModel, const OutputSource& source,
                      const std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err) {
    const Dem& dem = source.dem;
    static const char* const kModels[] = {"horizontal", "sloped", "zaksek"};
    const char* model = kModels[static_cast<int>(svfModel)];
    exporter::FloatChannels channels{dem.width, dem.height, {"svf"}, {}};
    channels.planes.push_back(SkyViewFactor(dem.grid(), source.cellX, source.cellY, bands, source.azimuths, svfModel));
    exporter::TiffExtras extras;
    extras.software = kSkyProgram;
    extras.gdalMetadata = GdalMetadata(AzimuthList(source.azimuths), {"sky-view factor"},
                                       std::string("  <Item name=\"SVF_MODEL\">") + model + "</Item>\n");
    extras.gdalNoData = "-9999";
    if (dem.tiff) extras.geo = dem.tiff->geo;
    return WriteFloats(path, channels, extras, out, err);
}

bool WriteShadeFile(const std::string& path, double sunAzimuth, double sunElevation, const OutputSource& source,
                    const std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err) {
    const exporter::GreyImage image =
        Hillshade(source.dem.grid(), source.cellX, source.cellY, bands, source.azimuths, sunAzimuth, sunElevation);
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = exporter::EncodeGreyPng(image, &bytes);
    return WriteFile(path, hr, "", bytes, out, err);
}

bool WriteEngineFile(const std::string& path, const OutputSource& source, const std::vector<std::vector<float>>& bands,
                     std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = EncodeEngineDds(bands, source.dem.width, source.dem.height, &bytes);
    return WriteFile(path, hr, "", bytes, out, err);
}

}  // namespace sky
