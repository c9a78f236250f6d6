#include "sky/sunlight_output.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <numbers>
#include <thread>

#include "encode/exr_encoder.h"
#include "sky/dem_location.h"
#include "sky/sky_run.h"
#include "skyline/derived_products.h"
#include "solar/day_sum.h"
#include "solar/run_sum.h"

namespace sky {

namespace {

constexpr double kRadians = std::numbers::pi / 180;
constexpr float kNoData = skyline::kNoData;
// Texels along a row that share the sun's place: as many as the location places
// apart (sky/dem_location.cpp), between which it interpolates linearly anyway.
constexpr std::uint32_t kRun = 16;
static_assert(kRun <= solar::kRunMost);

using Items = std::vector<std::pair<std::string, std::string>>;

// skyline::BracketOf for many azimuths: the directions put in order once.
class Brackets {
public:
    explicit Brackets(const std::vector<double>& azimuths) {
        order_.resize(azimuths.size());
        for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
        std::sort(order_.begin(), order_.end(),
                  [&](std::size_t a, std::size_t b) { return Wrap(azimuths[a]) < Wrap(azimuths[b]); });
        for (std::size_t i : order_) wrapped_.push_back(Wrap(azimuths[i]));
    }
    // `azimuth` in degrees clockwise from the DEM's north.
    skyline::Bracket at(double azimuth) const {
        const double wanted = Wrap(azimuth);
        const std::size_t n = order_.size();
        // The last direction at or before it, else the last of all (the turn past 360).
        const std::size_t atOrBefore = std::upper_bound(wrapped_.begin(), wrapped_.end(), wanted) - wrapped_.begin();
        const std::size_t before = atOrBefore == 0 ? n - 1 : atOrBefore - 1;
        const std::size_t after = before + 1 == n ? 0 : before + 1;
        const double gap = Wrap(wrapped_[after] - wrapped_[before]);
        return {order_[before], order_[after], gap == 0 ? 0 : Wrap(wanted - wrapped_[before]) / gap};
    }

private:
    static double Wrap(double degrees) {
        if (degrees >= 0 && degrees < 360) return degrees;  // most: the sun's azimuths
        if (degrees < 0 && degrees >= -360) {  // the rest of them: what the fmods below give
            const double up = degrees + 360;
            return up == 360 ? 0 : up;
        }
        return std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
    }
    std::vector<std::size_t> order_;
    std::vector<double> wrapped_;
};

// Runs row(y, scratch) for every row on the machine's threads; false when memory ran out.
template <class Row>
bool ForEachRow(std::uint32_t height, Row&& row) {
    std::atomic<std::uint32_t> next{0};
    std::atomic<bool> exhausted{false};
    const auto work = [&] {
        try {
            RowLocation location;
            for (std::uint32_t y = next++; y < height && !exhausted; y = next++) row(y, location);
        } catch (const std::bad_alloc&) {
            exhausted = true;
        }
    };
    const unsigned threads = std::max(1u, std::min(std::thread::hardware_concurrency(), height));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (auto& thread : pool) thread.join();
    return !exhausted;
}

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
            list.insert(list.end(), {{"TIME_STEP_HOURS", Number(o_.timeStep)},
                                     {"LINKE", Number(o_.linke)},
                                     {"ALBEDO", Number(o_.albedo)}});
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
        const std::vector<float> svf =
            skyline::SkyViewFactor(grid, source_.cellX, source_.cellY, bands_, source_.azimuths,
                                   skyline::SvfModel::Sloped);
        const bool irradiation = !o_.irradiationFile.empty(), sunHours = !o_.sunHoursFile.empty();
        std::vector<std::vector<float>> planes(irradiation ? 4 : 0, std::vector<float>(texels));
        std::vector<float> hours(sunHours ? texels : 0);
        const solar::DayClock clock(o_.timeStep);
        const solar::Turbidity turbidity(o_.linke);
        std::vector<solar::Day> days;
        for (int d = o_.firstDay; d <= o_.lastDay; ++d) days.emplace_back(d, clock, turbidity, o_.albedo);
        const auto around = [&](double azimuth) {
            const skyline::Bracket bracket = brackets_.at(azimuth / kRadians);
            return solar::HorizonPair{bracket.a, bracket.b, bracket.t};
        };
        const bool whole = ForEachRow(grid.height, [&](std::uint32_t y, RowLocation& row) {
            location_->locate(y, &row);
            solar::RunTexels run;
            solar::RunTotals sums;
            std::vector<solar::StepSun> steps;
            std::size_t texels[solar::kRunMost];
            // Runs of kRun texels share the sun's place: their latitudes and norths differ
            // by far less than the sun's place is known to.
            for (std::uint32_t from = 0; from < grid.width; from += kRun) {
                const std::uint32_t to = std::min(grid.width, from + kRun);
                run.clear(bands_.size(), kNoData);
                double latitude = 0, north = 0;
                for (std::uint32_t x = from; x < to; ++x) {
                    latitude += row.latitude[x] / (to - from);
                    north += row.gridNorth[x] / (to - from);
                    const std::size_t i = std::size_t{y} * grid.width + x;
                    if (std::isnan(grid.z[i])) {
                        for (auto& plane : planes) plane[i] = kNoData;
                        if (sunHours) hours[i] = kNoData;
                        continue;
                    }
                    const skyline::SurfaceOrientation s =
                        skyline::OrientationAt(grid, source_.cellX, source_.cellY, x, y);
                    const double open = (1 + std::cos(s.slope)) / 2;
                    texels[run.count] = i;
                    run.add(solar::Surface(s.slope, s.aspect, std::clamp(svf[i] / open, 0.0, 1.0)),
                            solar::PressureRatio(grid.z[i]), [&](std::size_t d) { return bands_[d][i]; });
                }
                sums.clear();
                const solar::Trig latitudeTrig(latitude * kRadians);
                const double cosNorth = std::cos(north), sinNorth = std::sin(north);
                for (const solar::Day& day : days) {
                    solar::StepsOfDay(day, latitudeTrig, cosNorth, sinNorth, around, &steps);
                    solar::AddSteps(steps.data(), steps.size(), day.extraterrestrial, o_.linke, o_.albedo, run, &sums);
                }
                for (std::size_t k = 0; k < run.count; ++k) {
                    const std::size_t i = texels[k];
                    if (irradiation) {
                        planes[0][i] = static_cast<float>(sums.beam[k]);
                        planes[1][i] = static_cast<float>(sums.diffuse[k]);
                        planes[2][i] = static_cast<float>(sums.reflected[k]);
                        planes[3][i] = static_cast<float>(sums.beam[k] + sums.diffuse[k] + sums.reflected[k]);
                    }
                    if (sunHours) hours[i] = static_cast<float>(sums.sunHours[k]);
                }
            }
        });
        if (!whole) throw std::bad_alloc();
        if (irradiation) {
            const auto plane = [&](std::size_t k, std::vector<float>* samples) { samples->swap(planes[k]); };
            if (status::Status written = write(o_.irradiationFile, {"beam", "diffuse", "reflected", "global"},
                                               {"beam irradiation (Wh/m2)", "diffuse irradiation (Wh/m2)",
                                                "reflected irradiation (Wh/m2)", "global irradiation (Wh/m2)"},
                                               items(true), plane, out, err);
                !written.ok())
                return written;
        }
        if (sunHours) {
            const auto plane = [&](std::size_t, std::vector<float>* samples) { samples->swap(hours); };
            return write(o_.sunHoursFile, {"sun_hours"}, {"hours of direct sun"}, items(true), plane, out, err);
        }
        return status::Ok();
    }

    // One mask a time: 1 where the terrain or the earth hides the sun, else 0.
    void mask(double time, std::vector<float>* band) const {
        const skyline::Grid grid = source_.dem.grid();
        const double declination = solar::Declination(o_.firstDay);
        const double equation = solar::EquationOfTime(o_.firstDay);
        const bool whole = ForEachRow(grid.height, [&](std::uint32_t y, RowLocation& row) {
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
    Brackets brackets_;
    std::vector<std::vector<float>> bands_;
};

}  // namespace

int MakeSunlightOutput(const SkyOptions& o, const OutputSource& source, std::unique_ptr<BandOutput>* made,
                       std::FILE* err) {
    if (o.irradiationFile.empty() && o.sunHoursFile.empty() && o.shadowMasksFile.empty()) return kSkySuccess;
    std::unique_ptr<DemLocation> location;
    if (const status::Status placed =
            LocateDem(o.dem, source.dem.width, source.dem.height, o.latitude, &location);
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
