#pragma once
// A raster written through GDAL by any driver that makes files, band by band, that
// appears under its name whole or not at all.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "status/status.h"

namespace raster {

enum class SampleType : std::uint8_t { Byte, UInt16, Float32 };

// How a raster is written: GDAL's driver and its creation options.
struct RasterFormat {
    std::string driver;                // GDAL's short name; empty: "GTiff"
    std::vector<std::string> options;  // KEY=VALUE, as gdal_translate's -co takes them
};

// What a raster holds besides its samples.
struct RasterLayout {
    std::uint32_t width = 0, height = 0;
    SampleType type = SampleType::Float32;
    std::vector<std::string> descriptions;  // one per band, which makes the band count
    std::optional<double> noData;           // every band's
    std::string crsWkt;                     // empty: none
    std::optional<std::array<double, 6>> geotransform;
    std::vector<std::pair<std::string, std::string>> metadata;  // the dataset's items
};

// Whether `format` can write samples of `type`: the driver is known, makes files (by
// Create, or by CreateCopy from a staged GeoTIFF) of that type, every option is
// KEY=VALUE and one the driver takes with a value it takes. Ok; InvalidArgument with
// one line saying what is wrong ("no GDAL raster driver is named X", "GDAL's X
// driver: GDAL's words"); OutOfMemory.
status::Status CheckRasterFormat(const RasterFormat& format, SampleType type);

// The creation options a write of `format` uses for `type`: for GTiff tiled, ZSTD (level 1)
// with the predictor that suits the type, one band after another; for COG the same
// compression on every core; then the options
// given, which win. RasterWriter adds NUM_THREADS=ALL_CPUS to a GeoTIFF of more than
// one tile unless NUM_THREADS is given. Exhausted memory escapes as std::bad_alloc.
std::vector<std::string> CreationOptions(const RasterFormat& format, SampleType type);

// Written under a hidden name beside the target (the file a symbolic link leads
// to), renamed into place by commit() with any sidecar GDAL makes; abandoned, it
// leaves nothing. GDAL prints nothing: its errors are the reasons, its warnings
// kept. Each call returns Ok or a failure whose reason names the file; after a
// failure only the destructor is meaningful. Not for use from two threads at once.
class RasterWriter {
public:
    RasterWriter();
    ~RasterWriter();  // abandons a raster not committed
    RasterWriter(const RasterWriter&) = delete;
    RasterWriter& operator=(const RasterWriter&) = delete;

    // Starts the raster for `path`. InvalidArgument for a format CheckRasterFormat
    // refuses or no bands; the target's refusal (AccessDenied, PathNotFound, ...);
    // Failed with GDAL's reason; OutOfMemory.
    status::Status open(const std::string& path, const RasterFormat& format, const RasterLayout& layout);
    // Band `band` (from 0) of packed rows of the layout's type, row 0 on top.
    // InvalidArgument for a band out of range or given twice; Failed; OutOfMemory.
    status::Status writeBand(std::size_t band, const void* samples);
    // The rectangle of `width` x `height` texels from column `x`, row `y` of band
    // `band`, packed rows of the layout's type; a band is whole once its windows,
    // which must not overlap, cover it. InvalidArgument for a band or window out of
    // range, or more texels than the band holds; Failed; OutOfMemory.
    status::Status writeWindow(std::size_t band, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                               std::uint32_t height, const void* samples);
    // Once every band is written: finishes the raster (CreateCopy for a driver that
    // only copies), flushes it to disk and renames it into place. InvalidArgument
    // when a band is missing; Failed; OutOfMemory.
    status::Status commit();

    // GDAL's warnings met so far, each "PATH: text".
    const std::vector<std::string>& warnings() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Bytes GDAL's block cache may hold for the whole process (reads and writes), so
// that a raster written window by window holds no more than that of it.
void SetBlockCacheBytes(std::uint64_t bytes);

}  // namespace raster
