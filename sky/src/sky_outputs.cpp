#include "sky/sky_outputs.h"

#include <map>

#include <tiffio.h>

#include "encode/exr_encoder.h"
#include "encode/float_tiff_stream.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/output_file.h"
#include "encode/png_encoder.h"
#include "encode/tiff_encoder.h"
#include "geo/gdal_tags.h"
#include "os/atomic_file.h"
#include "platform/result_reason.h"
#include "results/status_result.h"
#include "sky/engine_texture.h"
#include "sky/sky_viewer.h"
#include "skyline/derived_products.h"

namespace sky {

void ReportFailure(std::FILE* err, const std::string& what, HRESULT result, const std::string& why) {
    const std::string text = why.empty() ? platform::ResultReason(result) : why;
    std::fprintf(err, "%s: %s: %s\n", kSkyProgram, what.c_str(), text.c_str());
}

std::string Degrees(double azimuth) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", azimuth);
    return text;
}

namespace {

// GDAL's metadata: the azimuths used and any other dataset items, then each band's
// description.
std::string GdalMetadata(const std::string& azimuths, const std::vector<std::string>& descriptions,
                         std::vector<std::pair<std::string, std::string>> items = {}) {
    items.insert(items.begin(), {"AZIMUTHS", azimuths});
    return geo::GdalMetadata(items, descriptions);
}

std::string AzimuthList(const std::vector<double>& azimuths) {
    std::string list;
    for (double azimuth : azimuths) list.append(list.empty() ? "" : " ").append(Degrees(azimuth));
    return list;
}

[[nodiscard]] HRESULT WriteFile(const std::string& path, HRESULT encoded, const std::string& why,
                                const std::vector<std::uint8_t>& bytes, std::FILE* out, std::FILE* err) {
    if (encoded != S_OK) {
        ReportFailure(err, "cannot make " + path, encoded, why);
        return encoded;
    }
    if (const HRESULT hr = encode::WriteFileAtomically(path, bytes); hr != S_OK) {
        ReportFailure(err, "cannot write " + path, hr);
        return hr;
    }
    std::fprintf(out, "wrote %s\n", path.c_str());
    return S_OK;
}

// A TIFF with its tags, or an OpenEXR whose channel names say it all.
[[nodiscard]] HRESULT WriteFloats(const std::string& path, const encode::FloatChannels& channels,
                                  const encode::TiffExtras& extras, std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    const HRESULT hr = encode::FloatFormatOf(path) == encode::FloatFormat::Exr
                           ? encode::EncodeFloatExr(channels, &bytes, &why)
                           : encode::EncodeFloatTiff(channels, &bytes, &why, extras);
    return WriteFile(path, hr, why, bytes, out, err);
}

// Angle bands' names and tags.
struct AngleTags {
    std::vector<std::string> names;
    encode::TiffExtras extras;
};

AngleTags AngleTagsOf(const OutputSource& source) {
    AngleTags t;
    std::vector<std::string> descriptions;
    // Bands at one azimuth (asked apart, one grid direction) are counted, as
    // OpenEXR's channel names must differ: azimuth_0.00, azimuth_0.00_2.
    std::map<std::string, int> seen;
    for (double azimuth : source.azimuths) {
        const int count = ++seen[Degrees(azimuth)];
        const std::string repeat = std::to_string(count);
        t.names.push_back("azimuth_" + Degrees(azimuth) + (count > 1 ? "_" + repeat : ""));
        descriptions.push_back("azimuth " + Degrees(azimuth) + (count > 1 ? " (" + repeat + ")" : ""));
    }
    t.extras.software = kSkyProgram;
    t.extras.gdalMetadata = GdalMetadata(AzimuthList(source.azimuths), descriptions);
    t.extras.gdalNoData = "-9999";
    if (source.dem.tiff) t.extras.geo = source.dem.tiff->geo;
    return t;
}

HRESULT ReportStreamFailure(std::FILE* err, const std::string& path, HRESULT hr, const std::string& why) {
    ReportFailure(err, (why.empty() ? "cannot write " : "cannot make ") + path, hr, why);
    return hr;
}

// The angle TIFF, band by band into its file.
class AngleTiffOutput final : public BandOutput {
public:
    AngleTiffOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    HRESULT start(std::FILE* err) override {
        const AngleTags tags = AngleTagsOf(source_);
        std::string why;
        const HRESULT hr = stream_.open(path_, source_.dem.width, source_.dem.height, tags.names, tags.extras, &why);
        return hr == S_OK ? S_OK : ReportStreamFailure(err, path_, hr, why);
    }
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE* err) override {
        for (std::size_t j = 0; j < directions.size(); ++j) {
            std::string why;
            if (const HRESULT hr = stream_.writeBand(directions[j], bands[j].data(), &why); hr != S_OK)
                return ReportStreamFailure(err, path_, hr, why);
        }
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override {
        std::string why;
        if (const HRESULT hr = stream_.commit(&why); hr != S_OK) return ReportStreamFailure(err, path_, hr, why);
        std::fprintf(out, "wrote %s\n", path_.c_str());
        return S_OK;
    }

private:
    std::string path_;
    const OutputSource& source_;
    encode::FloatTiffStream stream_;
};

// The angle EXR: its line blocks interleave all bands, so they are kept.
class AngleExrOutput final : public BandOutput {
public:
    AngleExrOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    HRESULT start(std::FILE*) override {
        channels_ = {source_.dem.width, source_.dem.height, AngleTagsOf(source_).names, {}};
        channels_.planes.resize(source_.azimuths.size());
        return S_OK;
    }
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) channels_.planes[directions[j]] = bands[j];
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override { return WriteFloats(path_, channels_, {}, out, err); }

private:
    std::string path_;
    const OutputSource& source_;
    encode::FloatChannels channels_;
};

