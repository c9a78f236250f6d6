#include "raster/raster_band.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <memory>
#include <new>

#include "gdal_dataset.h"
#include "gdal_messages.h"
#include "os/memory_budget.h"

namespace raster {

namespace {

struct DestroySrs {
    void operator()(void* srs) const { OSRDestroySpatialReference(srs); }
};

status::Status Invalid(const std::string& path, const std::string& what) {
    return status::Fail(status::Code::InvalidData, path + ": " + what);
}

// What the dataset's CRS is, for cell sizes and the outputs.
void ReadCrs(GDALDatasetH dataset, RasterBand* out) {
    const char* wkt = GDALGetProjectionRef(dataset);
    if (wkt == nullptr || *wkt == '\0') return;
    out->crsWkt = wkt;
    std::unique_ptr<void, DestroySrs> srs(OSRNewSpatialReference(wkt));
    if (!srs) return;
    out->geographic = OSRIsGeographic(srs.get()) != 0;
    out->projected = OSRIsProjected(srs.get()) != 0;
    if (out->projected) out->metresPerUnit = OSRGetLinearUnits(srs.get(), nullptr);
    if (out->geographic) {
        out->radiansPerUnit = OSRGetAngularUnits(srs.get(), nullptr);
        OGRErr error = OGRERR_NONE;
        out->semiMajor = OSRGetSemiMajor(srs.get(), &error);
        if (error != OGRERR_NONE) out->semiMajor = 0;
        out->inverseFlattening = OSRGetInvFlattening(srs.get(), &error);
        if (error != OGRERR_NONE) out->inverseFlattening = 0;
    }
}

// A warning of GDAL's as "PATH: text", once: GDAL names the file itself in some.
std::string Naming(const std::string& path, const std::string& warning) {
    return warning.rfind(path + ": ", 0) == 0 ? warning : path + ": " + warning;
}

// What the dataset says of its band `band` (from 1), all but the samples, into
// `read`. Ok; InvalidArgument for a band it lacks; InvalidData for no texels.
status::Status Describe(const std::string& path, GDALDatasetH dataset, int band, RasterBand* read) {
    read->bands = GDALGetRasterCount(dataset);
    if (band < 1 || band > read->bands)
        return status::Fail(status::Code::InvalidArgument, path + " has " + std::to_string(read->bands) +
                                                               (read->bands == 1 ? " band" : " bands") + ": band " +
                                                               std::to_string(band) + " does not exist");
    const int width = GDALGetRasterXSize(dataset), height = GDALGetRasterYSize(dataset);
    if (width <= 0 || height <= 0) return Invalid(path, "it holds no texels");
    read->width = static_cast<std::uint32_t>(width);
    read->height = static_cast<std::uint32_t>(height);
    read->driver = GDALGetDriverShortName(GDALGetDatasetDriver(dataset));
    GDALRasterBandH handle = GDALGetRasterBand(dataset, band);
    read->type = GDALGetDataTypeName(GDALGetRasterDataType(handle));
    int given = 0;
    if (const double v = GDALGetRasterScale(handle, &given); given != 0) read->scale = v;
    if (const double v = GDALGetRasterOffset(handle, &given); given != 0) read->offset = v;
    if (const double v = GDALGetRasterNoDataValue(handle, &given); given != 0) read->noData = v;
    if (std::array<double, 6> gt{}; GDALGetGeoTransform(dataset, gt.data()) == CE_None) read->geotransform = gt;
    ReadCrs(dataset, read);
    return status::Ok();
}

}  // namespace

status::Status ReadRasterBand(const std::string& path, int band, bool samples, RasterBand* out) {
    RasterWindows raster;
    if (status::Status opened = raster.open(path, band); !opened.ok()) return opened;
    RasterBand read = raster.header();
    if (samples)
        if (status::Status all = raster.read(0, 0, read.width, read.height, &read.values); !all.ok()) return all;
    read.warnings = raster.warnings();
    *out = std::move(read);
    return status::Ok();
}

status::Status WriteGeoreferencingStub(const RasterBand& band, const std::string& path) {
    return OnItsOwnThread([&] {
        RegisterGdal();
        GdalMessages messages;
        GDALDriverH gtiff = GDALGetDriverByName("GTiff");
        const Dataset stub(gtiff == nullptr ? nullptr : GDALCreate(gtiff, path.c_str(), 1, 1, 1, GDT_Byte, nullptr));
        bool ok = stub != nullptr;
        if (ok && band.geotransform) {
            std::array<double, 6> gt = *band.geotransform;
            ok = GDALSetGeoTransform(stub.get(), gt.data()) == CE_None;
        }
        if (ok && !band.crsWkt.empty()) ok = GDALSetProjection(stub.get(), band.crsWkt.c_str()) == CE_None;
        if (ok) return status::Ok();
        return status::Fail(status::Code::Failed, path + ": " + messages.lastError());
    });
}

status::Status GdalIdentifies(const std::string& path, bool* identified) {
    return OnItsOwnThread([&] {
        RegisterGdal();
        GdalMessages quiet;
        *identified = GDALIdentifyDriverEx(path.c_str(), GDAL_OF_RASTER, nullptr, nullptr) != nullptr;
        return status::Ok();
    });
}

}  // namespace raster

