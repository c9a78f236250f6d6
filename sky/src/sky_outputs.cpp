#include "sky/sky_outputs.h"

#include <map>

#include "encode/exr_encoder.h"
#include "encode/png_encoder.h"
#include "encode/tiff_encoder.h"
#include "os/atomic_file.h"
#include "outputs/made_file.h"
#include "outputs/name_format.h"
#include "outputs/report_lines.h"
#include "sky/engine_texture.h"
#include "sky/sky_viewer.h"
#include "skyline/derived_products.h"

namespace sky {

void ReportFailure(std::FILE* err, const std::string& what, status::Code code, const std::string& why) {
    outputs::ReportFailure(err, kSkyProgram, what, code, why);
}

std::string Degrees(double azimuth) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", azimuth);
    return text;
}

std::string AzimuthList(const std::vector<double>& azimuths) {
    std::string list;
    for (double azimuth : azimuths) list.append(list.empty() ? "" : " ").append(Degrees(azimuth));
    return list;
}

status::Status WriteOwnExr(const std::string& path, const encode::FloatChannels& channels, std::FILE* out,
                           std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    const status::Status made = encode::EncodeFloatExr(channels, &bytes, &why);
    return outputs::PutMadeFile({kSkyProgram, out, err}, path, made, why, bytes);
}

AngleNames AngleNamesOf(const OutputSource& source) {
    AngleNames t;
    // Bands at one azimuth (asked apart, one grid direction) are counted, as
    // OpenEXR's channel names must differ: azimuth_0.00, azimuth_0.00_2.
    std::map<std::string, int> seen;
    for (double azimuth : source.azimuths) {
        const int count = ++seen[Degrees(azimuth)];
        const std::string repeat = std::to_string(count);
        t.names.push_back("azimuth_" + Degrees(azimuth) + (count > 1 ? "_" + repeat : ""));
        t.descriptions.push_back("azimuth " + Degrees(azimuth) + (count > 1 ? " (" + repeat + ")" : ""));
    }
    return t;
}

const char* SvfModelName(skyline::SvfModel model) {
    static const char* const kModels[] = {"horizontal", "sloped", "zaksek"};
    return kModels[static_cast<int>(model)];
}

status::Status OpenAngleRaster(RasterOutputFile& file, const std::string& path, const OutputSource& source,
                               std::FILE* err) {
    const AngleNames names = AngleNamesOf(source);
    std::string channels;
    for (const std::string& name : names.names) channels.append(channels.empty() ? "" : " ").append(name);
    return file.open(path, source.format, source.dem, names.descriptions,
                     {{"AZIMUTHS", AzimuthList(source.azimuths)}, {"TIFFTAG_IMAGEDESCRIPTION", channels}}, err);
}

status::Status OpenSkyViewRaster(RasterOutputFile& file, const std::string& path, const OutputSource& source,
                                 skyline::SvfModel model, std::FILE* err) {
    return file.open(path, source.format, source.dem, {"sky-view factor"},
                     {{"AZIMUTHS", AzimuthList(source.azimuths)},
                      {"SVF_MODEL", SvfModelName(model)},
                      {"TIFFTAG_IMAGEDESCRIPTION", "svf"}},
                     err);
}

namespace {

// The angle raster through GDAL, band by band into its file.
class AngleRasterOutput final : public BandOutput {
public:
    AngleRasterOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    status::Status start(std::FILE* err) override { return OpenAngleRaster(file_, path_, source_, err); }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE* err) override {
        for (std::size_t j = 0; j < directions.size(); ++j)
            if (status::Status written = file_.writeBand(directions[j], bands[j].data(), err); !written.ok())
                return written;
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override { return file_.commit(out, err); }

private:
    std::string path_;
    const OutputSource& source_;
    RasterOutputFile file_;
};

// The angle EXR: its line blocks interleave all bands, so they are kept.
class AngleExrOutput final : public BandOutput {
public:
    AngleExrOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    status::Status start(std::FILE*) override {
        channels_ = {source_.dem.width, source_.dem.height, AngleNamesOf(source_).names, {}};
        channels_.planes.resize(source_.azimuths.size());
        return status::Ok();
    }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) channels_.planes[directions[j]] = bands[j];
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override { return WriteOwnExr(path_, channels_, out, err); }

private:
    std::string path_;
    const OutputSource& source_;
    encode::FloatChannels channels_;
};

