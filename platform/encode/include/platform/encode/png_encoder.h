#pragma once
// A grey PNG in memory: the top and bottom halves of its rows deflated on two
// threads into one zlib stream.
#include <cstdint>
#include <vector>

#include "platform/encode/compression.h"
#include "platform/encode/grey_image.h"
#include "results/result_code.h"

namespace exporter {

// `image` of nonzero size (width at most 2^28), 8 or 16 bits, width x height
// samples; `bytes` not null. Fast: Up filter, zlib's run-length matching; None:
// stored deflate blocks. S_OK with the file in `bytes`; E_INVALIDARG for anything
// else; E_OUTOFMEMORY; E_FAIL when zlib refuses.
[[nodiscard]] HRESULT EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes,
                                    Compression compression = Compression::Fast);

// The picture SideBySide would make of `left` and `right` (of equal height and bit
// depth, each as above), without making it. Results as above.
[[nodiscard]] HRESULT EncodeGreyPngSideBySide(const GreyImage& left, const GreyImage& right,
                                              std::vector<std::uint8_t>* bytes,
                                              Compression compression = Compression::Fast);

}  // namespace exporter
