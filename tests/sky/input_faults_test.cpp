// umbrascope-sky on the inputs a hostile run found it wanting on, one table row each.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "sky_fixtures.h"

namespace {

// Texel `texel` of band `band` of an output (the first band when empty), or NaN.
float ValueAt(const std::string& path, const std::string& band, std::size_t texel) {
    std::map<std::string, std::vector<float>> planes;
    if (path.ends_with(".png")) {
        const std::vector<std::uint16_t> samples = ReadGreyPng(path).samples;
        planes[""].assign(samples.begin(), samples.end());
    } else {
        planes = (path.ends_with(".exr") ? ReadFloatExr(path) : ReadFloatTiff(path)).planes;
    }
    const auto plane = band.empty() ? planes.begin() : planes.find(band);
    return plane == planes.end() || texel >= plane->second.size() ? NAN : plane->second[texel];
}

TEST(SkyInputFaults, EachRunRefusesWithItsReasonOrWritesTheSoundValue) {
    TempDir dir;
    WriteBytes(dir.path("flat.pgm"), PnmBytes('5', 9, 7, 65535, std::vector<std::uint16_t>(9 * 7, 1000)));
    WriteInt16Dem(dir.path("v.tif"), 20, 12, {-32767, -32768});
    ASSERT_EQ(mkfifo(dir.path("fifo.tif").c_str(), 0600), 0);
    WriteGeoDem(dir.path("turned.tif"), {.geotransform = std::array<double, 6>{5e5, 25, 5, 52e5, 5, -25}});
    // Ground rising 10 m a texel to the north, stored south up; to the east, stored
    // with its columns running west.
    GeoDem south{16, 9, {}, "", false, 0, std::array<double, 6>{5e5, 25, 0, 52e5, 0, 25}}, west = south;
    west.geotransform = {5e5, -25, 0, 52e5, 0, -25};
    for (std::size_t i = 0; i < 16 * 9; ++i) {
        south.heights.push_back(10.0f * (i / 16));
        west.heights.push_back(10.0f * (15 - i % 16));
    }
    WriteGeoDem(dir.path("south.tif"), south);
    WriteGeoDem(dir.path("west.tif"), west);
    const float rise = static_cast<float>(std::atan(10.0 / 25) * 180 / M_PI);
    const struct {
        const char* args;
        int code;
        const char* says;
        const char* out = nullptr;  // then band, texel and value of the file written
        const char* band = "";
        std::size_t texel = 0;
        float value = 0;
    } cases[] = {
        {"@fifo.tif --cell=10 --angles=@o.tif", 2, "fifo.tif: not a regular file"},
        {"@turned.tif --angles=@o.tif", 2, "its grid is rotated"},
        {"@v.tif --cell=1e200,1e-30 --angles=@o.tif", 7, "with cells of 1e+200 x 1e-30 m"},
        {"@v.tif --cell=5e-324 --angles=@o.tif", 7, "cells of 4.94066e-324 x 4.94066e-324 m are too small"},
        {"@v.tif --cell=1e160 --curvature --angles=@o.tif", 7, "too wide for --curvature"},
        {"@v.tif --cell=1e308 --angles=@o.tif", 0, "directions: 0.00 21.80 (for 22.50)"},
        // Flat ground: its whole sky, and every band at the horizontal.
        {"@flat.pgm --cell=10 --azimuths=0,0.5 --svf=@o.tif", 0, "", "o.tif", "", 30, 1},
        {"@flat.pgm --cell=10 --azimuths=0,0 --svf-model=sloped --svf=@o.tif", 0, "", "o.tif", "", 30, 1},
        {"@flat.pgm --cell=10 --directions=4 --start=1e300 --svf=@o.tif", 0, "", "o.tif", "", 30, 1},
        {"@flat.pgm --cell=10 --azimuths=0,0.5 --angles=@o.exr", 0, "", "o.exr", "azimuth_0.00_2", 30, 0},
        {"@flat.pgm --cell=10 --directions=4 --start=3.6e17 --angles=@o.tif", 0, "", "o.tif", "azimuth_90.00", 30, 0},
        {"@south.tif --directions=4 --angles=@o.tif", 0, "", "o.tif", "azimuth_0.00", 72, rise},
        {"@west.tif --directions=4 --angles=@o.tif", 0, "", "o.tif", "azimuth_90.00", 72, rise},
        // Facing the sun 30 degrees up: 255 cos(60 degrees - rise).
        {"@south.tif --shade=@o.png --sun=180,30", 0, "", "o.png", "", 72, 200},
        // Voids stored as -32767 and -32768 (texels 3 and 4), no data named as -32767.
        {"@v.tif --cell=30 --nodata=-32767 --svf=@o.tif", 0, "", "o.tif", "", 3, -9999},
        {"@v.tif --cell=30 --nodata=-32767 --svf=@o.tif", 0, "", "o.tif", "", 4, -9999},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string word; words >> word;) args.push_back(word);
        const ProcessResult run = RunSky(InScratch(dir, args), 30);
        EXPECT_EQ(run.exitCode, c.code) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
        if (c.out == nullptr || run.exitCode != 0) continue;
        EXPECT_NEAR(ValueAt(dir.path(c.out), c.band, c.texel), c.value, 1e-4) << c.args;
    }
}

TEST(SkyInputFaults, TheReprojectionItSuggestsKeepsNoData) {
    if (!std::filesystem::exists("/usr/bin/gdalwarp")) GTEST_SKIP() << "GDAL is not installed";
    for (const auto& [name, tag, nodata] : std::vector<std::array<std::string, 3>>{
             {"dem.tif", "-500", ""}, {"dem.tif", "", "--nodata=-500"}, {"my dem's.tif", "", ""}}) {
        TempDir dir;
        // Far from the zone's middle, where the grid turns and leaves corners empty;
        // 2.4 degrees of latitude, too many for one cell size, run in bands of rows,
        // which cannot make a picture of the whole DEM.
        WriteGeoDem(dir.path(name), {20, 12, {}, tag, true, 0, std::array<double, 6>{17.8, .1, 0, 60.1, 0, -.2}});
        std::vector<std::string> args = {dir.path(name), "--shade=" + dir.path("s.png"), "--sun=135,30"};
        if (!nodata.empty()) args.push_back(nodata);
        const ProcessResult refused = RunSky(args);
        ASSERT_EQ(refused.exitCode, 2) << refused.err;
        const std::string line = refused.err.substr(refused.err.find("e.g. ") + 5);
        const ProcessResult warp = RunProcess({"/bin/sh", "-c", "cd '" + dir.path() + "' && " + line});
        ASSERT_EQ(warp.exitCode, 0) << line << warp.err;
        // Read back, the corners outside the DEM (north-east and south-west, as the
        // grid turns) are no data, not ground.
        ASSERT_EQ(RunSky({dir.path("dem_utm.tif"), "--svf=" + dir.path("v.tif")}).exitCode, 0);
        const ReadFloats warped = ReadFloatTiff(dir.path("v.tif"));
        const std::vector<float>& svf = warped.planes.begin()->second;
        EXPECT_EQ(std::vector<float>({svf[warped.width - 1], svf[svf.size() - warped.width]}),
                  std::vector<float>(2, -9999.0f))
            << line;
    }
}

}  // namespace
