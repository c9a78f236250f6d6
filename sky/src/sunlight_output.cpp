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

class SunlightOutput final : public BandOutput {
public:
    SunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<DemLocation> location)
        : o_(o), source_(source), location_(std::move(location)), brackets_(source.azimuths) {}

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
        if (!o_.irradiationFile.empty() || !o_.sunHoursFile.empty())
            if (status::Status written = writeDays(out, err); !written.ok()) return written;
        if (!o_.shadowMasksFile.empty())
            if (status::Status written = writeMasks(out, err); !written.ok()) return written;
        return status::Ok();
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

    // A file of bands named `names` (OpenEXR's channels, a TIFF's image description)
    // and described by `descriptions`, band k made by make(k, &samples) as it is
    // written: through GDAL one band at a time, as our own OpenEXR all together.
    template <class Make>
    status::Status write(const std::string& path, const std::vector<std::string>& names,
                         const std::vector<std::string>& descriptions, Items metadata, Make&& make, std::FILE* out,
                         std::FILE* err) const {
        const std::uint32_t width = source_.dem.width, height = source_.dem.height;
        if (WritesOwnExr(path, source_.format)) {  // its line blocks mix the bands
            encode::FloatChannels channels{width, height, names, std::vector<std::vector<float>>(names.size())};
            for (std::size_t k = 0; k < names.size(); ++k) make(k, &channels.planes[k]);
            return WriteOwnExr(path, channels, out, err);
        }
        std::string joined;
        for (const std::string& name : names) joined.append(joined.empty() ? "" : " ").append(name);
        metadata.emplace_back("TIFFTAG_IMAGEDESCRIPTION", joined);
        RasterOutputFile file;
        status::Status written = file.open(path, source_.format, source_.dem, descriptions, metadata, err);
        std::vector<float> band;
        for (std::size_t k = 0; written.ok() && k < names.size(); ++k) {
            make(k, &band);
            written = file.writeBand(k, band.data(), err);
        }
        return written.ok() ? file.commit(out, err) : written;
    }

    // Irradiation (beam, diffuse, reflected, global) and sun hours summed over the days.
    status::Status writeDays(std::FILE* out, std::FILE* err) {
        const skyline::Grid grid = source_.dem.grid();
        const std::size_t texels = std::size_t{grid.width} * grid.height;
        const std::vector<float> svf = skyline::SkyViewFactor(grid, source_.cellX, source_.cellY, bands_,
                                                              source_.azimuths, skyline::SvfModel::Sloped);
        const bool irradiation = !o_.irradiationFile.empty(), sunHours = !o_.sunHoursFile.empty();
        DayPlanes sums{std::vector<std::vector<float>>(irradiation ? 4 : 0, std::vector<float>(texels)),
                       std::vector<float>(sunHours ? texels : 0)};
        const solar::DayClock clock(o_.timeStep);
        const solar::Turbidity turbidity(o_.linke);
        std::vector<solar::Day> days;
        for (int d = o_.firstDay; d <= o_.lastDay; ++d) days.emplace_back(d, clock, turbidity, o_.albedo);
        const DaySumsJob job{grid,       source_.cellX,   source_.cellY, &svf,     &bands_,
                             &brackets_, location_.get(), &days,         o_.linke, o_.albedo};
        const bool whole = SumDays(job, &sums);
        if (!whole) throw std::bad_alloc();
        if (irradiation) {
            const auto plane = [&](std::size_t k, std::vector<float>* samples) { samples->swap(sums.irradiation[k]); };
            if (status::Status written = write(o_.irradiationFile, {"beam", "diffuse", "reflected", "global"},
                                               {"beam irradiation (Wh/m2)", "diffuse irradiation (Wh/m2)",
                                                "reflected irradiation (Wh/m2)", "global irradiation (Wh/m2)"},
                                               items(true), plane, out, err);
                !written.ok())
                return written;
        }
        if (sunHours) {
            const auto plane = [&](std::size_t, std::vector<float>* samples) { samples->swap(sums.hours); };
            return write(o_.sunHoursFile, {"sun_hours"}, {"hours of direct sun"}, items(true), plane, out, err);
        }
        return status::Ok();
    }

    // One mask a time: 1 where the terrain or the earth hides the sun, else 0.
    void mask(double time, std::vector<float>* band) const {
        const skyline::Grid grid = source_.dem.grid();
        const double declination = solar::Declination(o_.firstDay);
        const double equation = solar::EquationOfTime(o_.firstDay);
        const bool whole = ForEachRow<RowLocation>(grid.height, [&](std::uint32_t y, RowLocation& row) {
            location_->locate(y, &row);
            for (std::uint32_t x = 0; x < grid.width; ++x) {
                const std::size_t i = std::size_t{y} * grid.width + x;
                if (std::isnan(grid.z[i])) {
                    (*band)[i] = kNoData;
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
                    elevation <= 0 || skyline::HorizonTowards(bands_, brackets_.at(azimuth), i) > elevation;
                (*band)[i] = hidden ? 1.0f : 0.0f;
            }
        });
        if (!whole) throw std::bad_alloc();
    }

    status::Status writeMasks(std::FILE* out, std::FILE* err) const {
        const std::size_t texels = std::size_t{source_.dem.width} * source_.dem.height;
        const std::string clock = o_.utc ? "UTC" : "local solar time";
        std::vector<std::string> names, descriptions;
        for (double t : o_.times) {
            names.push_back("shadow_" + Hours(t));
            descriptions.push_back("cast shadow at " + Hours(t) + " " + clock);
        }
        Items metadata = items(false);
        metadata.emplace_back("CLOCK", clock);
        const auto made = [&](std::size_t k, std::vector<float>* band) {
            band->resize(texels);
            mask(o_.times[k], band);
        };
        return write(o_.shadowMasksFile, names, descriptions, std::move(metadata), made, out, err);
    }

    const SkyOptions& o_;
    const OutputSource& source_;
    std::unique_ptr<DemLocation> location_;
    HorizonBrackets brackets_;
    std::vector<std::vector<float>> bands_;
};

}  // namespace

int MakeSunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<BandOutput>* made,
                       std::FILE* err) {
    if (o.irradiationFile.empty() && o.sunHoursFile.empty() && o.shadowMasksFile.empty()) return kSkySuccess;
    std::unique_ptr<DemLocation> location;
    if (const status::Status placed = LocateDem(o.dem, source.dem.width, source.dem.height, o.latitude, &location);
        !placed.ok()) {
        std::fprintf(err, "%s: %s\n", kSkyProgram, status::Describe(placed).c_str());
        return placed.code == status::Code::OutOfMemory ? kSkyBadInput : kSkyBadCommand;
    }
    if (o.utc && !location->knowsLongitude()) {
        std::fprintf(err, "%s: --utc needs the DEM's longitude: %s carries no georeferencing for it\n", kSkyProgram,
                     o.dem.c_str());
        return kSkyBadCommand;
    }
    *made = std::make_unique<SunlightOutput>(o, source, std::move(location));
    return kSkySuccess;
}

}  // namespace sky
