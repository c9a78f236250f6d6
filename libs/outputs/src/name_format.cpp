#include "outputs/name_format.h"

#include <algorithm>
#include <cctype>

namespace outputs {

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

bool IsPngName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return extension == ".png";
}

}  // namespace outputs
