#pragma once
// The image-file side of texture loading.
#include <atomic>
#include <cstdint>

#include "status/status.h"

namespace image {

// Decodes the image file at `path` (the bytes of the name, as given) and writes it,
// scaled to width x height, as float RGBA texels in packed rows into `texels`
// (width * height * 4 floats, row 0 = the image's top row). The format is found
// from the content; only headerless RAW height maps are told by the name's extension
// (.raw, .r16, .r32, .r8), when the content is no other format's. An image of
// exactly width x height is copied unfiltered.
// Results: Ok; InvalidData for anything that cannot be decoded (unknown
// format, corrupt, truncated, empty, not a regular file); NotFound,
// PathNotFound or AccessDenied when the file cannot be opened; OutOfMemory
// when the decoded image would not fit in memory (checked before allocating it);
// InvalidArgument for a null `path` or `texels` or a zero size. `texels` is left
// unspecified on failure. Nothing escapes: exhausted memory is OutOfMemory.
[[nodiscard]] status::Status LoadImageScaled(const char* path, std::uint32_t width, std::uint32_t height,
                                             float* texels);

// As LoadImageScaled, keeping only each texel's red: `values` holds width * height
// floats, the red that LoadImageScaled would give, bit for bit. `rowsLoaded`, when
// given, is raised to r + 1 (released, then notified) as soon as rows 0 to r are
// written, so that another thread can read them while the rest decode; on failure
// it may stop short of `height`.
[[nodiscard]] status::Status LoadImageScaledRed(const char* path, std::uint32_t width, std::uint32_t height,
                                                float* values, std::atomic<std::uint32_t>* rowsLoaded = nullptr);

}  // namespace image
