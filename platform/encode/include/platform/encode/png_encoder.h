#pragma once
// A grey PNG in memory, by libpng.
#include <cstdint>
#include <vector>

#include "platform/encode/compression.h"
#include "platform/encode/grey_image.h"
#include "results/result_code.h"

namespace exporter {

// `image` of nonzero size, 8 or 16 bits, width x height samples; `bytes` not null.
// S_OK with the file in `bytes`; E_INVALIDARG for anything else; E_OUTOFMEMORY;
// E_FAIL when libpng refuses.
[[nodiscard]] HRESULT EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes,
                                    Compression compression = Compression::Fast);

}  // namespace exporter
