#include "sky/tile_output.h"

#include "encode/grey_image.h"
#include "sky/float_raster.h"
#include "skyline/derived_products.h"

namespace sky {

TileWindow WholeWindow(const OutputSource& source) {
    return {0, 0, 0, 0, source.dem.width, source.dem.height, source.cellX, source.cellY, &source.azimuths};
}

std::vector<float> CoreOf(const std::vector<float>& band, std::uint32_t gridWidth, const TileWindow& w) {
    std::vector<float> core(std::size_t{w.coreWidth} * w.coreHeight);
    for (std::uint32_t r = 0; r < w.coreHeight; ++r) {
        const auto from = band.begin() + static_cast<std::ptrdiff_t>(std::size_t{w.coreY + r} * gridWidth + w.coreX);
        std::copy(from, from + w.coreWidth, core.begin() + static_cast<std::ptrdiff_t>(std::size_t{r} * w.coreWidth));
    }
    return core;
}

namespace {

// The core of `band` into its window of band `k` of `file`.
status::Status WriteCore(RasterOutputFile& file, std::size_t k, const std::vector<float>& band, std::uint32_t gridWidth,
                         const TileWindow& w, std::FILE* err) {
    const std::vector<float> core = CoreOf(band, gridWidth, w);
    return file.writeWindow(k, w.x + w.coreX, w.y + w.coreY, w.coreWidth, w.coreHeight, core.data(), err);
}

class TiledAngleOutput final : public TileOutput {
public:
    TiledAngleOutput(const std::string& path, const OutputSource& source) : path_(path), source_(source) {}
    status::Status start(std::FILE* err) override { return OpenAngleRaster(file_, path_, source_, err); }
    status::Status take(const Dem& tile, const TileWindow& w, const std::vector<std::size_t>& directions,
                        const std::vector<std::vector<float>>& bands, std::FILE* err) override {
        for (std::size_t j = 0; j < directions.size(); ++j)
            if (status::Status written = WriteCore(file_, directions[j], bands[j], tile.width, w, err); !written.ok())
                return written;
        return status::Ok();
    }
    status::Status endTile(const Dem&, const TileWindow&, std::FILE*) override { return status::Ok(); }
    status::Status finish(std::FILE* out, std::FILE* err) override { return file_.commit(out, err); }

private:
    std::string path_;
    const OutputSource& source_;
    RasterOutputFile file_;
};

class TiledSkyViewOutput final : public TileOutput {
public:
    TiledSkyViewOutput(const std::string& path, skyline::SvfModel model, const OutputSource& source)
        : path_(path), model_(model), source_(source) {}
    status::Status start(std::FILE* err) override { return OpenSkyViewRaster(file_, path_, source_, model_, err); }
    status::Status take(const Dem& tile, const TileWindow& w, const std::vector<std::size_t>& directions,
                        const std::vector<std::vector<float>>& bands, std::FILE*) override {
        if (!sum_) sum_ = std::make_unique<skyline::SkyViewSum>(tile.grid(), w.cellX, w.cellY, *w.azimuths, model_);
        for (std::size_t j = 0; j < directions.size(); ++j) sum_->add(directions[j], bands[j]);
        return status::Ok();
    }
    status::Status endTile(const Dem& tile, const TileWindow& w, std::FILE* err) override {
        if (!sum_) return status::Fail(status::Code::Failed, {});
        const std::vector<float> svf = sum_->result();
        sum_.reset();
        return WriteCore(file_, 0, svf, tile.width, w, err);
    }
    status::Status finish(std::FILE* out, std::FILE* err) override { return file_.commit(out, err); }

private:
    std::string path_;
    skyline::SvfModel model_;
    const OutputSource& source_;
    RasterOutputFile file_;
    std::unique_ptr<skyline::SkyViewSum> sum_;  // the tile's
};

// The hillshade GeoTIFF: each tile's two bands around the sun kept until its end.
class TiledShadeOutput final : public TileOutput {
public:
    TiledShadeOutput(const std::string& path, double sunAzimuth, double sunElevation, int bits,
                     const OutputSource& source)
        : path_(path), sunAzimuth_(sunAzimuth), sunElevation_(sunElevation), bits_(bits), source_(source) {}
    status::Status start(std::FILE* err) override {
        return file_.open(
            path_, {}, source_.dem, {"hillshade"},
            {{"AZIMUTHS", AzimuthList(source_.azimuths)}, {"SUN", Degrees(sunAzimuth_) + " " + Degrees(sunElevation_)}},
            err, bits_);
    }
    status::Status take(const Dem&, const TileWindow& w, const std::vector<std::size_t>& directions,
                        const std::vector<std::vector<float>>& bands, std::FILE*) override {
        const skyline::Bracket bracket = skyline::BracketOf(*w.azimuths, sunAzimuth_);
        bands_.resize(w.azimuths->size());
        for (std::size_t j = 0; j < directions.size(); ++j)
            if (directions[j] == bracket.a || directions[j] == bracket.b) bands_[directions[j]] = bands[j];
        return status::Ok();
    }
    status::Status endTile(const Dem& tile, const TileWindow& w, std::FILE* err) override {
        const encode::GreyImage image =
            skyline::Hillshade(tile.grid(), w.cellX, w.cellY, bands_, *w.azimuths, sunAzimuth_, sunElevation_, bits_);
        bands_.clear();
        std::vector<std::uint8_t> bytes8;
        std::vector<std::uint16_t> samples16;
        for (std::uint32_t r = 0; r < w.coreHeight; ++r) {
            const auto from =
                image.samples.begin() + static_cast<std::ptrdiff_t>(std::size_t{w.coreY + r} * tile.width + w.coreX);
            if (bits_ == 8)
                bytes8.insert(bytes8.end(), from, from + w.coreWidth);
            else
                samples16.insert(samples16.end(), from, from + w.coreWidth);
        }
        const void* samples = bits_ == 8 ? static_cast<const void*>(bytes8.data()) : samples16.data();
        return file_.writeWindow(0, w.x + w.coreX, w.y + w.coreY, w.coreWidth, w.coreHeight, samples, err);
    }
    status::Status finish(std::FILE* out, std::FILE* err) override { return file_.commit(out, err); }

private:
    std::string path_;
    double sunAzimuth_, sunElevation_;
    int bits_;
    const OutputSource& source_;
    std::vector<std::vector<float>> bands_;  // the tile's; only the two around the sun filled
    RasterOutputFile file_;
};

}  // namespace

std::unique_ptr<TileOutput> MakeTiledShadeOutput(const std::string& path, double sunAzimuth, double sunElevation,
                                                 int bits, const OutputSource& source) {
    return std::make_unique<TiledShadeOutput>(path, sunAzimuth, sunElevation, bits, source);
}

std::unique_ptr<TileOutput> MakeTiledAngleOutput(const std::string& path, const OutputSource& source) {
    return std::make_unique<TiledAngleOutput>(path, source);
}

std::unique_ptr<TileOutput> MakeTiledSkyViewOutput(const std::string& path, skyline::SvfModel model,
                                                   const OutputSource& source) {
    return std::make_unique<TiledSkyViewOutput>(path, model, source);
}

}  // namespace sky
