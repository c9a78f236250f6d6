#pragma once
// What a TIFF DEM says about itself beyond its samples: the sample kind, GDAL's
// no-data value and GeoTIFF's georeferencing (as geo/ reads it).
#include <cstdint>
#include <optional>
#include <string>

#include "encode/tiff_encoder.h"
#include "sky/latitude_bands.h"

namespace sky {

struct DemTiffTags {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t sampleFormat = 1;  // SAMPLEFORMAT_UINT
    std::optional<double> gdalNoData;
    encode::GeoTiffTags geo;             // as stored, for the outputs
    int modelType = 0;                   // GTModelTypeGeoKey: 1 projected, 2 geographic, 0 not given
    std::optional<double> cellX, cellY;  // metres, from the texel size and the linear unit
    std::optional<double> west, north;   // the first texel's outer corner (degrees when geographic)
    // How the grid lies on the georeferencing's axes (x east, y north); with no
    // geotransform up the image is north.
    bool columnsRunWest = false;  // a negative pixel width
    bool rowsRunNorth = false;    // a positive pixel height: south up
    bool rotated = false;         // rows and columns are not along the axes
    // A geographic grid's cells (cellX, cellY) are metres at its centre latitude; the
    // east-west scale at its northern and southern rows differs by up to this share.
    double geographicSpread = 0;
    std::optional<LatitudeGrid> latitudes;  // a geographic grid's, within the poles
    bool crossesPole = false;
};

// False when `path` is no TIFF libtiff opens, or memory runs out (nothing printed);
// `tags` then as it was. Exhausted memory may also escape as std::bad_alloc.
[[nodiscard]] bool ReadDemTiffTags(const std::string& path, DemTiffTags* tags);

}  // namespace sky
