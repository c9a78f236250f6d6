#pragma once
// Where decoded rows end up: float RGBA texels of the requested size.
#include <atomic>
#include <cstdint>
#include <memory>

#include "image/row_source.h"
#include "row_pipeline.h"

namespace image {

// A sink writing `width` x `height` RGBA texels (packed rows) to `texels`, or only
// their red values when `redOnly`: a plain conversion when the image has that size,
// else the resampler. `loaded`, when given, counts the rows written (TexelRows).
// OutOfMemory when its working rows do not fit.
[[nodiscard]] status::Status MakeTexelSink(const ImageInfo& info, std::uint32_t width, std::uint32_t height,
                                           float* texels, std::unique_ptr<RowSink>* sink, bool redOnly = false,
                                           std::atomic<std::uint32_t>* loaded = nullptr);

}  // namespace image
