#include "sky/dem.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "image/decode_image.h"
#include "image/image_file.h"
#include "raster/raster_band.h"
#include "sky/stored_sample_kind.h"

namespace sky {

namespace {

constexpr const char* kRotated =
    "its grid is rotated or sheared against its coordinates; warp it onto a north-up grid first (gdalwarp)";

// GDAL's virtual file systems: names, not files.
bool IsGdalName(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

// The no-data values of a band: signed 16-bit voids are stored as -32768 or -32767,
// and either named matches both.
struct NoData {
    std::optional<double> value, twin;
};

NoData NoDataOf(const std::optional<double>& value, bool int16) {
    if (!int16 || !value || (*value != -32768 && *value != -32767)) return {value, std::nullopt};
    return {value, *value == -32768 ? -32767.0 : -32768.0};
}

bool Missing(double stored, const NoData& noData) {
    return stored != stored || (noData.value && stored == *noData.value) || (noData.twin && stored == *noData.twin);
}

// How stored numbers become elevations.
struct Elevations {
    NoData noData;
    double scale = 1, offset = 0;
};

// Elevations in place of the stored numbers; counts what is no data.
void ToElevations(const Elevations& e, Dem* dem) {
    dem->noDataTexels = 0;
    for (double& z : dem->z) {
        const double elevation = z * e.scale + e.offset;
        z = Missing(z, e.noData) || !std::isfinite(elevation) ? std::nan("") : elevation;
        if (z != z) ++dem->noDataTexels;
    }
}

void ToElevations(const NoData& noData, double scale, double offset, Dem* dem) {
    ToElevations(Elevations{noData, scale, offset}, dem);
}

// The band's own words, unless the command line gives its own.
Elevations ElevationsOf(const DemReading& reading, const DemBandHeader& described) {
    return {NoDataOf(reading.noData ? reading.noData : described.noData, described.type == "Int16"),
            reading.scale.value_or(described.scale.value_or(1)), reading.offset.value_or(described.offset.value_or(0))};
}

// What GDAL says of a grid that is no TIFF libgeotiff reads.
DemTiffTags TagsFromGdal(const raster::RasterBand& band) {
    DemTiffTags tags;
    tags.gdalNoData = band.noData;
    tags.modelType = band.geographic ? 2 : band.projected ? 1 : 0;
    if (band.geotransform) {
        const auto& gt = *band.geotransform;
        tags.west = gt[0];
        tags.north = gt[3];
        tags.columnsRunWest = gt[1] < 0;
        tags.rowsRunNorth = gt[5] > 0;
        tags.rotated = gt[2] != 0 || gt[4] != 0;
        if (band.projected) {
            tags.cellX = std::fabs(gt[1]) * band.metresPerUnit;
            tags.cellY = std::fabs(gt[5]) * band.metresPerUnit;
        }
    }
    return tags;
}

// A geographic grid's rows on the CRS's ellipsoid, and its cells in metres at its
// centre latitude. Nothing for a grid that is not geographic or is rotated.
void TakeGeographicCells(const raster::RasterBand& band, DemTiffTags* tags) {
    if (!band.geographic || !band.geotransform || tags->rotated || band.radiansPerUnit <= 0 || band.semiMajor <= 0)
        return;
    const auto& gt = *band.geotransform;
    const double f = band.inverseFlattening > 0 ? 1 / band.inverseFlattening : 0;
    const LatitudeGrid grid{gt[3], gt[5], gt[1], band.radiansPerUnit, band.semiMajor, f * (2 - f)};
    if (!WithinPoles(grid, 0, band.height)) {
        tags->crossesPole = true;
        return;
    }
    const RowCells cells = CellsOfRows(grid, 0, band.height);
    tags->latitudes = grid;
    tags->cellX = cells.cellX;
    tags->cellY = cells.cellY;
    tags->geographicSpread = cells.spread;
}

// GDAL's georeferencing of a raster that is no GeoTIFF, as the GeoTIFF keys the
// outputs copy: read back from a stub GeoTIFF GDAL writes. None when it cannot.
encode::GeoTiffTags StoredTagsOf(const raster::RasterBand& band) {
    if (!band.geotransform && band.crsWkt.empty()) return {};
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/umbrascope-sky-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return {};
    close(fd);
    DemTiffTags tags;
    const bool read = raster::WriteGeoreferencingStub(band, path).ok() && ReadDemTiffTags(path, &tags);
    unlink(path.c_str());
    return read ? tags.geo : encode::GeoTiffTags{};
}

// The grid's georeferencing: a TIFF's tags as stored, else what GDAL says.
DemTiffTags TagsOf(const std::string& path, const raster::RasterBand& band) {
    DemTiffTags tags;
    if (!ReadDemTiffTags(path, &tags)) {
        tags = TagsFromGdal(band);
        tags.geo = StoredTagsOf(band);
    }
    TakeGeographicCells(band, &tags);
    return tags;
}

// The raster's own words, without the file's name the caller puts before them.
std::string WithoutPath(const std::string& path, const std::string& reason) {
    const std::string prefix = path + ": ";
    return reason.rfind(prefix, 0) == 0 ? reason.substr(prefix.size()) : reason;
}

// A failure of the raster library's as the load reports it: out of memory and a
// band the raster lacks as they are, anything else invalid data; the reason kept.
status::Status AsRefusal(status::Status refused) {
    if (refused.code != status::Code::OutOfMemory && refused.code != status::Code::InvalidArgument)
        refused.code = status::Code::InvalidData;
    return refused;
}

// Invalid data, for the reason in `why`.
status::Status Refused(const std::string& path, const std::string& why) {
    return status::Fail(status::Code::InvalidData, path + ": " + why);
}

// The loaders clamp the lowest signed value onto the one above it, so -1 stands
// for both.
bool Folded(float value, const StoredSampleKind& kind) { return kind.divisor != 0 && kind.isSigned && value == -1.0f; }

// The stored number behind a loaded value.
double Stored(float value, const StoredSampleKind& kind) {
    if (kind.divisor == 0 || value != value) return value;
    if (Folded(value, kind)) return -static_cast<double>(kind.divisor) - 1;
    return std::nearbyint(static_cast<double>(value) * kind.divisor);
}

// A height map no GDAL driver takes (RAW), through the project's loaders.
status::Status LoadThroughLoaders(const std::string& path, const DemReading& reading, Dem* dem) {
    const StoredSampleKind kind = StoredSampleKindOf(path);
    image::DecodedImage decoded;
    if (const status::Status decodedOk = image::DecodeImageFile(path.c_str(), &decoded); !decodedOk.ok())
        return decodedOk;
    const std::size_t texels = std::size_t{decoded.width} * decoded.height;
    dem->z.resize(texels);
    for (std::size_t i = 0; i < texels; ++i) dem->z[i] = Stored(decoded.texels[i * 4], kind);
    dem->width = decoded.width;
    dem->height = decoded.height;
    ToElevations(NoDataOf(reading.noData, false), reading.scale.value_or(1), reading.offset.value_or(0), dem);
    return status::Ok();
}

// Invalid data: the DEM read is not the one whose header was judged.
status::Status Changed(const std::string& path, std::string* why) {
    *why = "it changed while it was being read";
    return Refused(path, *why);
}

// Reads the DEM; with `header`, the one ReadDemHeader read: its route, georeferencing,
// no data, scale and offset are used, and samples of another size or type refused.
status::Status Load(const std::string& path, const DemReading& reading, const DemHeader* header, Dem* dem,
                    std::string* why) {
    // GDAL opens files by their name; a FIFO would block it. The header's open band needs no look.
    if (!IsGdalName(path) && !(header != nullptr && header->opened && header->path == path)) {
        if (status::Status opened = image::ImageFile().open(path.c_str()); !opened.ok()) {
            if (opened.code != status::Code::InvalidData) return opened;
            *why = "not a regular file, or empty";
            return Refused(path, *why);
        }
        bool identified = header != nullptr && header->band;
        if (header == nullptr)
            if (const status::Status asked = raster::GdalIdentifies(path, &identified); !asked.ok())
                return AsRefusal(asked);
        if (!identified) {
            status::Status loaded = LoadThroughLoaders(path, reading, dem);
            if (loaded.ok() && header != nullptr && (dem->width != header->width || dem->height != header->height))
                return Changed(path, why);
            if (loaded.code != status::Code::InvalidData) return loaded;
            *why = "no GDAL driver recognises it, and it is no RAW height map";
            return Refused(path, *why);
        }
    }
    raster::RasterBand band;
    const bool opened = header != nullptr && header->opened && header->path == path;
    status::Status read = opened ? status::Ok() : raster::ReadRasterBand(path, reading.band, true, &band);
    if (opened) {
        band = header->opened->header();
        read = header->opened->read(0, 0, band.width, band.height, &band.values);
        band.warnings = header->opened->warnings();
    }
    if (!read.ok()) {
        *why = WithoutPath(path, read.reason);
        return AsRefusal(std::move(read));
    }
    if (header != nullptr && (!header->band || band.width != header->width || band.height != header->height ||
                              band.type != header->band->type))
        return Changed(path, why);
    const DemBandHeader described =
        header != nullptr ? *header->band : DemBandHeader{band.type,   band.scale,  band.offset,
                                                          band.noData, band.crsWkt, band.geotransform};
    dem->warnings = std::move(band.warnings);
    dem->crsWkt = described.crsWkt;
    dem->geotransform = described.geotransform;
    dem->tiff = header != nullptr ? header->tags : TagsOf(path, band);
    if (dem->tiff->rotated) {
        *why = kRotated;
        return Refused(path, *why);
    }
    dem->width = band.width;
    dem->height = band.height;
    dem->z = std::move(band.values);
    ToElevations(ElevationsOf(reading, described), dem);
    return status::Ok();
}

}  // namespace

bool ReadDemHeader(const std::string& path, const DemReading& reading, DemHeader* header) {
    try {
        if (!IsGdalName(path)) {
            if (!image::ImageFile().open(path.c_str()).ok()) return false;
            bool identified = false;
            if (!raster::GdalIdentifies(path, &identified).ok()) return false;
            if (!identified) {
                image::ImageInfo info;
                if (!image::ReadImageInfo(path.c_str(), &info).ok()) return false;
                *header = DemHeader{};
                header->width = info.width;
                header->height = info.height;
                header->path = path;
                return true;
            }
        }
        auto opened = std::make_shared<raster::RasterWindows>();
        if (!opened->open(path, reading.band).ok()) return false;
        const raster::RasterBand& band = opened->header();
        *header =
            DemHeader{band.width,
                      band.height,
                      TagsOf(path, band),
                      DemBandHeader{band.type, band.scale, band.offset, band.noData, band.crsWkt, band.geotransform},
                      opened,
                      path};
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

status::Status LoadDem(const std::string& path, const DemReading& reading, Dem* dem, std::string* why) {
    return LoadDem(path, reading, nullptr, dem, why);
}

status::Status LoadDem(const std::string& path, const DemReading& reading, const DemHeader* header, Dem* dem,
                       std::string* why) {
    if (dem == nullptr || why == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    *dem = Dem{};
    why->clear();
    try {
        return Load(path, reading, header, dem, why);
    } catch (const std::bad_alloc&) {
        *dem = Dem{};
        return status::OutOfMemory();
    }
}

namespace detail {
struct DemWindowsState {
    std::string path;
    std::shared_ptr<raster::RasterWindows> raster;
    Elevations elevations;
};
}  // namespace detail

DemWindows::DemWindows() = default;
DemWindows::~DemWindows() = default;

status::Status DemWindows::open(const std::string& path, const DemReading& reading, const DemHeader& header,
                                std::string* why) {
    try {
        state_ = std::make_unique<detail::DemWindowsState>();
        if (!header.band) {
            *why = "a run in tiles reads the DEM through GDAL, which does not read this one";
            return Refused(path, *why);
        }
        if (header.tags.rotated) {
            *why = kRotated;
            return Refused(path, *why);
        }
        state_->path = path;
        state_->elevations = ElevationsOf(reading, *header.band);
        if (header.opened && header.path == path) {
            state_->raster = header.opened;
        } else {
            state_->raster = std::make_shared<raster::RasterWindows>();
            if (status::Status opened = state_->raster->open(path, reading.band); !opened.ok()) {
                *why = WithoutPath(path, opened.reason);
                return AsRefusal(std::move(opened));
            }
        }
        const raster::RasterBand& band = state_->raster->header();
        if (band.width != header.width || band.height != header.height || band.type != header.band->type)
            return Changed(path, why);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

const std::vector<std::string>& DemWindows::warnings() const {
    static const std::vector<std::string> none;
    return state_ && state_->raster ? state_->raster->warnings() : none;
}

status::Status DemWindows::read(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height, Dem* tile,
                                std::string* why) {
    if (!state_) return status::Fail(status::Code::InvalidArgument, {});
    try {
        if (status::Status read = state_->raster->read(x, y, width, height, &tile->z); !read.ok()) {
            *why = WithoutPath(state_->path, read.reason);
            return AsRefusal(std::move(read));
        }
        tile->width = width;
        tile->height = height;
        ToElevations(state_->elevations, tile);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace sky
