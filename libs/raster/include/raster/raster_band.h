#pragma once
// One band of a raster read through GDAL, as stored: numbers of any GDAL type held
// as doubles (exact for every integer type up to 32 bits and both float types),
// with what the band and its dataset say about them.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "status/status.h"

namespace raster {

struct RasterBand {
    std::uint32_t width = 0, height = 0;
    int bands = 0;                        // in the dataset
    std::string driver;                   // GDAL's short name: "GTiff", "SRTMHGT", "VRT", ...
    std::string type;                     // GDAL's name of the stored type: "Int16", "Float32", ...
    std::vector<double> values;           // packed rows, row 0 on top; empty when only the header was read
    std::optional<double> scale, offset;  // the band's own, when it gives them
    std::optional<double> noData;
    std::optional<std::array<double, 6>> geotransform;
    bool geographic = false;  // the CRS is geographic (degrees)
    bool projected = false;
    double metresPerUnit = 1;  // of a projected CRS's linear unit
    // A geographic CRS's angular unit and ellipsoid (inverse flattening 0: a sphere).
    double radiansPerUnit = 0, semiMajor = 0, inverseFlattening = 0;
    std::string crsWkt;                 // empty: none
    std::vector<std::string> warnings;  // GDAL's, in order, each "PATH: text"
};

// Opens `path` read-only with GDAL, by any name it takes (a file, a VRT,
// /vsizip/...), and reads band `band` (from 1); with `samples` false, only what the
// header says. GDAL prints nothing: its errors become the reason, its warnings
// `warnings`. Ok; InvalidData with "PATH: GDAL's reason" when GDAL cannot open or
// read it; OutOfMemory also when GDAL fails without a word or for memory; InvalidArgument when `band` is not one of the
// dataset's ("PATH has 1 band: band 2 does not exist"); OutOfMemory when the samples do not fit the memory the process
// has. Exhausted memory while making a reason escapes as std::bad_alloc.
status::Status ReadRasterBand(const std::string& path, int band, bool samples, RasterBand* out);

// Writes at `path` a GeoTIFF of 1 x 1 texels carrying `band`'s CRS and
// geotransform, so that its GeoTIFF keys can be copied into files of the band's
// grid. Ok; Failed with GDAL's reason when GDAL cannot write it; OutOfMemory.
status::Status WriteGeoreferencingStub(const RasterBand& band, const std::string& path);

// Whether one of GDAL's drivers takes `path` as its own, by its name or first
// bytes, in `identified`. Ok; OutOfMemory.
status::Status GdalIdentifies(const std::string& path, bool* identified);

// One band of a raster kept open to be read window by window, as stored.
class RasterWindows {
public:
    RasterWindows();
    ~RasterWindows();
    RasterWindows(const RasterWindows&) = delete;
    RasterWindows& operator=(const RasterWindows&) = delete;
    // Opens `path` read-only and band `band` (from 1) of it, and reads what its
    // header says. Ok; the failures of ReadRasterBand.
    status::Status open(const std::string& path, int band);
    // What the header says (no samples, no warnings); empty before open succeeds.
    const RasterBand& header() const;
    // The rectangle of `width` x `height` texels from column `x`, row `y` as doubles,
    // packed rows, into `values` (resized). Ok; InvalidArgument for a window outside
    // the raster; InvalidData with GDAL's reason; OutOfMemory, also when the window
    // does not fit the memory the process has.
    status::Status read(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height,
                        std::vector<double>* values);
    // GDAL's warnings met so far by open and read, in order, each "PATH: text".
    const std::vector<std::string>& warnings() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace raster
