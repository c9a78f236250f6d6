#pragma once
// Output files: which float format a name asks for, whether the names may be
// written, and writing one whole.
#include <cstdint>
#include <string>
#include <vector>

#include "results/result_code.h"

namespace exporter {

enum class FloatFormat : std::uint8_t { Unknown, Exr, Tiff };

// From the name's extension, case-insensitive: .exr; .tif or .tiff; Unknown for any
// other name.
FloatFormat FloatFormatOf(const std::string& path);

// Why an output name was refused.
struct OutputRefusal {
    std::string output;
    std::string input;  // the input file the output would replace; empty when the name itself is refused
};

// Looks at every name in `outputs` before the first is written, so that a refused
// name leaves every file as it was: each must be a name a save may take
// (ResolveSaveTarget), and none may lead to the same file as any of `inputs` (device
// and inode: any spelling, and links, lead to it). S_OK; otherwise the first
// refusal's result, E_ACCESSDENIED for an input, with its names in `refusal` (not
// null). Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] HRESULT CheckOutputNames(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                                       OutputRefusal* refusal);

// Writes `bytes` beside `path`, flushes them to disk and renames the file over
// `path`: a failure never leaves a partial file nor touches an older one.
// S_OK, or the result of the failing file operation (E_OUTOFMEMORY included).
[[nodiscard]] HRESULT WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace exporter
