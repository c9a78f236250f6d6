#pragma once
// A float TIFF in memory, by libtiff: 32-bit IEEE samples (SAMPLEFORMAT_IEEEFP),
// interleaved, ZSTD at kFloatTiffZstdLevel after the floating-point predictor,
// strips of 8 rows compressed on two threads (none for Compression::None),
// little-endian (BigTIFF beyond 3 GB of samples). Channels named R, G, B are an RGB image; any other set is
// grey with extra samples.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "encode/compression.h"
#include "encode/float_channels.h"
#include "encode/rows_done.h"
#include "geo/georeferencing.h"
#include "status/status.h"

typedef struct tiff TIFF;

namespace encode {

// Sets tags of its own (georeferencing, GDAL's) in the TIFF before its samples are
// written: Ok, or a failure that fails the encoding.
using TiffTagWriter = std::function<status::Status(TIFF* tiff)>;

// GeoTIFF's georeferencing tags as stored, to be copied from one file to another of
// the same grid.
using GeoTiffTags = geo::StoredGeoTiffTags;

// What a file may carry beside its samples, for GIS tools.
struct TiffExtras {
    std::string software{};      // the program that made the file, when not empty
    std::string description{};   // the image description; empty: the channel names, blank-separated
    std::string gdalMetadata{};  // GDAL_METADATA XML (band descriptions), when not empty
    std::string gdalNoData{};    // GDAL_NODATA, the no-data value as text, when not empty
    GeoTiffTags geo{};           // copied as they are
    TiffTagWriter moreTags{};    // anything else, set last
};

// Arguments as EncodeFloatExr takes them (at most 65535 planes). Ok with the file
// in `bytes`; InvalidArgument; OutOfMemory; Failed with libtiff's reason in `why`
// (and as the status's), or when a tag cannot be set.
[[nodiscard]] status::Status EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes,
                                             std::string* why, const TiffExtras& extras = {},
                                             const RowsDone& progress = {},
                                             Compression compression = Compression::Fast);

}  // namespace encode
