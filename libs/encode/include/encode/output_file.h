#pragma once
// Output files: which float format a name asks for, and writing one whole.
#include <cstdint>
#include <string>
#include <vector>

#include "status/status.h"

namespace encode {

enum class FloatFormat : std::uint8_t { Unknown, Exr, Tiff };

// From the name's extension, case-insensitive: .exr; .tif or .tiff; Unknown for any
// other name.
FloatFormat FloatFormatOf(const std::string& path);

// Writes `bytes` beside `path`, flushes them to disk and renames the file over
// `path`: a failure never leaves a partial file nor touches an older one.
// Ok, or the failing file operation's status (its reason names the file; out of
// memory included).
[[nodiscard]] status::Status WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace encode
