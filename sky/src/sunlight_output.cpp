#include "sky/sunlight_output.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "encode/exr_encoder.h"
#include "sky/day_sums.h"
#include "sky/dem_location.h"
#include "sky/horizon_brackets.h"
#include "sky/row_threads.h"
#include "sky/sky_run.h"
#include "sky/tile_output.h"
#include "skyline/derived_products.h"
#include "solar/day_sum.h"

namespace sky {

namespace {

constexpr double kRadians = std::numbers::pi / 180;
constexpr float kNoData = skyline::kNoData;

using Items = std::vector<std::pair<std::string, std::string>>;

std::string Hours(double hours) {
    const int minutes = static_cast<int>(std::lround(hours * 60));
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60, minutes % 60);
    return text;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A sunlight file: its bands' names (OpenEXR's channels, a TIFF's image
// description), their descriptions and the dataset's items.
struct SunFile {
    std::string path;
    std::vector<std::string> names, descriptions;
    Items items;
};

// What the sunlight outputs compute, on any grid of the DEM's texels: the whole
// DEM, or a tile whose core is computed from its horizons and its place in the DEM.
class Sunlight {
public:
    Sunlight(const SkyOptions& o, const OutputSource& source, std::unique_ptr<DemLocation> location)
        : o_(o), source_(source), location_(std::move(location)) {}

    bool daily() const { return !o_.irradiationFile.empty() || !o_.sunHoursFile.empty(); }

    // The files asked for: irradiation, sun hours, masks, in that order.
    std::vector<SunFile> files() const {
        std::vector<SunFile> made;
        if (!o_.irradiationFile.empty())
            made.push_back({o_.irradiationFile,
                            {"beam", "diffuse", "reflected", "global"},
                            {"beam irradiation (Wh/m2)", "diffuse irradiation (Wh/m2)", "reflected irradiation (Wh/m2)",
                             "global irradiation (Wh/m2)"},
                            items(true)});
        if (!o_.sunHoursFile.empty())
            made.push_back({o_.sunHoursFile, {"sun_hours"}, {"hours of direct sun"}, items(true)});
        if (!o_.shadowMasksFile.empty()) {
            const std::string clock = o_.utc ? "UTC" : "local solar time";
            SunFile masks{o_.shadowMasksFile, {}, {}, items(false)};
            for (double t : o_.times) {
                masks.names.push_back("shadow_" + Hours(t));
                masks.descriptions.push_back("cast shadow at " + Hours(t) + " " + clock);
            }
            masks.items.emplace_back("CLOCK", clock);
            made.push_back(std::move(masks));
        }
        return made;
    }

    // Irradiation (beam, diffuse, reflected, global; when asked for) and sun hours
    // (when asked for) of the window's core summed over the days, core-sized.
    void days(const skyline::Grid& grid, const TileWindow& w, const std::vector<std::vector<float>>& bands,
              std::vector<std::vector<float>>* planes, std::vector<float>* hours) const {
        const std::size_t core = std::size_t{w.coreWidth} * w.coreHeight;
        const std::vector<float> svf =
            skyline::SkyViewFactor(grid, w.cellX, w.cellY, bands, *w.azimuths, skyline::SvfModel::Sloped);
        const HorizonBrackets brackets(*w.azimuths);
        planes->assign(o_.irradiationFile.empty() ? 0 : 4, std::vector<float>(core));
        hours->assign(o_.sunHoursFile.empty() ? 0 : core, 0.0f);
        const solar::DayClock clock(o_.timeStep);
        const solar::Turbidity turbidity(o_.linke);
        std::vector<solar::Day> days;
        for (int d = o_.firstDay; d <= o_.lastDay; ++d) days.emplace_back(d, clock, turbidity, o_.albedo);
        const DaySumsJob job{.grid = grid,
                             .cellX = w.cellX,
                             .cellY = w.cellY,
                             .svf = &svf,
                             .bands = &bands,
                             .brackets = &brackets,
                             .location = location_.get(),
                             .days = &days,
                             .linke = o_.linke,
                             .albedo = o_.albedo,
                             .window = w,
                             .width = source_.dem.width,
                             .height = source_.dem.height};
        DayPlanes sums{std::move(*planes), std::move(*hours)};
        const bool whole = SumDays(job, &sums);
        *planes = std::move(sums.irradiation);
        *hours = std::move(sums.hours);
        if (!whole) throw std::bad_alloc();
    }

