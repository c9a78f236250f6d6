#pragma once
// The float outputs written through GDAL (GeoTIFF unless a driver is given), band
// by band, on the DEM's grid, CRS and no data, with the program's own items.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sky/dem.h"
#include "status/status.h"

namespace sky {

// GDAL's driver ("" for GeoTIFF) and creation options (KEY=VALUE), as given.
struct RasterOutputFormat {
    std::string driver;
    std::vector<std::string> options;
};

// Whether `path` is written by our own OpenEXR encoder: a .exr name with no driver given.
bool WritesOwnExr(const std::string& path, const RasterOutputFormat& format);

// Whether the format can write float rasters: Ok, or GDAL's refusal (OutOfMemory
// among them) with one line on `err` saying why.
[[nodiscard]] status::Status CheckRasterOutputFormat(const RasterOutputFormat& format, std::FILE* err);

// A raster of float bands (or Byte/UInt16 for `bits` 8/16) made at `path`, no data
// -9999, the DEM's georeferencing, each band's description and the dataset items
// `metadata` after the program's name. Each call returns Ok, or reports its failure
// on `err` (the file named, GDAL's reason) and returns it; the file appears only
// when commit() succeeds, named on `out`.
class RasterOutputFile {
public:
    RasterOutputFile();
    ~RasterOutputFile();
    [[nodiscard]] status::Status open(const std::string& path, const RasterOutputFormat& format, const Dem& dem,
                                      const std::vector<std::string>& descriptions,
                                      const std::vector<std::pair<std::string, std::string>>& metadata, std::FILE* err,
                                      int bits = 32);
    [[nodiscard]] status::Status writeBand(std::size_t band, const void* samples, std::FILE* err);
    // A window of a band (raster::RasterWriter::writeWindow): a band is whole once
    // its windows cover it.
    [[nodiscard]] status::Status writeWindow(std::size_t band, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                             std::uint32_t height, const void* samples, std::FILE* err);
    [[nodiscard]] status::Status commit(std::FILE* out, std::FILE* err);

private:
    struct Writer;
    std::unique_ptr<Writer> writer_;
    std::string path_;
};

}  // namespace sky
