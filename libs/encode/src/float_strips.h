#pragma once
// Float samples compressed strip by strip on two threads, ZSTD after the
// floating-point predictor, and handed to libtiff as they are to be stored.
#include <tiffio.h>

#include <cstddef>
#include <cstdint>

#include "encode/compression.h"
#include "encode/float_channels.h"
#include "encode/rows_done.h"
#include "status/status.h"

namespace encode {

// Small strips keep the rows in flight few; ZSTD packs 8 rows as well as 64.
constexpr std::uint32_t kRowsPerFloatStrip = 8;

// libtiff's floating-point predictor on one row of `wc` words, `samples` a pixel:
// the words' bytes in planes, most significant first, each less the byte a pixel
// before it (the difference running on across the planes), into `out` (4 wc bytes).
void PredictFloatWords(const std::uint32_t* words, std::size_t wc, std::size_t samples, std::uint8_t* out);

// Sets the compression (ZSTD), the predictor (floating point) and the strip height
// of `tiff`, open for writing with its other tags set; for Compression::None, no
// compression and no predictor. Failed when libtiff lacks ZSTD or refuses.
[[nodiscard]] status::Status SetFloatStripTags(TIFF* tiff, Compression compression);

// Writes the planes of `channels` interleaved, as libtiff would after
// SetFloatStripTags (Compression::None: interleaved as they are): each row's bytes split into planes, most significant
// first, and differenced across samples (predictor 3), then each strip one ZSTD frame. Strips are compressed in
// batches, half on a second thread (on this one alone when no thread can be started), and written in order with
// TIFFWriteRawStrip. Ok; OutOfMemory; Failed when zstd or libtiff refuse.
[[nodiscard]] status::Status WriteFloatStrips(TIFF* tiff, const FloatChannels& channels, Compression compression,
                                              const RowsDone& progress);

// One band of a file with separate planes: its strips, numbered from `firstStrip`
// (the band's index times the strips of a band), made and written as
// WriteFloatStrips makes those of a single plane. Same results.
[[nodiscard]] status::Status WritePlaneStrips(TIFF* tiff, const float* plane, std::uint32_t width, std::uint32_t height,
                                              std::uint32_t firstStrip, Compression compression);

}  // namespace encode
