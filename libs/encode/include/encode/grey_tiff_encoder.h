#pragma once
// A grey TIFF in memory, by libtiff: 8 or 16-bit unsigned samples, ZSTD (level 1)
// after the horizontal predictor in strips of about 256 KB, or none for
// Compression::None; little-endian. libtiff packs the strips itself: packing them on
// both cores saved no time in a whole run (docs/design/field-libraries.md).
#include <cstdint>
#include <string>
#include <vector>

#include "encode/grey_image.h"
#include "encode/tiff_encoder.h"

namespace encode {

// `image` of nonzero size, 8 or 16 bits; `bytes` and `why` not null. Ok with the
// file in `bytes`; InvalidArgument; OutOfMemory; Failed with libtiff's reason in
// `why` (and as the status's), or when `moreTags` fails.
[[nodiscard]] status::Status EncodeGreyTiff(const GreyImage& image, std::vector<std::uint8_t>* bytes, std::string* why,
                                            const TiffTagWriter& moreTags = {},
                                            Compression compression = Compression::Fast);

}  // namespace encode