class SkyViewOutput final : public BandOutput {
public:
    SkyViewOutput(const std::string& path, skyline::SvfModel model, const OutputSource& source)
        : path_(path), model_(model), source_(source) {}
    status::Status start(std::FILE*) override {
        sum_ = std::make_unique<skyline::SkyViewSum>(source_.dem.grid(), source_.cellX, source_.cellY, source_.azimuths,
                                                     model_);
        return status::Ok();
    }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) sum_->add(directions[j], bands[j]);
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        encode::FloatChannels channels{source_.dem.width, source_.dem.height, {"svf"}, {}};
        channels.planes.push_back(sum_->result());
        sum_.reset();
        if (WritesOwnExr(path_, source_.format)) return WriteOwnExr(path_, channels, out, err);
        RasterOutputFile file;
        status::Status written = OpenSkyViewRaster(file, path_, source_, model_, err);
        if (written.ok()) written = file.writeBand(0, channels.planes[0].data(), err);
        return written.ok() ? file.commit(out, err) : written;
    }

private:
    std::string path_;
    skyline::SvfModel model_;
    const OutputSource& source_;
    std::unique_ptr<skyline::SkyViewSum> sum_;
};

class ShadeOutput final : public BandOutput {
public:
    ShadeOutput(const std::string& path, double sunAzimuth, double sunElevation, int bits, const OutputSource& source)
        : path_(path), sunAzimuth_(sunAzimuth), sunElevation_(sunElevation), bits_(bits), source_(source) {}
    status::Status start(std::FILE*) override {
        bracket_ = skyline::BracketOf(source_.azimuths, sunAzimuth_);
        bands_.resize(source_.azimuths.size());
        return status::Ok();
    }
    // Only the two bands around the sun are kept; Hillshade reads no other.
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j)
            if (directions[j] == bracket_.a || directions[j] == bracket_.b) bands_[directions[j]] = bands[j];
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        const encode::GreyImage image = skyline::Hillshade(source_.dem.grid(), source_.cellX, source_.cellY, bands_,
                                                           source_.azimuths, sunAzimuth_, sunElevation_, bits_);
        bands_.clear();
        if (outputs::FloatFormatOf(path_) != outputs::FloatFormat::Tiff) {
            std::vector<std::uint8_t> bytes;
            const status::Status made = encode::EncodeGreyPng(image, &bytes);
            return outputs::PutMadeFile({kSkyProgram, out, err}, path_, made, "", bytes);
        }
        // A GeoTIFF whatever the float outputs' driver: its name says so.
        std::vector<std::uint8_t> bytes8;
        if (bits_ == 8) bytes8.assign(image.samples.begin(), image.samples.end());
        const void* samples = bits_ == 8 ? static_cast<const void*>(bytes8.data()) : image.samples.data();
        RasterOutputFile file;
        status::Status written = file.open(
            path_, {}, source_.dem, {"hillshade"},
            {{"AZIMUTHS", AzimuthList(source_.azimuths)}, {"SUN", Degrees(sunAzimuth_) + " " + Degrees(sunElevation_)}},
            err, bits_);
        if (written.ok()) written = file.writeBand(0, samples, err);
        return written.ok() ? file.commit(out, err) : written;
    }

private:
    std::string path_;
    double sunAzimuth_, sunElevation_;
    int bits_;
    const OutputSource& source_;
    skyline::Bracket bracket_;
    std::vector<std::vector<float>> bands_;
};

