#include "encode/output_file.h"

#include <algorithm>
#include <cctype>

#include "os/atomic_file.h"
#include "results/status_result.h"

namespace encode {

FloatFormat FloatFormatOf(const std::string& path) {
    const auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return FloatFormat::Unknown;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "exr") return FloatFormat::Exr;
    if (extension == "tif" || extension == "tiff") return FloatFormat::Tiff;
    return FloatFormat::Unknown;
}

HRESULT WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    os::AtomicFile file;
    if (const HRESULT hr = ResultOfStatus(file.open(path)); hr != S_OK) return hr;
    if (const HRESULT hr = ResultOfStatus(file.write(bytes.data(), bytes.size())); hr != S_OK) return hr;
    return ResultOfStatus(file.commit());
}

}  // namespace encode
