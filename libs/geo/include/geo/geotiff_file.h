#pragma once
// A TIFF opened for reading as a GeoTIFF: libtiff knows GeoTIFF's tags and keeps
// its messages to itself, so that a file that is no TIFF is an answer, not a noise.
#include <memory>
#include <string>

#include "results/result_code.h"

typedef struct tiff TIFF;

namespace geo {

struct TiffCloser {
    void operator()(TIFF* tiff) const;
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Opens the file at `path` for reading into `tiff`. S_OK; S_FALSE (`tiff` empty)
// when it is no TIFF libtiff opens; E_OUTOFMEMORY; E_INVALIDARG for a null `tiff`.
// Nothing is printed. Any thread.
[[nodiscard]] HRESULT OpenGeoTiff(const std::string& path, TiffFile* tiff);

}  // namespace geo
