#pragma once
// What the decoders say of a file they cannot read: InvalidData with the reason,
// without the file's name, which the loader puts in front.
#include <cstdint>
#include <string>

#include "status/status.h"

namespace image {

// InvalidData for `reason`, e.g. "not a PNG file libpng reads". Exhausted memory
// escapes as std::bad_alloc.
inline status::Status BadData(std::string reason) {
    return status::Fail(status::Code::InvalidData, std::move(reason));
}

// The image's rows broke off: "`format` data `how` after row `rows` of `height`",
// e.g. "PNG data ends after row 812 of 4096" (`rows` read whole before it).
// Exhausted memory escapes as std::bad_alloc.
inline status::Status RowsBrokenAfter(const char* format, const char* how, std::uint64_t rows,
                                      std::uint64_t height) {
    return BadData(std::string(format) + " data " + how + " after row " + std::to_string(rows) + " of " +
                   std::to_string(height));
}

// The file is shorter than the data its header announces.
inline status::Status CutShort(const char* format) {
    return BadData(std::string(format) + " file is shorter than the image its header describes");
}

// `failure` with "`path`: " before its reason, when it has one. Exhausted memory
// escapes as std::bad_alloc.
inline status::Status InFile(status::Status failure, const char* path) {
    if (!failure.reason.empty()) failure.reason = std::string(path) + ": " + failure.reason;
    return failure;
}

}  // namespace image