namespace raster {

struct RasterWindows::State {
    std::string path;
    RasterBand header;
    std::vector<std::string> warnings;
    Dataset dataset;
    GDALRasterBandH band = nullptr;
    // Memory ran out inside GDAL, which may leave the dataset half made: let go, never closed.
    bool broken = false;
    ~State() {
        if (broken) static_cast<void>(dataset.release());
    }
};

RasterWindows::RasterWindows() = default;
RasterWindows::~RasterWindows() = default;

status::Status RasterWindows::open(const std::string& path, int band) {
    try {
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
    return OnItsOwnThread(
        [&] {
            RegisterGdal();
            GdalMessages messages;
            state_->path = path;
            state_->dataset.reset(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                             nullptr, nullptr, nullptr));
            if (!state_->dataset)
                return messages.lastError().empty() || messages.outOfMemory() ? status::OutOfMemory()
                                                                              : Invalid(path, messages.lastError());
            if (status::Status described = Describe(path, state_->dataset.get(), band, &state_->header);
                !described.ok())
                return described;
            state_->band = GDALGetRasterBand(state_->dataset.get(), band);
            for (const std::string& warning : messages.warnings()) state_->warnings.push_back(Naming(path, warning));
            return status::Ok();
        },
        &state_->broken);
}

const std::vector<std::string>& RasterWindows::warnings() const {
    static const std::vector<std::string> none;
    return state_ ? state_->warnings : none;
}

const RasterBand& RasterWindows::header() const {
    static const RasterBand none;
    return state_ ? state_->header : none;
}

status::Status RasterWindows::read(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h,
                                   std::vector<double>* values) {
    if (!state_ || state_->band == nullptr) return status::Fail(status::Code::InvalidArgument, "no raster is open");
    const std::uint32_t width = state_->header.width, height = state_->header.height;
    if (w == 0 || h == 0 || x > width || w > width - x || y > height || h > height - y)
        return status::Fail(status::Code::InvalidArgument, state_->path + ": a window outside the raster");
    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(w, h, sizeof(double), &bytes);
    if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();
    return OnItsOwnThread(
        [&] {
            GdalMessages messages;
            values->resize(static_cast<std::size_t>(bytes / sizeof(double)));
            if (GDALRasterIO(state_->band, GF_Read, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                             static_cast<int>(h), values->data(), static_cast<int>(w), static_cast<int>(h), GDT_Float64,
                             0, 0) == CE_None) {
                for (const std::string& warning : messages.warnings())
                    state_->warnings.push_back(Naming(state_->path, warning));
                return status::Ok();
            }
            if (messages.lastError().empty() || messages.outOfMemory()) return status::OutOfMemory();
            return Invalid(state_->path, messages.lastError());
        },
        &state_->broken);
}

}  // namespace raster
