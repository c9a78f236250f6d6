#pragma once
// A float OpenEXR file in memory: one scan-line part, each channel 32-bit FLOAT
// under its name, RLE compression (lossless; none for Compression::None), chunks
// compressed on two threads.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/encode/compression.h"
#include "platform/encode/float_channels.h"
#include "platform/encode/rows_done.h"
#include "results/result_code.h"

namespace exporter {

// `channels`: at least one named plane of width x height (both nonzero) floats
// each; `bytes` and `why` not null. S_OK with the file in `bytes`; E_INVALIDARG for
// anything else; E_OUTOFMEMORY; E_FAIL with the library's reason in `why`. The
// library's exceptions end here. `progress` hears of every 256 rows.
[[nodiscard]] HRESULT EncodeFloatExr(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                                     const RowsDone& progress = {}, Compression compression = Compression::Fast);

}  // namespace exporter
