#pragma once
// Decoding on one thread, while another converts or resamples the rows already decoded.
#include <cstdint>

#include "image/row_source.h"

namespace image {

// Takes the rows of an image, in order, top row first.
class RowSink {
public:
    virtual ~RowSink() = default;
    // `count` packed rows in the source's native layout. Must not throw.
    virtual void putRows(const std::uint8_t* rows, std::uint32_t count) = 0;
};

// Feeds every row of `source` to `sink`. Returns the source's first failure, or
// OutOfMemory when the band buffers do not fit.
[[nodiscard]] status::Status PumpRows(RowSource& source, RowSink& sink);

}  // namespace image
