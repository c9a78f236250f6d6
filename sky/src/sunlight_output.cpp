#include "sky/sunlight_output.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <numbers>
#include <thread>

#include "encode/exr_encoder.h"
#include "encode/float_tiff_stream.h"
#include "encode/output_file.h"
#include "encode/tiff_encoder.h"
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
    encode::TiffExtras extras(const std::vector<std::string>& descriptions, const std::string& items) const {
        encode::TiffExtras e;
        e.software = kSkyProgram;
        std::string xml = "<GDALMetadata>\n" + items;
        for (std::size_t i = 0; i < descriptions.size(); ++i)
            xml += "  <Item name=\"DESCRIPTION\" sample=\"" + std::to_string(i) + "\" role=\"description\">" +
                   descriptions[i] + "</Item>\n";
        e.gdalMetadata = xml + "</GDALMetadata>\n";
        e.gdalNoData = "-9999";
        if (source_.dem.tiff) e.geo = source_.dem.tiff->geo;
        return e;
    }

    std::string items(bool daily) const {
        const auto item = [](const char* name, const std::string& value) {
            return std::string("  <Item name=\"") + name + "\">" + value + "</Item>\n";
        };
        std::string days = std::to_string(o_.firstDay);
        if (o_.lastDay != o_.firstDay) days.append(1, '-').append(std::to_string(o_.lastDay));
        std::string text = item("DAYS", days);
        if (daily)
            text += item("TIME_STEP_HOURS", Number(o_.timeStep)) + item("LINKE", Number(o_.linke)) +
                    item("ALBEDO", Number(o_.albedo));
        if (o_.latitude) text += item("LATITUDE", Number(*o_.latitude));
        return text;
    }

    status::Status write(const std::string& path, const encode::FloatChannels& channels, const encode::TiffExtras& e,
                         std::FILE* out, std::FILE* err) const {
        std::vector<std::uint8_t> bytes;
        std::string why;
        const status::Status made = encode::FloatFormatOf(path) == encode::FloatFormat::Exr
                                        ? encode::EncodeFloatExr(channels, &bytes, &why)
                                        : encode::EncodeFloatTiff(channels, &bytes, &why, e);
        if (!made.ok()) {
            ReportFailure(err, "cannot make " + path, made.code, why);
            return made;
        }
        if (status::Status written = encode::WriteFileAtomically(path, bytes); !written.ok()) {
            ReportFailure(err, "cannot write " + path, written.code);
            return written;
        }
        std::fprintf(out, "wrote %s\n", path.c_str());
        return status::Ok();
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
            encode::FloatChannels channels{grid.width, grid.height, {"beam", "diffuse", "reflected", "global"},
                                           std::move(planes)};
            const auto e = extras({"beam irradiation (Wh/m2)", "diffuse irradiation (Wh/m2)",
                                   "reflected irradiation (Wh/m2)", "global irradiation (Wh/m2)"},
                                  items(true));
            if (status::Status written = write(o_.irradiationFile, channels, e, out, err); !written.ok())
                return written;
        }
        if (sunHours) {
            encode::FloatChannels channels{grid.width, grid.height, {"sun_hours"}, {std::move(hours)}};
            const auto e = extras({"hours of direct sun"}, items(true));
            if (status::Status written = write(o_.sunHoursFile, channels, e, out, err); !written.ok()) return written;
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

    status::Status writeMasks(std::FILE* out, std::FILE* err) {
        const skyline::Grid grid = source_.dem.grid();
        const std::string clock = o_.utc ? "UTC" : "local solar time";
        std::vector<std::string> names, descriptions;
        for (double t : o_.times) {
            names.push_back("shadow_" + Hours(t));
            descriptions.push_back("cast shadow at " + Hours(t) + " " + clock);
        }
        const auto e = extras(descriptions, items(false) + "  <Item name=\"CLOCK\">" + clock + "</Item>\n");
        const std::string& path = o_.shadowMasksFile;
        std::vector<float> band(std::size_t{grid.width} * grid.height);
        if (encode::FloatFormatOf(path) == encode::FloatFormat::Exr) {  // its line blocks mix the bands
            encode::FloatChannels channels{grid.width, grid.height, names, {}};
            for (double t : o_.times) {
                mask(t, &band);
                channels.planes.push_back(band);
            }
            return write(path, channels, e, out, err);
        }
        encode::FloatTiffStream stream;
        std::string why;
        status::Status written = stream.open(path, grid.width, grid.height, names, e, &why);
        for (std::size_t k = 0; written.ok() && k < o_.times.size(); ++k) {
            mask(o_.times[k], &band);
            written = stream.writeBand(k, band.data(), &why);
        }
        if (written.ok()) written = stream.commit(&why);
        if (!written.ok()) {
            ReportFailure(err, (why.empty() ? "cannot write " : "cannot make ") + path, written.code, why);
            return written;
        }
        std::fprintf(out, "wrote %s\n", path.c_str());
        return status::Ok();
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
