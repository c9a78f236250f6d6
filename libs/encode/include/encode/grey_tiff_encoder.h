#pragma once
// A grey TIFF in memory, by libtiff: 8 or 16-bit unsigned samples, ZSTD (level 1)
// after the horizontal predictor in strips of about 256 KB packed on both cores,
// or none for Compression::None; little-endian.
#include <cstdint>
#include <string>
#include <vector>

#include "encode/grey_image.h"
#include "encode/tiff_encoder.h"
#include "results/result_code.h"

namespace encode {

// `image` of nonzero size, 8 or 16 bits; `bytes` and `why` not null. S_OK with the
// file in `bytes`; E_INVALIDARG; E_OUTOFMEMORY; E_FAIL with libtiff's reason in
// `why`, or when `moreTags` fails.
[[nodiscard]] HRESULT EncodeGreyTiff(const GreyImage& image, std::vector<std::uint8_t>* bytes, std::string* why,
                                     const TiffTagWriter& moreTags = {}, Compression compression = Compression::Fast);

}  // namespace encode
