#pragma once
// The float outputs written through GDAL (GeoTIFF unless a driver is given), band
// by band, on the DEM's grid, CRS and no data, with the program's own items.
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "results/result_code.h"
#include "sky/dem.h"

namespace sky {

// GDAL's driver ("" for GeoTIFF) and creation options (KEY=VALUE), as given.
struct RasterOutputFormat {
    std::string driver;
    std::vector<std::string> options;
};

// Whether `path` is written by our own OpenEXR encoder: a .exr name with no driver given.
bool WritesOwnExr(const std::string& path, const RasterOutputFormat& format);

// Whether the format can write float rasters: S_OK; E_INVALIDARG or E_OUTOFMEMORY
// with one line on `err` saying why.
[[nodiscard]] HRESULT CheckRasterOutputFormat(const RasterOutputFormat& format, std::FILE* err);

// A raster of float bands (or Byte/UInt16 for `bits` 8/16) made at `path`, no data
// -9999, the DEM's georeferencing, each band's description and the dataset items
// `metadata` after the program's name. Each call returns S_OK, or reports its failure
// on `err` (the file named, GDAL's reason) and returns E_OUTOFMEMORY or E_FAIL; the
// file appears only when commit() succeeds, named on `out`.
class RasterOutputFile {
public:
    RasterOutputFile();
    ~RasterOutputFile();
    [[nodiscard]] HRESULT open(const std::string& path, const RasterOutputFormat& format, const Dem& dem,
                               const std::vector<std::string>& descriptions,
                               const std::vector<std::pair<std::string, std::string>>& metadata, std::FILE* err,
                               int bits = 32);
    [[nodiscard]] HRESULT writeBand(std::size_t band, const void* samples, std::FILE* err);
    [[nodiscard]] HRESULT commit(std::FILE* out, std::FILE* err);

private:
    struct Writer;
    std::unique_ptr<Writer> writer_;
    std::string path_;
};

}  // namespace sky
