#pragma once
// The tags of a float TIFF, shared by the whole-file encoder and the streamed one.
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "encode/tiff_encoder.h"

namespace encode {

// Sets every tag of a float TIFF of `names.size()` samples before its strips:
// size, 32-bit IEEE samples, interleaved or (`separate`) one plane per sample, the
// description (the names unless `extras` has one), software, compression and
// strips (SetFloatStripTags), GDAL's and GeoTIFF's tags and `extras.moreTags`.
// Names R, G, B interleaved are RGB. False when libtiff refuses any.
[[nodiscard]] bool WriteFloatTiffTags(TIFF* tiff, std::uint32_t width, std::uint32_t height,
                                      const std::vector<std::string>& names, const TiffExtras& extras,
                                      Compression compression, bool separate);

}  // namespace encode
