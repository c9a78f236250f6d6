#include "sky/float_raster.h"

#include "outputs/name_format.h"
#include "outputs/report_lines.h"
#include "raster/raster_writer.h"
#include "sky/sky_outputs.h"

namespace sky {

namespace {

raster::RasterFormat GdalFormat(const RasterOutputFormat& format) { return {format.driver, format.options}; }

status::Status Report(std::FILE* err, const status::Status& s) {
    std::fprintf(err, "%s: cannot write %s\n", kSkyProgram, status::Describe(s).c_str());
    return s;
}

}  // namespace

struct RasterOutputFile::Writer {
    raster::RasterWriter gdal;
    std::size_t warned = 0;  // warnings already printed
    void warn(std::FILE* err) {
        for (; warned < gdal.warnings().size(); ++warned)
            std::fprintf(err, "%s: warning: %s\n", kSkyProgram, gdal.warnings()[warned].c_str());
    }
};

bool WritesOwnExr(const std::string& path, const RasterOutputFormat& format) {
    return format.driver.empty() && outputs::FloatFormatOf(path) == outputs::FloatFormat::Exr;
}

status::Status CheckRasterOutputFormat(const RasterOutputFormat& format, std::FILE* err) {
    const status::Status s = raster::CheckRasterFormat(GdalFormat(format), raster::SampleType::Float32);
    if (s.ok()) return status::Ok();
    std::fprintf(err, "%s: %s\n", kSkyProgram, status::Describe(s).c_str());
    return s;
}

RasterOutputFile::RasterOutputFile() = default;
RasterOutputFile::~RasterOutputFile() = default;

status::Status RasterOutputFile::open(const std::string& path, const RasterOutputFormat& format, const Dem& dem,
                                      const std::vector<std::string>& descriptions,
                                      const std::vector<std::pair<std::string, std::string>>& metadata, std::FILE* err,
                                      int bits) {
    path_ = path;
    writer_ = std::make_unique<Writer>();
    raster::RasterLayout layout;
    layout.width = dem.width;
    layout.height = dem.height;
    layout.type = bits == 8    ? raster::SampleType::Byte
                  : bits == 16 ? raster::SampleType::UInt16
                               : raster::SampleType::Float32;
    layout.descriptions = descriptions;
    if (bits == 32) layout.noData = -9999;
    layout.crsWkt = dem.crsWkt;
    layout.geotransform = dem.geotransform;
    layout.metadata = {{"TIFFTAG_SOFTWARE", kSkyProgram}};
    layout.metadata.insert(layout.metadata.end(), metadata.begin(), metadata.end());
    const status::Status s = writer_->gdal.open(path, GdalFormat(format), layout);
    writer_->warn(err);
    return s.ok() ? status::Ok() : Report(err, s);
}

status::Status RasterOutputFile::writeBand(std::size_t band, const void* samples, std::FILE* err) {
    if (!writer_) return status::Fail(status::Code::Failed, {});
    const status::Status s = writer_->gdal.writeBand(band, samples);
    writer_->warn(err);
    return s.ok() ? status::Ok() : Report(err, s);
}

status::Status RasterOutputFile::writeWindow(std::size_t band, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                             std::uint32_t height, const void* samples, std::FILE* err) {
    if (!writer_) return status::Fail(status::Code::Failed, {});
    const status::Status s = writer_->gdal.writeWindow(band, x, y, width, height, samples);
    writer_->warn(err);
    return s.ok() ? status::Ok() : Report(err, s);
}

status::Status RasterOutputFile::commit(std::FILE* out, std::FILE* err) {
    if (!writer_) return status::Fail(status::Code::Failed, {});
    const status::Status s = writer_->gdal.commit();
    writer_->warn(err);
    if (!s.ok()) return Report(err, s);
    outputs::ReportWrote(out, path_);
    return status::Ok();
}

}  // namespace sky