class SkyViewOutput final : public BandOutput {
public:
    SkyViewOutput(const std::string& path, skyline::SvfModel model, const OutputSource& source)
        : path_(path), model_(model), source_(source) {}
    HRESULT start(std::FILE*) override {
        sum_ = std::make_unique<skyline::SkyViewSum>(source_.dem.grid(), source_.cellX, source_.cellY, source_.azimuths,
                                                     model_);
        return S_OK;
    }
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) sum_->add(directions[j], bands[j]);
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override {
        static const char* const kModels[] = {"horizontal", "sloped", "zaksek"};
        const char* model = kModels[static_cast<int>(model_)];
        encode::FloatChannels channels{source_.dem.width, source_.dem.height, {"svf"}, {}};
        channels.planes.push_back(sum_->result());
        sum_.reset();
        encode::TiffExtras extras;
        extras.software = kSkyProgram;
        extras.gdalMetadata = GdalMetadata(AzimuthList(source_.azimuths), {"sky-view factor"}, {{"SVF_MODEL", model}});
        extras.gdalNoData = "-9999";
        if (source_.dem.tiff) extras.geo = source_.dem.tiff->geo;
        return WriteFloats(path_, channels, extras, out, err);
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
    HRESULT start(std::FILE*) override {
        bracket_ = skyline::BracketOf(source_.azimuths, sunAzimuth_);
        bands_.resize(source_.azimuths.size());
        return S_OK;
    }
    // Only the two bands around the sun are kept; Hillshade reads no other.
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j)
            if (directions[j] == bracket_.a || directions[j] == bracket_.b) bands_[directions[j]] = bands[j];
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override {
        const encode::GreyImage image = skyline::Hillshade(source_.dem.grid(), source_.cellX, source_.cellY, bands_,
                                                           source_.azimuths, sunAzimuth_, sunElevation_, bits_);
        bands_.clear();
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (encode::FloatFormatOf(path_) != encode::FloatFormat::Tiff)
            return WriteFile(path_, encode::EncodeGreyPng(image, &bytes), why, bytes, out, err);
        const std::string metadata = GdalMetadata(AzimuthList(source_.azimuths), {"hillshade"},
                                                  {{"SUN", Degrees(sunAzimuth_) + " " + Degrees(sunElevation_)}});
        const encode::GeoTiffTags none;
        const encode::GeoTiffTags& stored = source_.dem.tiff ? source_.dem.tiff->geo : none;
        const HRESULT hr = encode::EncodeGreyTiff(image, &bytes, &why, [&](TIFF* tiff) {
            if (TIFFSetField(tiff, TIFFTAG_SOFTWARE, kSkyProgram) != 1) return E_FAIL;
            return geo::WriteStoredTags(tiff, stored).ok() && geo::WriteGdalTags(tiff, metadata, "").ok() ? S_OK
                                                                                                          : E_FAIL;
        });
        return WriteFile(path_, hr, why, bytes, out, err);
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
    HRESULT start(std::FILE* err) override {
        const std::uint32_t width = source_.dem.width, height = source_.dem.height;
        const std::size_t n = source_.azimuths.size();
        if (n == 0 || n % 4 != 0) return fail(err, "cannot make ", E_INVALIDARG);
        if (const HRESULT hr = ResultOfStatus(file_.open(path_, os::DirectWriter::Mode::Buffered)); hr != S_OK)
            return fail(err, "cannot write ", hr);
        const std::vector<std::uint8_t> header = EngineDdsHeader(width, height, static_cast<std::uint32_t>(n / 4));
        headerBytes_ = header.size();
        sliceBytes_ = EngineSliceBytes(width, height);
        pending_.resize(n);
        if (const HRESULT hr = ResultOfStatus(file_.writeAt(0, header.data(), header.size())); hr != S_OK)
            return fail(err, "cannot write ", hr);
        return S_OK;
    }
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE* err) override {
        for (std::size_t j = 0; j < directions.size(); ++j) pending_[directions[j]] = bands[j];
        for (std::size_t s = 0; s < pending_.size() / 4; ++s) {
            const auto in = [&](std::size_t c) { return !pending_[s * 4 + c].empty(); };
            if (!(in(0) && in(1) && in(2) && in(3))) continue;
            std::uint64_t at = headerBytes_ + s * sliceBytes_;
            const HRESULT hr = EncodeEngineSlice(
                {pending_[s * 4].data(), pending_[s * 4 + 1].data(), pending_[s * 4 + 2].data(),
                 pending_[s * 4 + 3].data()},
                source_.dem.width, source_.dem.height, [&](const std::vector<std::uint8_t>& piece) {
                    const HRESULT written = ResultOfStatus(file_.writeAt(at, piece.data(), piece.size()));
                    at += piece.size();
                    return written;
                });
            if (hr != S_OK) return fail(err, "cannot write ", hr);
            for (std::size_t c = 0; c < 4; ++c) std::vector<float>().swap(pending_[s * 4 + c]);
            ++written_;
        }
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override {
        if (written_ * 4 != pending_.size()) return fail(err, "cannot make ", E_FAIL);
        if (const HRESULT hr = ResultOfStatus(file_.commit()); hr != S_OK) return fail(err, "cannot write ", hr);
        std::fprintf(out, "wrote %s\n", path_.c_str());
        return S_OK;
    }

private:
    HRESULT fail(std::FILE* err, const char* what, HRESULT hr) {
        ReportFailure(err, what + path_, hr);
        return hr;
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
    HRESULT start(std::FILE*) override {
        data_ = MakeSkyPageGrid(source_, maxSize_);
        return S_OK;
    }
    HRESULT take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                 std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) AddSkyPageCodes(&data_, directions[j], bands[j]);
        return S_OK;
    }
    HRESULT finish(std::FILE* out, std::FILE* err) override {
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
    if (encode::FloatFormatOf(path) == encode::FloatFormat::Exr) return std::make_unique<AngleExrOutput>(path, source);
    return std::make_unique<AngleTiffOutput>(path, source);
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
