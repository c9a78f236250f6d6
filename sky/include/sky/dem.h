#pragma once
// A digital elevation model read from an image file at its own size.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sky/dem_tiff_tags.h"
#include "skyline/sampling_model.h"
#include "status/status.h"

namespace raster {
class RasterWindows;
}

namespace sky {

// How stored samples become elevations: stored x scale + offset, as GIS tools read
// them; a stored value equal to `noData` (compared before scaling) or NaN is no data.
// Each left out is the band's own, else 1, 0 and none.
struct DemReading {
    int band = 1;
    std::optional<double> scale;
    std::optional<double> offset;
    std::optional<double> noData;
};

struct Dem {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<double> z;  // metres, packed rows, row 0 on top; NaN = no data
    std::uint64_t noDataTexels = 0;
    // Its georeferencing and no-data value: for a TIFF as stored (copied to the
    // outputs), for other rasters what GDAL says (cells, orientation, CRS kind).
    std::optional<DemTiffTags> tiff;
    std::string crsWkt;  // GDAL's word for its CRS; empty: none
    std::optional<std::array<double, 6>> geotransform;
    std::vector<std::string> warnings;  // GDAL's, each naming the file
    skyline::Grid grid() const { return {width, height, z.data()}; }
};

// Reads band `reading.band` of the raster at `path` through GDAL, without
// resampling: every stored type exactly (Byte to Float64). A name GDAL takes that is
// no file (/vsizip/..., /vsicurl/...) is GDAL's to open; a file is looked at first
// and must be a regular one. What GDAL does not open (a headerless RAW height map)
// is read by the project's image loaders, the stored number recovered from their
// normalised value. Infinite elevations are no data too. The band's no-data value,
// scale and offset are used unless `reading` gives them; the geotransform's signs
// say how the grid lies (Dem::tiff). A grid rotated or sheared against its
// coordinates is refused. Ok; InvalidData with `why` saying what is wrong (GDAL's
// own reason; "not a regular file, or empty") and the status's reason naming the
// file; InvalidArgument with `why` for a band the raster does not have; OutOfMemory;
// the loaders' statuses for the others. Nothing escapes.
[[nodiscard]] status::Status LoadDem(const std::string& path, const DemReading& reading, Dem* dem, std::string* why);

// What GDAL's header says of a DEM's band: how its stored numbers become elevations
// and where its grid lies.
struct DemBandHeader {
    std::string type;  // GDAL's name of the stored type
    std::optional<double> scale, offset, noData;
    std::string crsWkt;
    std::optional<std::array<double, 6>> geotransform;
};

// What a DEM's header says, before its samples are read.
struct DemHeader {
    std::uint32_t width = 0, height = 0;
    DemTiffTags tags;                   // as Dem::tiff; cells and orientation unknown when not given
    std::optional<DemBandHeader> band;  // none: a RAW height map the loaders read
    // The band GDAL opened for the header, kept open for its samples, and its name.
    std::shared_ptr<raster::RasterWindows> opened;
    std::string path;
};

// The header of the DEM LoadDem would read, for checks made before it; false when
// it cannot be read (LoadDem then says why) or memory runs out. Opens no FIFO: a
// file that is not a regular one is false. A raster GDAL reads stays open in
// `header`, so that its samples are read without opening it again.
[[nodiscard]] bool ReadDemHeader(const std::string& path, const DemReading& reading, DemHeader* header);

// LoadDem of the DEM whose header `header` is (read by ReadDemHeader, not read
// again): its georeferencing, no data, scale and offset are the header's, its
// samples read from the band the header holds open when `path` is the header's;
// samples of another size or type (another file, or the file replaced since) are
// InvalidData, `why` "it changed while it was being read".
[[nodiscard]] status::Status LoadDem(const std::string& path, const DemReading& reading, const DemHeader* header,
                                     Dem* dem, std::string* why);

namespace detail {
struct DemWindowsState;
}

// The DEM whose header `header` is (one GDAL reads), kept open and read window by
// window: each window's elevations as LoadDem makes them, bit for bit.
class DemWindows {
public:
    DemWindows();
    ~DemWindows();
    DemWindows(const DemWindows&) = delete;
    DemWindows& operator=(const DemWindows&) = delete;
    // The header's open band when `path` is the header's, else the file opened anew.
    // Ok; InvalidData with `why` for a DEM GDAL does not read at the header's size
    // and type; InvalidArgument for a band it lacks; OutOfMemory.
    [[nodiscard]] status::Status open(const std::string& path, const DemReading& reading, const DemHeader& header,
                                      std::string* why);
    // The `width` x `height` texels from column `x`, row `y` into `tile` (its grid and
    // size; no georeferencing). Ok; InvalidData with `why`; OutOfMemory.
    [[nodiscard]] status::Status read(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height,
                                      Dem* tile, std::string* why);
    // GDAL's warnings met so far by open and read, in order, each naming the file.
    [[nodiscard]] const std::vector<std::string>& warnings() const;

private:
    std::unique_ptr<detail::DemWindowsState> state_;
};

}  // namespace sky
