#pragma once
// A float TIFF in memory, by libtiff: 32-bit IEEE samples (SAMPLEFORMAT_IEEEFP),
// interleaved, ZSTD (level -3) after the floating-point predictor, strips of 8 rows
// compressed on two threads (none for Compression::None), little-endian (BigTIFF beyond 3 GB of samples). Channels
// named R, G, B are an RGB image; any other set is grey with extra samples. The channel names go into the image
// description, blank-separated.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/compression.h"
#include "export/float_channels.h"
#include "export/rows_done.h"
#include "results/result_code.h"

typedef struct tiff TIFF;

namespace exporter {

// Sets tags of its own (georeferencing, GDAL's) in the TIFF before its samples are
// written: S_OK, or a failure that fails the encoding.
using TiffTagWriter = std::function<HRESULT(TIFF* tiff)>;

// Arguments as EncodeFloatExr takes them (at most 65535 planes). S_OK with the file
// in `bytes`; E_INVALIDARG; E_OUTOFMEMORY; E_FAIL with libtiff's reason in `why`,
// or when `moreTags` fails.
[[nodiscard]] HRESULT EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                                      const TiffTagWriter& moreTags = {}, const RowsDone& progress = {},
                                      Compression compression = Compression::Fast);

}  // namespace exporter
