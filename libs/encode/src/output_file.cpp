#include "encode/output_file.h"

#include <algorithm>
#include <cctype>

#include "os/atomic_file.h"

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

status::Status WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    os::AtomicFile file;
    if (status::Status s = file.open(path); !s.ok()) return s;
    if (status::Status s = file.write(bytes.data(), bytes.size()); !s.ok()) return s;
    return file.commit();
}

}  // namespace encode