// The DDS array: the header first, each slice at its place once its four bands are in.
class EngineOutput final : public BandOutput {
public:
    EngineOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    status::Status start(std::FILE* err) override {
        const std::uint32_t width = source_.dem.width, height = source_.dem.height;
        const std::size_t n = source_.azimuths.size();
        if (n == 0 || n % 4 != 0) return fail(err, "cannot make ", status::Fail(status::Code::InvalidArgument, {}));
        if (status::Status opened = file_.open(path_, os::DirectWriter::Mode::Buffered); !opened.ok())
            return fail(err, "cannot write ", std::move(opened));
        const std::vector<std::uint8_t> header = EngineDdsHeader(width, height, static_cast<std::uint32_t>(n / 4));
        headerBytes_ = header.size();
        sliceBytes_ = EngineSliceBytes(width, height);
        pending_.resize(n);
        if (status::Status written = file_.writeAt(0, header.data(), header.size()); !written.ok())
            return fail(err, "cannot write ", std::move(written));
        return status::Ok();
    }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE* err) override {
        for (std::size_t j = 0; j < directions.size(); ++j) pending_[directions[j]] = bands[j];
        for (std::size_t s = 0; s < pending_.size() / 4; ++s) {
            const auto in = [&](std::size_t c) { return !pending_[s * 4 + c].empty(); };
            if (!(in(0) && in(1) && in(2) && in(3))) continue;
            std::uint64_t at = headerBytes_ + s * sliceBytes_;
            status::Status put =
                EncodeEngineSlice({pending_[s * 4].data(), pending_[s * 4 + 1].data(), pending_[s * 4 + 2].data(),
                                   pending_[s * 4 + 3].data()},
                                  source_.dem.width, source_.dem.height, [&](const std::vector<std::uint8_t>& piece) {
                                      status::Status written = file_.writeAt(at, piece.data(), piece.size());
                                      at += piece.size();
                                      return written;
                                  });
            if (!put.ok()) return fail(err, "cannot write ", std::move(put));
            for (std::size_t c = 0; c < 4; ++c) std::vector<float>().swap(pending_[s * 4 + c]);
            ++written_;
        }
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        if (written_ * 4 != pending_.size()) return fail(err, "cannot make ", status::Fail(status::Code::Failed, {}));
        if (status::Status committed = file_.commit(); !committed.ok())
            return fail(err, "cannot write ", std::move(committed));
        outputs::ReportWrote(out, path_);
        return status::Ok();
    }

private:
    status::Status fail(std::FILE* err, const char* what, status::Status failure) {
        ReportFailure(err, what + path_, failure.code);
        return failure;
    }

    std::string path_;
    const OutputSource& source_;
    os::AtomicFile file_;
    std::uint64_t headerBytes_ = 0, sliceBytes_ = 0;
    std::vector<std::vector<float>> pending_;  // bands of slices not yet complete
    std::size_t written_ = 0;                  // slices
};

class ViewerOutput final : public BandOutput {
public:
    ViewerOutput(const std::string& path, const std::string& mapName, std::uint32_t maxSize, const OutputSource& source)
        : path_(path), mapName_(mapName), maxSize_(maxSize), source_(source) {}
    status::Status start(std::FILE*) override {
        data_ = MakeSkyPageGrid(source_, maxSize_);
        return status::Ok();
    }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) AddSkyPageCodes(&data_, directions[j], bands[j]);
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        return WriteViewerPage(path_, mapName_, std::move(data_), out, err);
    }

private:
    std::string path_, mapName_;
    std::uint32_t maxSize_;
    const OutputSource& source_;
    viewer::PageData data_;
};

}  // namespace

std::unique_ptr<BandOutput> MakeAngleOutput(const std::string& path, const OutputSource& source) {
    if (WritesOwnExr(path, source.format)) return std::make_unique<AngleExrOutput>(path, source);
    return std::make_unique<AngleRasterOutput>(path, source);
}

std::unique_ptr<BandOutput> MakeSkyViewOutput(const std::string& path, skyline::SvfModel model,
                                              const OutputSource& source) {
    return std::make_unique<SkyViewOutput>(path, model, source);
}

std::unique_ptr<BandOutput> MakeShadeOutput(const std::string& path, double sunAzimuth, double sunElevation, int bits,
                                            const OutputSource& source) {
    return std::make_unique<ShadeOutput>(path, sunAzimuth, sunElevation, bits, source);
}

std::unique_ptr<BandOutput> MakeEngineOutput(const std::string& path, const OutputSource& source) {
    return std::make_unique<EngineOutput>(path, source);
}

std::unique_ptr<BandOutput> MakeViewerOutput(const std::string& path, const std::string& mapName, std::uint32_t maxSize,
                                             const OutputSource& source) {
    return std::make_unique<ViewerOutput>(path, mapName, maxSize, source);
}

}  // namespace sky
