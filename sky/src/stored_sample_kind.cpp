#include "sky/stored_sample_kind.h"

#include "sky/dem_tiff_tags.h"

#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace sky {

namespace {

StoredSampleKind TiffKind(const std::string& path) {
    StoredSampleKind kind;
    DemTiffTags tags;
    if (!ReadDemTiffTags(path, &tags)) return kind;
    const unsigned bits = tags.bitsPerSample, format = tags.sampleFormat;
    if (format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16)) kind.divisor = bits == 8 ? 255 : 65535;
    if (format == SAMPLEFORMAT_INT && (bits == 8 || bits == 16)) {
        kind.divisor = bits == 8 ? 127 : 32767;
        kind.isSigned = true;
    }
    kind.inexact = (bits == 32 && format != SAMPLEFORMAT_IEEEFP) || bits == 64;
    return kind;
}

// The maximum of a binary or plain PGM/PPM header.
StoredSampleKind NetpbmKind(std::ifstream& in) {
    StoredSampleKind kind;
    in.seekg(2);
    unsigned long fields[3] = {};
    for (auto& field : fields) {
        for (;;) {
            in >> std::ws;
            if (in.peek() != '#') break;
            std::string comment;
            std::getline(in, comment);
        }
        if (!(in >> field)) return kind;
    }
    if (fields[2] >= 1 && fields[2] <= 65535) kind.divisor = static_cast<std::uint32_t>(fields[2]);
    return kind;
}

std::string Extension(const std::string& path) {
    const auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return "";
    std::string e = path.substr(dot + 1);
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

}  // namespace

StoredSampleKind StoredSampleKindOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[26] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got >= 4 && ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))) return TiffKind(path);
    if (got >= 26 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G')
        return {head[24] == 16 ? 65535u : 255u, false, false};
    if (got >= 2 && head[0] == 'P' && (head[1] == '2' || head[1] == '3' || head[1] == '5' || head[1] == '6')) {
        in.clear();
        return NetpbmKind(in);
    }
    const std::string e = Extension(path);
    if (e == "r8") return {255, false, false};
    if (e == "r16" || e == "raw") return {65535, false, false};
    return {};
}

}  // namespace sky
