#include "sky/dem_tiff_tags.h"

#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>
#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace sky {

namespace {

constexpr ttag_t kGdalNoData = 42113;

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct GtifFree {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};

template <typename T>
std::vector<T> ArrayTag(TIFF* tiff, ttag_t tag) {
    std::uint16_t count = 0;
    T* values = nullptr;
    if (TIFFGetField(tiff, tag, &count, &values) != 1 || values == nullptr) return {};
    return std::vector<T>(values, values + count);
}

// Metres per unit of the projection's linear unit (EPSG codes); 0 when unknown.
double MetresPerUnit(int code) {
    switch (code) {
        case 9001: return 1;
        case 9002: return 0.3048;
        case 9003: return 1200.0 / 3937.0;
        default: return 0;
    }
}

void ReadGeo(TIFF* tiff, DemTiffTags* tags) {
    exporter::GeoTiffTags& geo = tags->geo;
    geo.keys = ArrayTag<std::uint16_t>(tiff, TIFFTAG_GEOKEYDIRECTORY);
    if (geo.keys.empty()) return;
    geo.pixelScale = ArrayTag<double>(tiff, TIFFTAG_GEOPIXELSCALE);
    geo.tiepoints = ArrayTag<double>(tiff, TIFFTAG_GEOTIEPOINTS);
    geo.transformation = ArrayTag<double>(tiff, TIFFTAG_GEOTRANSMATRIX);
    geo.doubleParams = ArrayTag<double>(tiff, TIFFTAG_GEODOUBLEPARAMS);
    char* ascii = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_GEOASCIIPARAMS, &ascii) == 1 && ascii != nullptr) geo.asciiParams = ascii;

    const std::unique_ptr<GTIF, GtifFree> gtif(GTIFNew(tiff));
    if (!gtif) return;
    unsigned short model = 0, units = 9001;
    if (GTIFKeyGetSHORT(gtif.get(), GTModelTypeGeoKey, &model, 0, 1) == 1) tags->modelType = model;
    GTIFKeyGetSHORT(gtif.get(), ProjLinearUnitsGeoKey, &units, 0, 1);
    if (geo.tiepoints.size() >= 6) {
        tags->west = geo.tiepoints[3];
        tags->north = geo.tiepoints[4];
    }
    const double metres = MetresPerUnit(units);
    if (tags->modelType == ModelTypeProjected && metres > 0 && geo.pixelScale.size() >= 2 && geo.pixelScale[0] > 0 &&
        geo.pixelScale[1] > 0) {
        tags->cellX = geo.pixelScale[0] * metres;
        tags->cellY = geo.pixelScale[1] * metres;
    }
}

}  // namespace

bool ReadDemTiffTags(const std::string& path, DemTiffTags* tags) {
    // GeoTIFF's tags become known to every TIFF opened from here on.
    static std::once_flag registered;
    std::call_once(registered, [] { XTIFFInitialize(); });
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Quiet, nullptr);
    const std::unique_ptr<TIFF, TiffClose> tiff(TIFFOpenExt(path.c_str(), "r", options.get()));
    if (!tiff) return false;
    DemTiffTags read;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &read.bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &read.sampleFormat);
    // Unknown to libtiff, GDAL's no-data tag arrives as an anonymous text field.
    std::uint32_t count = 0;
    char* text = nullptr;
    if (TIFFGetField(tiff.get(), kGdalNoData, &count, &text) == 1 && text != nullptr) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        if (end != text) read.gdalNoData = value;
    }
    ReadGeo(tiff.get(), &read);
    *tags = std::move(read);
    return true;
}

}  // namespace sky
