#pragma once
// A digital elevation model read from an image file at its own size.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "results/result_code.h"
#include "sky/dem_tiff_tags.h"
#include "skyline/sampling_model.h"

namespace sky {

// How stored samples become elevations: stored x scale + offset, as GIS tools read
// them; a stored value equal to `noData` (compared before scaling) or NaN is no data.
struct DemReading {
    double scale = 1;
    double offset = 0;
    std::optional<double> noData;
};

struct Dem {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<double> z;  // metres, packed rows, row 0 on top; NaN = no data
    std::uint64_t noDataTexels = 0;
    std::optional<DemTiffTags> tiff;  // for a TIFF: its georeferencing and GDAL no-data value
    skyline::Grid grid() const { return {width, height, z.data()}; }
};

// Reads the first channel of the image file at `path` (a regular file, looked at
// before anything opens it) through the project's image loaders, without
// resampling. The stored number is recovered from the loader's normalised value:
// 8 and 16-bit unsigned integers (TIFF, PNG, PGM, RAW) exactly, 8 and 16-bit
// signed integers (TIFF) exactly but that the one above the lowest reads as the
// lowest (-32767 as -32768, the value voids are stored as), and a no-data value of
// either matches both; floats as stored. Infinite elevations are no data too. A
// TIFF's GDAL no-data tag is used unless `reading` gives one; its pixel signs say
// how the grid lies (Dem::tiff).
// 32-bit integer and 64-bit float TIFF samples, which the loaders round to floats,
// and a GeoTIFF whose grid is rotated or sheared are refused. S_OK; the loader's
// results (E_FILE_NOT_FOUND, D3DXERR_INVALIDDATA, E_OUTOFMEMORY, ...) with `why`
// empty, or D3DXERR_INVALIDDATA with `why` saying what is refused (also "not a
// regular file, or empty"). Nothing escapes.
[[nodiscard]] HRESULT LoadDem(const std::string& path, const DemReading& reading, Dem* dem, std::string* why);

}  // namespace sky
