// umbrascope-sky's sunlight outputs end to end: the day's length on open ground,
// a pit the winter sun never reaches, masks against the hillshade's cast shadows,
// and the lines it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "sky/dem.h"
#include "sky/dem_location.h"
#include "sky_fixtures.h"
#include "solar/sun_position.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;

// A float TIFF DEM of `width` x `height` texels without georeferencing.
void WritePlainDem(const std::string& path, std::uint32_t width, std::uint32_t height, std::vector<float> heights) {
    encode::FloatChannels dem{width, height, {"h"}, {std::move(heights)}};
    std::vector<std::uint8_t> bytes;
    std::string why;
    ASSERT_TRUE(encode::EncodeFloatTiff(dem, &bytes, &why, {}).ok()) << why;
    WriteBytes(path, bytes);
}

double DayHours(double latitude, int day) {
    const double c = -std::tan(latitude * kDeg) * std::tan(solar::Declination(day));
    return c >= 1 ? 0 : c <= -1 ? 24 : 2 * std::acos(c) / kDeg / 15;
}

// Where texels lie, PROJ placing every 16th row and column: between them, as PROJ
// places them to within a hundredth of a texel, north as the meridians converge (1 km
// texels, 3 degrees west of UTM 33N's central meridian).
TEST(SkySunlight, TexelsAreLocatedAsProjPlacesThem) {
    TempDir dir;
    const std::uint32_t width = 100, height = 70;
    WriteGeoDem(dir.path("dem.tif"), {width, height, std::vector<float>(width * height, 0.0f), "", false, 0,
                                      std::array<double, 6>{270000, 1000, 0, 5300000, 0, -1000}});
    sky::DemHeader header;
    ASSERT_TRUE(sky::ReadDemHeader(dir.path("dem.tif"), {}, &header));
    std::unique_ptr<sky::DemLocation> location;
    ASSERT_TRUE(sky::LocateDem(dir.path("dem.tif"), header.band->crsWkt, header.band->geotransform, width, height,
                               std::nullopt, &location)
                    .ok());
    const std::pair<std::uint32_t, std::uint32_t> texels[] = {{0, 0}, {7, 9}, {40, 23}, {99, 69}, {98, 68}, {50, 64}};
    sky::RowLocation row;
    for (const auto& [x, y] : texels) {
        location->locate(y, &row);
        const std::string at =
            std::to_string(270000 + 1000 * (x + 0.5)) + " " + std::to_string(5300000 - 1000 * (y + 0.5));
        const ProcessResult proj = RunProcess(
            {"/bin/sh", "-c", "echo " + at + " | gdaltransform -output_xy -s_srs EPSG:32633 -t_srs EPSG:4326"});
        double lon = 0, lat = 0;
        ASSERT_EQ(std::sscanf(proj.out.c_str(), "%lf %lf", &lon, &lat), 2) << proj.out << proj.err;
        EXPECT_NEAR(row.latitude[x], lat, 1e-4) << x << "," << y;
        EXPECT_NEAR(row.longitude[x], lon, 1e-4) << x << "," << y;
        const double convergence = std::atan(std::tan((lon - 15) * kDeg) * std::sin(lat * kDeg));
        EXPECT_NEAR(row.gridNorth[x] / kDeg, convergence / kDeg, 0.01) << x << "," << y;
    }
}