    // Mask k of the window's core, core-sized: 1 where the terrain or the earth hides
    // the sun, else 0.
    void mask(std::size_t k, const skyline::Grid& grid, const TileWindow& w,
              const std::vector<std::vector<float>>& bands, std::vector<float>* band) const {
        const double time = o_.times[k];
        band->resize(std::size_t{w.coreWidth} * w.coreHeight);
        const double declination = solar::Declination(o_.firstDay);
        const double equation = solar::EquationOfTime(o_.firstDay);
        const HorizonBrackets brackets(*w.azimuths);
        const bool whole = ForEachRow<RowLocation>(w.coreHeight, [&](std::uint32_t r, RowLocation& row) {
            const std::uint32_t y = w.coreY + r;
            location_->locate(w.y + y, &row);
            for (std::uint32_t c = 0; c < w.coreWidth; ++c) {
                const std::uint32_t x = w.x + w.coreX + c;  // in the DEM
                const std::size_t i = std::size_t{y} * grid.width + (w.coreX + c);
                const std::size_t out = std::size_t{r} * w.coreWidth + c;
                if (std::isnan(grid.z[i])) {
                    (*band)[out] = kNoData;
                    continue;
                }
                const double solarTime = o_.utc ? time + row.longitude[x] / 15 + equation : time;
                const double hourAngle = solar::HourAngle(solarTime);
                const solar::SunPlace sun = solar::SunPath(row.latitude[x] * kRadians, declination)
                                                .at(std::cos(hourAngle), std::sin(hourAngle));
                const double elevation = std::asin(sun.sinElevation) / kRadians;
                const double azimuth = (sun.azimuth() - row.gridNorth[x]) / kRadians;
                // As the hillshade decides its cast shadows.
                const bool hidden =
                    elevation <= 0 || skyline::HorizonTowards(bands, brackets.at(azimuth), i) > elevation;
                (*band)[out] = hidden ? 1.0f : 0.0f;
            }
        });
        if (!whole) throw std::bad_alloc();
    }

private:
    // The dataset's items: the days and, for the days' sums, the model's settings.
    Items items(bool daily) const {
        std::string days = std::to_string(o_.firstDay);
        if (o_.lastDay != o_.firstDay) days.append(1, '-').append(std::to_string(o_.lastDay));
        Items list{{"DAYS", days}};
        if (daily)
            list.insert(
                list.end(),
                {{"TIME_STEP_HOURS", Number(o_.timeStep)}, {"LINKE", Number(o_.linke)}, {"ALBEDO", Number(o_.albedo)}});
        if (o_.latitude) list.emplace_back("LATITUDE", Number(*o_.latitude));
        return list;
    }

    const SkyOptions& o_;
    const OutputSource& source_;
    std::unique_ptr<DemLocation> location_;
};

// Opens `file` through GDAL on the DEM's grid, its names in the image description.
status::Status OpenSunFile(RasterOutputFile* raster, const SunFile& file, const OutputSource& source, std::FILE* err) {
    std::string joined;
    for (const std::string& name : file.names) joined.append(joined.empty() ? "" : " ").append(name);
    Items metadata = file.items;
    metadata.emplace_back("TIFFTAG_IMAGEDESCRIPTION", joined);
    return raster->open(file.path, source.format, source.dem, file.descriptions, metadata, err);
}

// The whole DEM's sunlight, every band kept until the end.
class SunlightOutput final : public BandOutput {
public:
    SunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<DemLocation> location)
        : o_(o), source_(source), sunlight_(o, source, std::move(location)) {}

    status::Status start(std::FILE*) override {
        bands_.resize(source_.azimuths.size());
        return status::Ok();
    }
    status::Status take(const std::vector<std::size_t>& directions, const std::vector<std::vector<float>>& bands,
                        std::FILE*) override {
        for (std::size_t j = 0; j < directions.size(); ++j) bands_[directions[j]] = bands[j];
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        const skyline::Grid grid = source_.dem.grid();
        const TileWindow whole = WholeWindow(source_);
        std::vector<std::vector<float>> planes;
        std::vector<float> hours;
        if (sunlight_.daily()) sunlight_.days(grid, whole, bands_, &planes, &hours);
        for (const SunFile& file : sunlight_.files()) {
            // Each plane made, or handed over, as it is written.
            const auto make = [&](std::size_t k, std::vector<float>* samples) {
                if (file.path == o_.irradiationFile)
                    samples->swap(planes[k]);
                else if (file.path == o_.sunHoursFile)
                    samples->swap(hours);
                else
                    sunlight_.mask(k, grid, whole, bands_, samples);
            };
            if (status::Status written = write(file, make, out, err); !written.ok()) return written;
        }
        return status::Ok();
    }

private:
    // A file whose band k make(k, &samples) makes as it is written: through GDAL one
    // band at a time, as our own OpenEXR all together.
    template <class Make>
    status::Status write(const SunFile& file, Make&& make, std::FILE* out, std::FILE* err) const {
        const std::uint32_t width = source_.dem.width, height = source_.dem.height;
        if (WritesOwnExr(file.path, source_.format)) {  // its line blocks mix the bands
            encode::FloatChannels channels{width, height, file.names,
                                           std::vector<std::vector<float>>(file.names.size())};
            for (std::size_t k = 0; k < file.names.size(); ++k) make(k, &channels.planes[k]);
            return WriteOwnExr(file.path, channels, out, err);
        }
        RasterOutputFile raster;
        status::Status written = OpenSunFile(&raster, file, source_, err);
        std::vector<float> band;
        for (std::size_t k = 0; written.ok() && k < file.names.size(); ++k) {
            make(k, &band);
            written = raster.writeBand(k, band.data(), err);
        }
        return written.ok() ? raster.commit(out, err) : written;
    }

