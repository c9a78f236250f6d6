#pragma once
// Where a raster lies on the earth, as a GeoTIFF tells it: its coordinate system
// (the GeoKeys as libgeotiff gives them), its geotransform and GDAL's no-data text;
// read from a file, and written into a TIFF made from it at another size.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "status/status.h"

typedef struct tiff TIFF;

namespace geo {

// One GeoKey: a code (SHORT), numbers (DOUBLE) or a text (ASCII).
struct GeoKey {
    enum class Type : std::uint8_t { Short, Double, Ascii };
    std::uint16_t id = 0;
    Type type = Type::Short;
    std::vector<double> numbers;  // Short and Double
    std::string text;             // Ascii, without the closing '|'
};

// GeoTIFF's tags as the file stores them, for a copy onto a file of the same grid.
struct StoredGeoTiffTags {
    std::vector<double> pixelScale, tiepoints, transformation;  // 33550, 33922, 34264
    std::vector<std::uint16_t> keyDirectory;                    // 34735; empty: no GeoKeys
    std::vector<double> doubleParams;                           // 34736
    std::string asciiParams;                                    // 34737
    bool empty() const { return keyDirectory.empty(); }
};

struct Georeferencing {
    bool present = false;     // the file has GeoKeys or a geotransform
    std::uint32_t width = 0;  // the raster it describes, in texels
    std::uint32_t height = 0;
    std::vector<GeoKey> keys;  // in the file's order
    bool hasGeotransform = false;
    // GDAL's order: x0, dx/column, dx/row, y0, dy/column, dy/row, for the outer
    // corner of the first texel (a PixelIsPoint file's tie point moved half a texel).
    std::array<double, 6> geotransform{0, 1, 0, 0, 0, 1};
    double pixelWidth = 0;  // the length of a texel's sides in the model's units
    double pixelHeight = 0;
    int modelType = 0;        // GTModelTypeGeoKey: 1 projected, 2 geographic, 3 geocentric; 0 not given
    bool geographic = false;  // GTModelTypeGeoKey says latitude and longitude
    // A texel's sides in metres, for a projected model with a geotransform whose
    // linear unit is the metre (when not given) or a foot; absent otherwise.
    std::optional<double> cellX, cellY;
    int epsg = 0;        // the projected, else the geographic EPSG code; 0: none or user-defined
    std::string noData;  // GDAL_NODATA as written; empty when absent
    StoredGeoTiffTags stored;
};

// Reads the georeferencing of the image file at `path` into `out` (not null). Ok
// with `present` false for a file that is no TIFF, or a TIFF without GeoTIFF tags:
// most height maps have none. InvalidData ("PATH: its GeoKeys cannot be parsed");
// OutOfMemory. Nothing is printed.
status::Status ReadGeoreferencing(const std::string& path, Georeferencing* out);

// The same for `tiff` (not null), open for reading by OpenGeoTiff
// (geo/geotiff_file.h). `out` is left as it was on failure.
status::Status ReadGeoreferencing(TIFF* tiff, Georeferencing* out);

// The geotransform of the same extent split into `width` x `height` texels.
// `width` and `height` above 0.
std::array<double, 6> ScaledGeotransform(const Georeferencing& geo, std::uint32_t width, std::uint32_t height);

// Copies `stored` (nothing when empty) into the directory of `tiff` (not null), open
// for writing, as they are: for a file of the same grid. Ok; Failed when libtiff
// refuses a tag or an array is longer than TIFF counts.
status::Status WriteStoredTags(TIFF* tiff, const StoredGeoTiffTags& stored);

// Writes `geo` (present) into the directory of `tiff`, open for writing, for an
// image of `width` x `height` texels over the same extent: its GeoKeys (the raster
// type as PixelIsArea; a SHORT key of several values, which libgeotiff cannot set, is
// left out) and its scaled geotransform (tie point and pixel scale, or a
// transformation matrix when the grid is rotated). `tiff` not null, the size above
// 0. Ok; Failed when libtiff or libgeotiff refuse.
status::Status WriteGeoreferencing(TIFF* tiff, const Georeferencing& geo, std::uint32_t width, std::uint32_t height);

}  // namespace geo
