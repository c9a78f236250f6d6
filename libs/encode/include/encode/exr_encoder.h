#pragma once
// A float OpenEXR file, in memory or streamed into its file: one scan-line part, each channel 32-bit FLOAT
// under its name, RLE compression (lossless; none for Compression::None), rows
// packed on two threads; the bytes OpenEXR's own writer makes of the same planes.
#include <cstdint>
#include <string>
#include <vector>

#include "encode/compression.h"
#include "encode/float_channels.h"
#include "encode/rows_done.h"
#include "status/status.h"

namespace encode {

// `channels`: at least one plane of width x height (both nonzero) floats each, under
// distinct nonempty names; `bytes` and `why` not null (`why` is kept for callers that
// share it with the TIFF encoder: nothing here fails with a reason). Ok with the
// file in `bytes`; InvalidArgument for anything else; OutOfMemory. `progress` hears
// of every 4 MB or so of rows.
[[nodiscard]] status::Status EncodeFloatExr(const FloatChannels& channels, std::vector<std::uint8_t>* bytes,
                                            std::string* why, const RowsDone& progress = {},
                                            Compression compression = Compression::Fast);

// The same file written beside `path` as its rows are packed, flushed and renamed
// over the name when whole (os::AtomicFile: nothing is left on failure); only
// a few MB of packed rows are held. Ok; InvalidArgument as above; OutOfMemory; the
// error met opening (ResolveSaveTarget's refusal included), writing or renaming.
[[nodiscard]] status::Status WriteFloatExrFile(const std::string& path, const FloatChannels& channels,
                                               const RowsDone& progress = {},
                                               Compression compression = Compression::Fast);

}  // namespace encode