    const SkyOptions& o_;
    const OutputSource& source_;
    Sunlight sunlight_;
    std::vector<std::vector<float>> bands_;
};

// The sunlight of a run in tiles: each tile's bands kept until its end, its core
// written into the files open for the run.
class TiledSunlightOutput final : public TileOutput {
public:
    TiledSunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<DemLocation> location)
        : o_(o),
          source_(source),
          sunlight_(o, source, std::move(location)),
          files_(sunlight_.files()),
          rasters_(files_.size()) {}

    status::Status start(std::FILE* err) override {
        for (std::size_t f = 0; f < files_.size(); ++f)
            if (status::Status opened = OpenSunFile(&rasters_[f], files_[f], source_, err); !opened.ok()) return opened;
        return status::Ok();
    }
    status::Status take(const Dem&, const TileWindow&, const std::vector<std::size_t>& directions,
                        const std::vector<std::vector<float>>& bands, std::FILE*) override {
        bands_.resize(source_.azimuths.size());
        for (std::size_t j = 0; j < directions.size(); ++j) bands_[directions[j]] = bands[j];
        return status::Ok();
    }
    status::Status endTile(const Dem& tile, const TileWindow& w, std::FILE* err) override {
        const skyline::Grid grid = tile.grid();
        std::vector<std::vector<float>> planes;
        std::vector<float> hours, band;
        if (sunlight_.daily()) sunlight_.days(grid, w, bands_, &planes, &hours);
        for (std::size_t f = 0; f < files_.size(); ++f)
            for (std::size_t k = 0; k < files_[f].names.size(); ++k) {
                const std::vector<float>* samples = &band;
                if (files_[f].path == o_.irradiationFile)
                    samples = &planes[k];
                else if (files_[f].path == o_.sunHoursFile)
                    samples = &hours;
                else
                    sunlight_.mask(k, grid, w, bands_, &band);
                const std::uint32_t x = w.x + w.coreX, y = w.y + w.coreY;
                if (status::Status written =
                        rasters_[f].writeWindow(k, x, y, w.coreWidth, w.coreHeight, samples->data(), err);
                    !written.ok())
                    return written;
            }
        bands_.clear();
        return status::Ok();
    }
    status::Status finish(std::FILE* out, std::FILE* err) override {
        for (RasterOutputFile& raster : rasters_)
            if (status::Status committed = raster.commit(out, err); !committed.ok()) return committed;
        return status::Ok();
    }

private:
    const SkyOptions& o_;
    const OutputSource& source_;
    Sunlight sunlight_;
    std::vector<SunFile> files_;
    std::vector<RasterOutputFile> rasters_;
    std::vector<std::vector<float>> bands_;
};

}  // namespace

namespace {

// Where the DEM's texels lie on the earth, for the sunlight `o` asks for: kSkySuccess
// with `location` set, else the failure said on `err` and its exit code.
int LocateForSunlight(const SkyOptions& o, const OutputSource& source, std::unique_ptr<DemLocation>* location,
                      std::FILE* err) {
    if (const status::Status placed = LocateDem(o.dem, source.dem.crsWkt, source.dem.geotransform, source.dem.width,
                                                source.dem.height, o.latitude, location);
        !placed.ok()) {
        std::fprintf(err, "%s: %s\n", kSkyProgram, status::Describe(placed).c_str());
        return placed.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyBadCommand;
    }
    if (o.utc && !(*location)->knowsLongitude()) {
        std::fprintf(err, "%s: --utc needs the DEM's longitude: %s carries no georeferencing for it\n", kSkyProgram,
                     o.dem.c_str());
        return kSkyBadCommand;
    }
    return kSkySuccess;
}

bool AsksForSunlight(const SkyOptions& o) {
    return !o.irradiationFile.empty() || !o.sunHoursFile.empty() || !o.shadowMasksFile.empty();
}

}  // namespace

int MakeSunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<BandOutput>* made,
                       std::FILE* err) {
    if (!AsksForSunlight(o)) return kSkySuccess;
    std::unique_ptr<DemLocation> location;
    if (const int code = LocateForSunlight(o, source, &location, err); code != kSkySuccess) return code;
    *made = std::make_unique<SunlightOutput>(o, source, std::move(location));
    return kSkySuccess;
}

int MakeTiledSunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<TileOutput>* made,
                            std::FILE* err) {
    if (!AsksForSunlight(o)) return kSkySuccess;
    std::unique_ptr<DemLocation> location;
    if (const int code = LocateForSunlight(o, source, &location, err); code != kSkySuccess) return code;
    *made = std::make_unique<TiledSunlightOutput>(o, source, std::move(location));
    return kSkySuccess;
}

}  // namespace sky