// On flat ground the sun shines from sunrise to sunset, at the latitude of the
// georeferencing (on the central meridian of UTM 33N) or the one given.
TEST(SkySunlight, FlatGroundSeesTheWholeDay) {
    const struct {
        bool georeferenced;
        std::vector<std::string> extra;
        double latitude;
        int day;
    } cases[] = {
        {true, {}, 46.9522, 172},
        {true, {}, 46.9522, 355},
        {false, {"--latitude", "60", "--cell", "25"}, 60, 172},
        {false, {"--latitude", "-30", "--cell", "25"}, -30, 172},
        {false, {"--latitude", "75", "--cell", "25"}, 75, 355},  // polar night: no sun, no error
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<float> flat(16 * 9, 300.0f);
        flat[5] = -500.0f;  // no data
        if (c.georeferenced)
            WriteGeoDem(dir.path() + "/dem.tif", {16, 9, flat, "-500", false, 0, {{{500000, 25, 0, 5200000, 0, -25}}}});
        else
            WritePlainDem(dir.path() + "/dem.tif", 16, 9, flat);
        auto args = InScratch(dir, {"@dem.tif", "--nodata", "-500", "--day", std::to_string(c.day), "--sun-hours",
                                    "@hours.tif", "--irradiation", "@sun.tif"});
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ProcessResult r = RunSky(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const ReadFloats hours = ReadFloatTiff(dir.path() + "/hours.tif");
        const ReadFloats sun = ReadFloatTiff(dir.path() + "/sun.tif");
        ASSERT_EQ(hours.names, std::vector<std::string>{"sun_hours"});
        ASSERT_EQ(sun.names, (std::vector<std::string>{"beam", "diffuse", "reflected", "global"}));
        for (std::size_t i : {std::size_t{5}, std::size_t{40}, std::size_t{143}}) {
            const float expected = i == 5 ? -9999.0f : static_cast<float>(DayHours(c.latitude, c.day));
            EXPECT_NEAR(hours.planes.at("sun_hours")[i], expected, 0.01) << c.latitude << " " << i;
            if (i == 5) continue;
            const float beam = sun.planes.at("beam")[i], diffuse = sun.planes.at("diffuse")[i];
            EXPECT_EQ(sun.planes.at("reflected")[i], 0.0f);
            EXPECT_NEAR(sun.planes.at("global")[i], beam + diffuse, 0.01);
            EXPECT_EQ(beam > 0, expected > 0) << c.latitude;
        }
    }
}

// At the bottom of a pit whose walls rise higher than the winter sun the beam
// never arrives, and the sky's diffuse light is cut by what the walls hide.
TEST(SkySunlight, PitGetsNoWinterSun) {
    TempDir dir;
    std::vector<float> heights(21 * 21, 100.0f);
    for (int y = 9; y <= 11; ++y)
        for (int x = 9; x <= 11; ++x) heights[y * 21 + x] = 0;
    WritePlainDem(dir.path() + "/dem.tif", 21, 21, heights);
    const ProcessResult r = RunSky(InScratch(dir, {"@dem.tif", "--cell", "10", "--latitude", "47", "--day", "355",
                                                   "--irradiation", "@sun.tif", "--sun-hours", "@hours.tif"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ReadFloats sun = ReadFloatTiff(dir.path() + "/sun.tif");
    const ReadFloats hours = ReadFloatTiff(dir.path() + "/hours.tif");
    const std::size_t pit = 10 * 21 + 10, plain = 2 * 21 + 2;
    EXPECT_EQ(sun.planes.at("beam")[pit], 0.0f);
    EXPECT_EQ(hours.planes.at("sun_hours")[pit], 0.0f);
    EXPECT_GT(sun.planes.at("beam")[plain], 1000.0f);
    EXPECT_GT(sun.planes.at("diffuse")[pit], 0.0f);
    EXPECT_LT(sun.planes.at("diffuse")[pit], 0.5f * sun.planes.at("diffuse")[plain]);
}

// A cliff facing west: in the morning its foot lies in its shadow, which each
// mask marks exactly where the hillshade for the same sun shows a cast shadow.
TEST(SkySunlight, MasksFollowTheHillshadeAtTheSameSun) {
    TempDir dir;
    const std::uint32_t w = 40, h = 12;
    std::vector<float> heights(w * h);
    for (std::uint32_t i = 0; i < heights.size(); ++i) heights[i] = i % w >= 24 ? 60.0f : 0.0f;
    WritePlainDem(dir.path() + "/dem.tif", w, h, heights);
    const double times[] = {7.5, 9};
    const ProcessResult r = RunSky(InScratch(dir, {"@dem.tif", "--cell", "10", "--latitude", "47", "--day", "172",
                                                   "--shadow-masks", "@masks.tif", "--times", "7.5,9"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ReadFloats masks = ReadFloatTiff(dir.path() + "/masks.tif");
    ASSERT_EQ(masks.names, (std::vector<std::string>{"shadow_07:30", "shadow_09:00"}));
    for (std::size_t k = 0; k < 2; ++k) {
        const double hour = solar::HourAngle(times[k]);
        const solar::SunPlace sun =
            solar::SunPath(47 * kDeg, solar::Declination(172)).at(std::cos(hour), std::sin(hour));
        char place[64];
        std::snprintf(place, sizeof place, "%.12g,%.12g", sun.azimuth() / kDeg, std::asin(sun.sinElevation) / kDeg);
        const ProcessResult shaded =
            RunSky(InScratch(dir, {"@dem.tif", "--cell", "10", "--shade", "@shade.png", "--sun", place}));
        ASSERT_EQ(shaded.exitCode, 0) << shaded.err;
        const ReadPng shade = ReadGreyPng(dir.path() + "/shade.png");
        const std::vector<float>& mask = masks.planes.at(masks.names[k]);
        int shadowed = 0;
        for (std::size_t i = 0; i < mask.size(); ++i) {
            // Flat texels away from the cliff's edge: dark in the hillshade only when cast in shadow.
            if (i % w == 23 || i % w == 24) continue;
            EXPECT_EQ(mask[i] == 1.0f, shade.samples[i] == 0) << k << " " << i;
            shadowed += mask[i] == 1.0f;
        }
        EXPECT_GT(shadowed, 0) << k;
    }
}

// Two ways to the same sun give the same files: masks at UTC times against masks at
// the local solar times the DEM's longitude gives (15 E, UTM 33N's central meridian),
// and each output as .exr against the same as .tif.
TEST(SkySunlight, SameSunSameOutputs) {
    TempDir dir;
    // A cliff facing west whose shadow moves a texel a minute across the plain at dawn.
    std::vector<float> heights(48 * 5, 0.0f);
    for (std::size_t i = 0; i < heights.size(); ++i) heights[i] = i % 48 >= 40 ? 60.0f : 0.0f;
    WriteGeoDem(dir.path() + "/dem.tif", {48, 5, heights, "", false, 0, {{{499400, 25, 0, 5200000, 0, -25}}}});
    char local[64];  // UTC + 15 / 15 + E
    std::snprintf(local, sizeof local, "%.6f,%.6f", 4.5 + 1 + solar::EquationOfTime(172),
                  5 + 1 + solar::EquationOfTime(172));
    const struct {
        std::vector<std::string> a, b;
    } cases[] = {
        {{"--shadow-masks", "@a.tif", "--times", "4.5,5", "--utc"}, {"--shadow-masks", "@b.tif", "--times", local}},
        {{"--shadow-masks", "@a.exr", "--times", "6,8"}, {"--shadow-masks", "@b.tif", "--times", "6,8"}},
        {{"--irradiation", "@a.exr"}, {"--irradiation", "@b.tif"}},
        {{"--sun-hours", "@a.exr"}, {"--sun-hours", "@b.tif"}},
    };
    for (const auto& c : cases) {
        ReadFloats read[2];
        for (int k = 0; k < 2; ++k) {
            auto args = InScratch(dir, {"@dem.tif", "--day", "172"});
            const auto own = InScratch(dir, k == 0 ? c.a : c.b);
            args.insert(args.end(), own.begin(), own.end());
            const ProcessResult r = RunSky(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const std::string& file = own[1];
            read[k] = file.ends_with(".exr") ? ReadFloatExr(file) : ReadFloatTiff(file);
        }
        // Sorted: an .exr keeps its channels in the order of their names.
        for (ReadFloats& r : read) std::sort(r.names.begin(), r.names.end());
        ASSERT_EQ(read[0].names.size(), read[1].names.size()) << c.a[0];
        for (std::size_t n = 0; n < read[0].names.size(); ++n) {
            const std::vector<float>& a = read[0].planes.at(read[0].names[n]);
            EXPECT_EQ(a, read[1].planes.at(read[1].names[n])) << c.a[0] << " " << read[0].names[n];
            EXPECT_NE(*std::max_element(a.begin(), a.end()), *std::min_element(a.begin(), a.end())) << c.a[0];
        }
    }
}

// Bad settings are each a clear line and exit 7.
TEST(SkySunlight, RefusesBadSettings) {
    TempDir dir;
    WritePlainDem(dir.path() + "/dem.tif", 8, 8, std::vector<float>(64, 1.0f));
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--day", "172", "--irradiation", "@a.tif"}, "give --latitude"},
        {{"--day", "0", "--irradiation", "@a.tif", "--latitude", "4"}, "--day needs"},
        {{"--day", "367", "--sun-hours", "@a.tif", "--latitude", "4"}, "--day needs"},
        {{"--day", "20,10", "--sun-hours", "@a.tif", "--latitude", "4"}, "runs backwards"},
        {{"--day", "20,30", "--shadow-masks", "@a.tif", "--times", "9", "--latitude", "4"}, "one day"},
        {{"--day", "20", "--shadow-masks", "@a.tif", "--times", "9,25", "--latitude", "4"}, "--times needs"},
        {{"--day", "20", "--shadow-masks", "@a.tif", "--latitude", "4"}, "needs the times"},
        {{"--day", "20", "--shadow-masks", "@a.tif", "--times", "9,9.001", "--latitude", "4"}, "twice"},
        {{"--day", "20", "--shadow-masks", "@a.tif", "--times", "9", "--utc", "--latitude", "4"}, "longitude"},
        {{"--day", "20", "--irradiation", "@a.tif", "--time-step", "0", "--latitude", "4"}, "--time-step needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--linke", "0.5", "--latitude", "4"}, "--linke needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--albedo", "1.5", "--latitude", "4"}, "--albedo needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--latitude", "91"}, "--latitude needs"},
        {{"--day", "20,400", "--irradiation", "@a.tif", "--latitude", "4"}, "--day needs"},
        {{"--day", "20", "--shadow-masks", "@a.tif", "--times=-1,5", "--latitude", "4"}, "--times needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--time-step=-1", "--latitude", "4"}, "--time-step needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--linke", "11", "--latitude", "4"}, "--linke needs"},
        {{"--day", "20", "--irradiation", "@a.tif", "--albedo=-0.1", "--latitude", "4"}, "--albedo needs"},
        {{"--irradiation", "@a.tif", "--latitude", "4"}, "need --day"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"@dem.tif", "--cell", "5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = RunSky(InScratch(dir, args));
        EXPECT_EQ(r.exitCode, 7) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path() + "/a.tif")) << c.says;
    }
}

}  // namespace
