#pragma once
// Output files: which float format a name asks for, and writing one whole.
#include <cstdint>
#include <string>
#include <vector>

#include "results/result_code.h"

namespace encode {

enum class FloatFormat : std::uint8_t { Unknown, Exr, Tiff };

// From the name's extension, case-insensitive: .exr; .tif or .tiff; Unknown for any
// other name.
FloatFormat FloatFormatOf(const std::string& path);

// Writes `bytes` beside `path`, flushes them to disk and renames the file over
// `path`: a failure never leaves a partial file nor touches an older one.
// S_OK, or the result of the failing file operation (E_OUTOFMEMORY included).
[[nodiscard]] HRESULT WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace encode
