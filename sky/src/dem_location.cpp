#include "sky/dem_location.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numbers>

namespace sky {

namespace {

constexpr double kRadians = std::numbers::pi / 180;
// Texels between the points PROJ places; those between are interpolated, which
// on any projection a DEM is kept in moves them by far less than a texel.
constexpr std::uint32_t kPlacedEvery = 16;

class GivenLatitude final : public DemLocation {
public:
    GivenLatitude(std::uint32_t width, double latitude) : width_(width), latitude_(latitude) {}
    bool knowsLongitude() const override { return false; }
    void locate(std::uint32_t, RowLocation* row) const override {
        row->latitude.assign(width_, latitude_);
        row->longitude.assign(width_, 0.0);
        row->gridNorth.assign(width_, 0.0);
    }

private:
    std::uint32_t width_;
    double latitude_;
};

// Latitudes, longitudes and north placed by PROJ on a coarse lattice of the grid,
// all rows, columns every kPlacedEvery and the last.
class Georeferenced final : public DemLocation {
public:
    Georeferenced(std::uint32_t width, std::vector<std::uint32_t> columns, std::vector<std::array<double, 3>> placed)
        : width_(width), columns_(std::move(columns)), placed_(std::move(placed)) {}
    bool knowsLongitude() const override { return true; }
    void locate(std::uint32_t y, RowLocation* row) const override {
        row->latitude.resize(width_);
        row->longitude.resize(width_);
        row->gridNorth.resize(width_);
        const std::array<double, 3>* r = &placed_[std::size_t{y} * columns_.size()];
        std::size_t k = 0;
        for (std::uint32_t x = 0; x < width_; ++x) {
            while (k + 2 < columns_.size() && columns_[k + 1] <= x) ++k;
            const std::size_t next = std::min(k + 1, columns_.size() - 1);
            const double span = columns_[next] - columns_[k];
            const double t = span > 0 ? (x - double(columns_[k])) / span : 0;
            row->latitude[x] = r[k][0] + (r[next][0] - r[k][0]) * t;
            row->longitude[x] = r[k][1] + (r[next][1] - r[k][1]) * t;
            row->gridNorth[x] = r[k][2] + std::remainder(r[next][2] - r[k][2], 2 * std::numbers::pi) * t;
        }
    }

private:
    std::uint32_t width_;
    std::vector<std::uint32_t> columns_;
    std::vector<std::array<double, 3>> placed_;  // latitude, longitude, north by row then column
};

struct DatasetCloser {
    void operator()(void* d) const { GDALClose(d); }
};
struct SrsReleaser {
    void operator()(void* s) const { OSRDestroySpatialReference(s); }
};
struct TransformDestroyer {
    void operator()(void* t) const { OCTDestroyCoordinateTransformation(t); }
};

status::Status NoGeoreferencing(const std::string& path, const std::string& what) {
    return status::Fail(status::Code::InvalidData,
                        path + ": " + what + ", so the sun's place is unknown: give --latitude in degrees");
}

// The coarse lattice of `path`'s texel centres placed on the earth.
status::Status Place(const std::string& path, std::uint32_t width, std::uint32_t height,
                     std::unique_ptr<DemLocation>* location) {
    GDALAllRegister();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    struct Pop {
        ~Pop() { CPLPopErrorHandler(); }
    } pop;
    const std::unique_ptr<void, DatasetCloser> dataset(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                                                  nullptr, nullptr, nullptr));
    if (!dataset) return NoGeoreferencing(path, "GDAL cannot open it");
    double gt[6];
    OGRSpatialReferenceH crs = GDALGetSpatialRef(dataset.get());
    if (GDALGetGeoTransform(dataset.get(), gt) != CE_None || !crs)
        return NoGeoreferencing(path, "it carries no georeferencing");
    if (GDALGetRasterXSize(dataset.get()) != static_cast<int>(width) ||
        GDALGetRasterYSize(dataset.get()) != static_cast<int>(height))
        return NoGeoreferencing(path, "GDAL reads it at another size");
    const std::unique_ptr<void, SrsReleaser> geographic(OSRCloneGeogCS(crs));
    if (!geographic) return NoGeoreferencing(path, "its coordinate system has no datum PROJ knows");
    OSRSetAxisMappingStrategy(geographic.get(), OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<void, TransformDestroyer> transform(
        OCTNewCoordinateTransformation(crs, geographic.get()));
    if (!transform) return NoGeoreferencing(path, "PROJ cannot turn its coordinates into latitudes");

    std::vector<std::uint32_t> columns;
    for (std::uint32_t x = 0; x < width; x += kPlacedEvery) columns.push_back(x);
    if (columns.back() != width - 1) columns.push_back(width - 1);
    const std::size_t n = columns.size();
    std::vector<std::array<double, 3>> placed(n * height);
    // Each point and a point a little along the map's own north, in the map's units.
    const double step = std::max(std::hypot(gt[1], gt[4]), std::hypot(gt[2], gt[5])) / 4;
    std::vector<double> px(2 * n), py(2 * n);
    std::vector<int> ok(2 * n);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::size_t k = 0; k < n; ++k) {
            const double col = columns[k] + 0.5, line = y + 0.5;
            px[k] = px[n + k] = gt[0] + col * gt[1] + line * gt[2];
            py[k] = gt[3] + col * gt[4] + line * gt[5];
            py[n + k] = py[k] + step;
        }
        if (!OCTTransformEx(transform.get(), static_cast<int>(2 * n), px.data(), py.data(), nullptr, ok.data()) ||
            std::find(ok.begin(), ok.end(), 0) != ok.end())
            return NoGeoreferencing(path, "PROJ cannot place some of its texels on the earth");
        for (std::size_t k = 0; k < n; ++k) {
            const double lat = py[k], lon = px[k];
            const double dNorth = py[n + k] - lat;
            const double dEast = std::remainder(px[n + k] - lon, 360.0) * std::cos(lat * kRadians);
            placed[std::size_t{y} * n + k] = {lat, lon, std::atan2(dEast, dNorth)};
        }
    }
    *location = std::make_unique<Georeferenced>(width, std::move(columns), std::move(placed));
    return status::Ok();
}

}  // namespace

status::Status LocateDem(const std::string& path, std::uint32_t width, std::uint32_t height,
                         std::optional<double> latitude, std::unique_ptr<DemLocation>* location) {
    try {
        if (latitude) {
            *location = std::make_unique<GivenLatitude>(width, *latitude);
            return status::Ok();
        }
        return Place(path, width, height, location);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace sky
