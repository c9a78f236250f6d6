#pragma once
// A TIFF opened for reading as a GeoTIFF: libtiff knows GeoTIFF's tags and keeps
// its messages to itself, so that a file that is no TIFF is an answer, not a noise.
#include <memory>
#include <string>

#include "status/status.h"

typedef struct tiff TIFF;

namespace geo {

struct TiffCloser {
    void operator()(TIFF* tiff) const;
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Opens the file at `path` for reading into `tiff` (not null). Ok; InvalidData
// ("PATH: no TIFF libtiff opens", `tiff` empty); OutOfMemory. Nothing is printed.
// Any thread.
status::Status OpenGeoTiff(const std::string& path, TiffFile* tiff);

}  // namespace geo
