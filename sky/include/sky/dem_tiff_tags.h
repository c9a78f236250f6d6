#pragma once
// What a TIFF DEM says about itself beyond its samples: the sample kind, GDAL's
// no-data value and GeoTIFF's georeferencing, read with libtiff and libgeotiff.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/encode/tiff_encoder.h"

namespace sky {

struct DemTiffTags {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t sampleFormat = 1;  // SAMPLEFORMAT_UINT
    std::optional<double> gdalNoData;
    exporter::GeoTiffTags geo;           // as stored, for the outputs
    int modelType = 0;                   // GTModelTypeGeoKey: 1 projected, 2 geographic, 0 not given
    std::optional<double> cellX, cellY;  // metres, from the pixel scale and the linear unit
    std::optional<double> west, north;   // the model point of the first texel (degrees when geographic)
};

// False when `path` is no TIFF libtiff opens (nothing printed); `tags` then as it was.
[[nodiscard]] bool ReadDemTiffTags(const std::string& path, DemTiffTags* tags);

}  // namespace sky
