#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>

#include <memory>
#include <mutex>

#include "geo/georeferencing.h"
#include "geotiff_fields.h"

namespace geo {

namespace {

// As libgeotiff declares them to libtiff.
const TIFFFieldInfo kGeoTiffFields[] = {
    {TIFFTAG_GEOPIXELSCALE, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoPixelScale")},
    {TIFFTAG_GEOTIEPOINTS, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTiePoints")},
    {TIFFTAG_GEOTRANSMATRIX, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTransformationMatrix")},
    {TIFFTAG_GEOKEYDIRECTORY, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
    {TIFFTAG_GEODOUBLEPARAMS, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoDoubleParams")},
    {TIFFTAG_GEOASCIIPARAMS, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoASCIIParams")},
};

struct GtifFree {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};

bool SetKey(GTIF* gtif, const GeoKey& key) {
    const auto id = static_cast<geokey_t>(key.id);
    switch (key.type) {
        case GeoKey::Type::Ascii: return GTIFKeySet(gtif, id, TYPE_ASCII, 0, key.text.c_str()) == 1;
        case GeoKey::Type::Short:
            // libgeotiff keeps one code per SHORT key; no standard key has more.
            if (key.numbers.size() != 1) return true;
            return GTIFKeySet(gtif, id, TYPE_SHORT, 1, static_cast<int>(key.numbers[0])) == 1;
        case GeoKey::Type::Double:
            if (key.numbers.size() == 1) return GTIFKeySet(gtif, id, TYPE_DOUBLE, 1, key.numbers[0]) == 1;
            return !key.numbers.empty() &&
                   GTIFKeySet(gtif, id, TYPE_DOUBLE, static_cast<int>(key.numbers.size()), key.numbers.data()) == 1;
    }
    return false;
}

bool SetGeotransform(TIFF* tiff, const std::array<double, 6>& gt) {
    if (gt[2] == 0 && gt[4] == 0) {
        double tie[6] = {0, 0, 0, gt[0], gt[3], 0};
        double scale[3] = {gt[1], -gt[5], 0};
        return TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tie) == 1 &&
               TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, scale) == 1;
    }
    double matrix[16] = {gt[1], gt[2], 0, gt[0], gt[4], gt[5], 0, gt[3], 0, 0, 0, 0, 0, 0, 0, 1};
    return TIFFSetField(tiff, TIFFTAG_GEOTRANSMATRIX, 16, matrix) == 1;
}

template <typename T>
[[nodiscard]] bool SetArray(TIFF* tiff, ttag_t tag, const std::vector<T>& values) {
    if (values.empty()) return true;
    if (values.size() > 0xFFFF) return false;
    return TIFFSetField(tiff, tag, static_cast<int>(values.size()), values.data()) == 1;
}

// libtiff or libgeotiff would not take a tag.
status::Status Refused(TIFF* tiff) {
    const char* name = TIFFFileName(tiff);
    return status::Fail(status::Code::Failed,
                        std::string(name != nullptr ? name : "a TIFF") + ": libtiff refused its georeferencing tags");
}

}  // namespace

bool KnowGeoTiffTags(TIFF* tiff) {
    if (TIFFFindField(tiff, TIFFTAG_GEOKEYDIRECTORY, TIFF_ANY) != nullptr) return true;
    return TIFFMergeFieldInfo(tiff, kGeoTiffFields, sizeof kGeoTiffFields / sizeof kGeoTiffFields[0]) == 0;
}

void RegisterGeoTiffTags() {
    static std::once_flag registered;
    std::call_once(registered, [] { XTIFFInitialize(); });
}

status::Status WriteStoredTags(TIFF* tiff, const StoredGeoTiffTags& stored) {
    if (stored.empty()) return status::Ok();
    if (!KnowGeoTiffTags(tiff)) return Refused(tiff);
    const bool ok =
        SetArray(tiff, TIFFTAG_GEOPIXELSCALE, stored.pixelScale) &&
        SetArray(tiff, TIFFTAG_GEOTIEPOINTS, stored.tiepoints) &&
        SetArray(tiff, TIFFTAG_GEOTRANSMATRIX, stored.transformation) &&
        SetArray(tiff, TIFFTAG_GEOKEYDIRECTORY, stored.keyDirectory) &&
        SetArray(tiff, TIFFTAG_GEODOUBLEPARAMS, stored.doubleParams) &&
        (stored.asciiParams.empty() || TIFFSetField(tiff, TIFFTAG_GEOASCIIPARAMS, stored.asciiParams.c_str()) == 1);
    return ok ? status::Ok() : Refused(tiff);
}

status::Status WriteGeoreferencing(TIFF* tiff, const Georeferencing& geo, std::uint32_t width, std::uint32_t height) {
    if (!KnowGeoTiffTags(tiff)) return Refused(tiff);
    if (geo.hasGeotransform && !SetGeotransform(tiff, ScaledGeotransform(geo, width, height))) return Refused(tiff);
    if (geo.keys.empty()) return status::Ok();
    const std::unique_ptr<GTIF, GtifFree> gtif(GTIFNew(tiff));
    if (!gtif) return Refused(tiff);
    for (const GeoKey& key : geo.keys)
        if (!SetKey(gtif.get(), key)) return Refused(tiff);
    // The tie point written is the texel's corner.
    if (geo.hasGeotransform && GTIFKeySet(gtif.get(), GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea) != 1)
        return Refused(tiff);
    return GTIFWriteKeys(gtif.get()) == 1 ? status::Ok() : Refused(tiff);
}

}  // namespace geo
