#include "float_tiff_tags.h"

#include "float_strips.h"
#include "geo/gdal_tags.h"
#include "geo/georeferencing.h"

namespace encode {

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
              (extras.software.empty() || TIFFSetField(tiff, TIFFTAG_SOFTWARE, extras.software.c_str()) == 1) &&
              SetFloatStripTags(tiff, compression).ok();
    if (ok && !extra.empty())
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
    return ok && geo::WriteGdalTags(tiff, extras.gdalMetadata, extras.gdalNoData).ok() &&
           geo::WriteStoredTags(tiff, extras.geo).ok() && (!extras.moreTags || extras.moreTags(tiff).ok());
}

}  // namespace encode
