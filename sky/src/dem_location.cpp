#include "sky/dem_location.h"

#include <cpl_error.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numbers>

namespace sky {

namespace {

constexpr double kRadians = std::numbers::pi / 180;
// Texels between the points PROJ places, along rows and columns; those between are
// interpolated, which on any projection a DEM is kept in moves them by far less than
// a texel (a geographic grid's are linear in the rows and columns already).
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

// Every `kPlacedEvery`th texel and the last of each axis: the lattice PROJ places.
std::vector<std::uint32_t> LatticeLines(std::uint32_t size) {
    std::vector<std::uint32_t> lines;
    for (std::uint32_t x = 0; x < size; x += kPlacedEvery) lines.push_back(x);
    if (lines.back() != size - 1) lines.push_back(size - 1);
    return lines;
}

// Where `x` lies between two lines of `lines`: the first's index and the share of the
// way to the next.
struct Between {
    std::size_t k = 0, next = 0;
    double t = 0;
};
Between BetweenLines(const std::vector<std::uint32_t>& lines, std::uint32_t x) {
    const auto after = std::upper_bound(lines.begin(), lines.end(), x);
    const std::size_t k = std::min<std::size_t>(after - lines.begin() - 1, lines.size() > 1 ? lines.size() - 2 : 0);
    const std::size_t next = std::min(k + 1, lines.size() - 1);
    const double span = lines[next] - lines[k];
    return {k, next, span > 0 ? (x - double(lines[k])) / span : 0};
}

// The share `t` of the way from `a` to `b`; for an angle (radians), the short way round.
double Blend(double a, double b, double t, bool angle) {
    return a + (angle ? std::remainder(b - a, 2 * std::numbers::pi) : b - a) * t;
}

// Latitudes, longitudes and north placed by PROJ on a coarse lattice of the grid,
// rows and columns every kPlacedEvery and the last.
class Georeferenced final : public DemLocation {
public:
    Georeferenced(std::uint32_t width, std::vector<std::uint32_t> rows, std::vector<std::uint32_t> columns,
                  std::vector<std::array<double, 3>> placed)
        : width_(width), rows_(std::move(rows)), columns_(std::move(columns)), placed_(std::move(placed)) {}
    bool knowsLongitude() const override { return true; }
    void locate(std::uint32_t y, RowLocation* row) const override {
        row->latitude.resize(width_);
        row->longitude.resize(width_);
        row->gridNorth.resize(width_);
        // The row's points on the lattice's columns, then every texel between them.
        const Between v = BetweenLines(rows_, y);
        const std::size_t n = columns_.size();
        std::vector<std::array<double, 3>> line(n);
        for (std::size_t k = 0; k < n; ++k)
            for (int i = 0; i < 3; ++i)
                line[k][i] = Blend(placed_[v.k * n + k][i], placed_[v.next * n + k][i], v.t, i == 2);
        for (std::uint32_t x = 0; x < width_; ++x) {
            const Between h = BetweenLines(columns_, x);
            row->latitude[x] = Blend(line[h.k][0], line[h.next][0], h.t, false);
            row->longitude[x] = Blend(line[h.k][1], line[h.next][1], h.t, false);
            row->gridNorth[x] = Blend(line[h.k][2], line[h.next][2], h.t, true);
        }
    }

private:
    std::uint32_t width_;
    std::vector<std::uint32_t> rows_, columns_;
    std::vector<std::array<double, 3>> placed_;  // latitude, longitude, north by lattice row then column
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

// The coarse lattice of the texel centres of the DEM at `path` placed on the earth.
status::Status Place(const std::string& path, const std::string& crsWkt,
                     const std::optional<std::array<double, 6>>& geotransform, std::uint32_t width,
                     std::uint32_t height, std::unique_ptr<DemLocation>* location) {
    if (!geotransform || crsWkt.empty()) return NoGeoreferencing(path, "it carries no georeferencing");
    const std::array<double, 6>& gt = *geotransform;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    struct Pop {
        ~Pop() { CPLPopErrorHandler(); }
    } pop;
    const std::unique_ptr<void, SrsReleaser> source(OSRNewSpatialReference(crsWkt.c_str()));
    if (!source) return NoGeoreferencing(path, "PROJ does not read its coordinate system");
    OGRSpatialReferenceH crs = source.get();
    OSRSetAxisMappingStrategy(crs, OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<void, SrsReleaser> geographic(OSRCloneGeogCS(crs));
    if (!geographic) return NoGeoreferencing(path, "its coordinate system has no datum PROJ knows");
    OSRSetAxisMappingStrategy(geographic.get(), OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<void, TransformDestroyer> transform(OCTNewCoordinateTransformation(crs, geographic.get()));
    if (!transform) return NoGeoreferencing(path, "PROJ cannot turn its coordinates into latitudes");

    const std::vector<std::uint32_t> rows = LatticeLines(height), columns = LatticeLines(width);
    const std::size_t n = columns.size();
    std::vector<std::array<double, 3>> placed(n * rows.size());
    // Each point and a point a little along the map's own north, in the map's units.
    const double step = std::max(std::hypot(gt[1], gt[4]), std::hypot(gt[2], gt[5])) / 4;
    std::vector<double> px(2 * n), py(2 * n);
    std::vector<int> ok(2 * n);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t k = 0; k < n; ++k) {
            const double col = columns[k] + 0.5, line = rows[r] + 0.5;
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
            placed[r * n + k] = {lat, lon, std::atan2(dEast, dNorth)};
        }
    }
    *location = std::make_unique<Georeferenced>(width, rows, columns, std::move(placed));
    return status::Ok();
}

}  // namespace

status::Status LocateDem(const std::string& path, const std::string& crsWkt,
                         const std::optional<std::array<double, 6>>& geotransform, std::uint32_t width,
                         std::uint32_t height, std::optional<double> latitude, std::unique_ptr<DemLocation>* location) {
    try {
        if (latitude) {
            *location = std::make_unique<GivenLatitude>(width, *latitude);
            return status::Ok();
        }
        return Place(path, crsWkt, geotransform, width, height, location);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace sky
