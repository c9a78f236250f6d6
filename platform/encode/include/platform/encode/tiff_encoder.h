#pragma once
// A float TIFF in memory, by libtiff: 32-bit IEEE samples (SAMPLEFORMAT_IEEEFP),
// interleaved, Deflate without predictor, little-endian (BigTIFF beyond 3 GB of
// samples). Channels named R, G, B are an RGB image; any other set is grey with
// extra samples. The channel names go into the image description, blank-separated.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/encode/float_channels.h"
#include "results/result_code.h"

namespace exporter {

// Arguments as EncodeFloatExr takes them (at most 65535 planes). S_OK with the file
// in `bytes`; E_INVALIDARG; E_OUTOFMEMORY; E_FAIL with libtiff's reason in `why`.
[[nodiscard]] HRESULT EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes,
                                      std::string* why);

}  // namespace exporter
