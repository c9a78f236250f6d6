#include "float_tiff_tags.h"

#include "float_strips.h"
#include "geo/gdal_tags.h"

namespace exporter {

namespace {

// GeoTIFF's tags as its library declares them.
const TIFFFieldInfo kGeoFields[] = {
    {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoPixelScale")},
    {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTiePoints")},
    {34264, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTransformationMatrix")},
    {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
    {34736, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoDoubleParams")},
    {34737, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoASCIIParams")},
};

template <typename T>
[[nodiscard]] bool SetArray(TIFF* tiff, ttag_t tag, const std::vector<T>& values) {
    if (values.empty()) return true;
    if (values.size() > 0xFFFF) return false;
    return TIFFSetField(tiff, tag, static_cast<int>(values.size()), values.data()) == 1;
}

[[nodiscard]] bool WriteGeoTags(TIFF* tiff, const GeoTiffTags& geo) {
    if (geo.empty()) return true;
    if (TIFFMergeFieldInfo(tiff, kGeoFields, 6) != 0) return false;
    return SetArray(tiff, 33550, geo.pixelScale) && SetArray(tiff, 33922, geo.tiepoints) &&
           SetArray(tiff, 34264, geo.transformation) && SetArray(tiff, 34735, geo.keys) &&
           SetArray(tiff, 34736, geo.doubleParams) &&
           (geo.asciiParams.empty() || TIFFSetField(tiff, 34737, geo.asciiParams.c_str()) == 1);
}

}  // namespace

bool WriteFloatTiffTags(TIFF* tiff, std::uint32_t width, std::uint32_t height, const std::vector<std::string>& names,
                        const TiffExtras& extras, Compression compression, bool separate) {
    const auto samples = static_cast<std::uint16_t>(names.size());
    const bool rgb = !separate && names == std::vector<std::string>{"R", "G", "B"};
    std::string description = extras.description;
    if (description.empty())
        for (const auto& name : names) description += (description.empty() ? "" : " ") + name;
    std::vector<std::uint16_t> extra(rgb ? 0 : samples - 1u, EXTRASAMPLE_UNSPECIFIED);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples) == 1 &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.c_str()) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SOFTWARE, extras.software.c_str()) == 1 &&
              SetFloatStripTags(tiff, compression) == S_OK;
    if (ok && !extra.empty())
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
    return ok && geo::WriteGdalTags(tiff, extras.gdalMetadata, extras.gdalNoData) == S_OK &&
           WriteGeoTags(tiff, extras.geo) && (!extras.moreTags || extras.moreTags(tiff) == S_OK);
}

}  // namespace exporter
