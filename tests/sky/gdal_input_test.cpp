// umbrascope-sky reads what GDAL reads: one DEM in the forms gdal_translate makes of
// it gives the same angles, bit for bit; what cannot be read is refused with a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "sky/dem.h"
#include "sky_fixtures.h"

namespace {

struct Form {
    std::vector<std::string> translate;  // gdal_translate's options and the output ("" for none)
    std::vector<std::string> sky;        // umbrascope-sky's DEM and options, "@" the scratch folder
};

TEST(SkyGdalInput, EveryFormGivesTheFloatGeoTiffsAngles) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"));
    const std::vector<Form> forms = {
        {{"-ot", "Int32", "@i32.tif"}, {"@i32.tif"}},
        {{"-ot", "Float64", "@f64.tif"}, {"@f64.tif"}},
        {{"-of", "AAIGrid", "@dem.asc"}, {"@dem.asc"}},
        {{"-of", "HFA", "@dem.img"}, {"@dem.img"}},
        {{"-of", "VRT", "@dem.vrt"}, {"@dem.vrt"}},
        {{"-of", "netCDF", "@dem.nc"}, {"@dem.nc"}},
        // Stored as 2h - 6 with the band's own scale 0.5 and offset 3.
        {{"-scale", "0", "1", "-6", "-4", "-a_scale", "0.5", "-a_offset", "3", "-a_nodata", "-1006", "@scaled.tif"},
         {"@scaled.tif"}},
        {{"-b", "1", "-b", "1", "-scale_1", "0", "1", "0", "0", "@two.tif"}, {"@two.tif", "--band=2"}},
        {{}, {"/vsitar/@dem.tar/dem.tif"}},
    };
    ASSERT_EQ(RunProcess({"/usr/bin/tar", "-C", dir.path(), "-cf", dir.path("dem.tar"), "dem.tif"}).exitCode, 0);
    const ProcessResult whole = RunSky(InScratch(dir, {"@dem.tif", "--directions=8", "--angles=@ref.tif"}));
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    const auto reference = ReadFloatTiff(dir.path("ref.tif")).planes;
    for (const Form& form : forms) {
        if (!form.translate.empty()) {
            std::vector<std::string> translate = InScratch(dir, form.translate);
            translate.insert(translate.begin(), {"/usr/bin/gdal_translate", "-q"});
            translate.insert(translate.end() - 1, dir.path("dem.tif"));
            ASSERT_EQ(RunProcess(translate).exitCode, 0) << form.translate.back();
        }
        std::vector<std::string> args = InScratch(dir, form.sky);
        args.insert(args.end(), {"--cell=25", "--directions=8", "--angles=" + dir.path("out.tif")});
        const ProcessResult run = RunSky(args);
        ASSERT_EQ(run.exitCode, 0) << form.sky[0] << ": " << run.err;
        EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFloatTiff(dir.path("out.tif")).planes, reference) << form.sky[0];
        // The DEM's georeferencing, whatever its form, in the output's GeoTIFF keys.
        const std::string info = RunProcess({"/usr/bin/gdalinfo", dir.path("out.tif")}).out;
        EXPECT_NE(info.find("UTM zone 33N"), std::string::npos) << form.sky[0] << ": " << info;
        EXPECT_NE(info.find(",5200000.000"), std::string::npos) << form.sky[0] << ": " << info;
    }
}

// A geographic DEM runs on metric cells at its centre latitude, on its ellipsoid:
// at 45 degrees a degree of longitude is 78,846.8 m and of latitude 111,132.9 m.
TEST(SkyGdalInput, GeographicCellsAreMetresAtTheCentreLatitude) {
    TempDir dir;
    const double arcSecond = 1.0 / 3600;
    WriteGeoDem(
        dir.path("geo.tif"),
        {16, 9, {}, "-500", true, 0, std::array<double, 6>{7, arcSecond, 0, 45 + 4.5 * arcSecond, 0, -arcSecond}});
    const ProcessResult run = RunSky({dir.path("geo.tif"), "--directions=4", "--svf=" + dir.path("s.tif")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    double x = 0, y = 0;
    const std::size_t at = run.err.find("cells of ");
    ASSERT_NE(at, std::string::npos) << run.err;
    ASSERT_EQ(std::sscanf(run.err.c_str() + at, "cells of %lf x %lf m", &x, &y), 2) << run.err;
    EXPECT_NEAR(x, 78846.8 / 3600, 0.001);
    EXPECT_NEAR(y, 111132.9 / 3600, 0.001);
}

// The median and 99th percentile of |a - b| over the texels both have, a tenth of
// each side left out.
std::pair<double, double> Agreement(const ReadFloats& a, const ReadFloats& b) {
    std::vector<double> d;
    const std::uint32_t mx = a.width / 10, my = a.height / 10;
    for (const auto& [name, plane] : a.planes)
        for (std::uint32_t y = my; y < a.height - my; ++y)
            for (std::uint32_t x = mx; x < a.width - mx; ++x) {
                const float p = plane[std::size_t{y} * a.width + x],
                            q = b.planes.at(name)[std::size_t{y} * a.width + x];
                if (p != -9999.0f && std::isfinite(q) && q != -9999.0f) d.push_back(std::fabs(p - q));
            }
    if (d.empty()) return {HUGE_VAL, HUGE_VAL};
    std::sort(d.begin(), d.end());
    return {d[d.size() / 2], d[d.size() * 99 / 100]};
}

// A 1 x 1 degree tile at 60-61 N (east-west scale 3 % apart from top to bottom)
// runs in bands of latitude, and its angles agree with the same tile warped to its
// UTM zone (the angles brought back) as closely as README states: terrain smooth at
// the texel scale, so that the warps add little.
TEST(SkyGdalInput, AHighLatitudeTileAgreesWithItsUtmWarp) {
    TempDir dir;
    const std::uint32_t n = 481;
    std::vector<float> heights;
    for (std::uint32_t y = 0; y < n; ++y)
        for (std::uint32_t x = 0; x < n; ++x)
            heights.push_back(static_cast<float>(900 + 600 * std::sin(x / 24.0) * std::cos(y / 19.2) + 2 * x));
    WriteGeoDem(dir.path("geo.tif"),
                {n, n, heights, "", true, 0, std::array<double, 6>{8.5, 1.0 / n, 0, 61, 0, -1.0 / n}});
    const std::string azimuths = "--azimuths=0,90,180,270";
    const ProcessResult geo = RunSky({dir.path("geo.tif"), azimuths, "--angles=" + dir.path("geo_a.tif")});
    ASSERT_EQ(geo.exitCode, 0) << geo.err;
    EXPECT_NE(geo.err.find("2 bands of rows"), std::string::npos) << geo.err;
    // The UTM grid's cells as the tile's at its centre.
    const std::string tx = std::to_string(111320 * std::cos(60.5 * M_PI / 180) / n), ty = std::to_string(111132.0 / n);
    const std::string warp = "cd '" + dir.path() + "' && gdalwarp -q -r bilinear ";
    ASSERT_EQ(RunProcess({"/bin/sh", "-c",
                          warp + "-t_srs EPSG:32632 -tr " + tx + " " + ty + " -dstnodata nan geo.tif utm.tif"})
                  .exitCode,
              0);
    ASSERT_EQ(RunSky({dir.path("utm.tif"), azimuths, "--angles=" + dir.path("utm_a.tif")}).exitCode, 0);
    const std::string size = std::to_string(n);
    ASSERT_EQ(RunProcess({"/bin/sh", "-c",
                          warp + "-t_srs EPSG:4326 -te 8.5 60 9.5 61 -ts " + size + " " + size +
                              " -srcnodata -9999 -dstnodata nan utm_a.tif back.tif"})
                  .exitCode,
              0);
    const auto [median, p99] = Agreement(ReadFloatTiff(dir.path("geo_a.tif")), ReadFloatTiff(dir.path("back.tif")));
    EXPECT_LT(median, 0.05);
    EXPECT_LT(p99, 0.5);
}

// Each band of latitude is the whole DEM run on that band's cells (--cell), its rows
// bit for bit: the cells, directions and rows a band takes, with and without a halo.
TEST(SkyGdalInput, EachBandOfLatitudeRunsOnItsOwnCells) {
    TempDir dir;
    const std::uint32_t width = 40, height = 60;
    std::vector<float> heights;
    for (std::uint32_t i = 0; i < width * height; ++i) heights.push_back(static_cast<float>((i * 7919) % 613));
    WriteGeoDem(dir.path("geo.tif"),
                {width, height, heights, "", true, 0, std::array<double, 6>{20, 0.05, 0, 62, 0, -0.05}});
    sky::DemHeader header;
    ASSERT_TRUE(sky::ReadDemHeader(dir.path("geo.tif"), {}, &header));
    ASSERT_TRUE(header.tags.latitudes);
    const std::vector<std::uint32_t> starts = sky::LatitudeBandStarts(*header.tags.latitudes, height);
    ASSERT_GE(starts.size(), 3u);
    for (const std::string distance : {"", "--max-distance=9000"}) {
        // The angle bands in order (named by different azimuths), then the sky-view factor.
        const auto run = [&](const std::string& cell) {
            std::vector<std::string> line = {dir.path("geo.tif"), "--directions=8", "--angles=" + dir.path("a.tif"),
                                             "--svf=" + dir.path("s.tif")};
            if (!distance.empty()) line.push_back(distance);
            if (!cell.empty()) line.push_back(cell);
            const ProcessResult done = RunSky(line);
            EXPECT_EQ(done.exitCode, 0) << done.err;
            const ReadFloats angles = ReadFloatTiff(dir.path("a.tif"));
            std::vector<std::vector<float>> planes;
            for (const std::string& name : angles.names) planes.push_back(angles.planes.at(name));
            planes.push_back(ReadFloatTiff(dir.path("s.tif")).planes.begin()->second);
            return planes;
        };
        const std::vector<std::vector<float>> banded = run("");
        for (std::size_t b = 0; b < starts.size(); ++b) {
            const std::uint32_t end = b + 1 < starts.size() ? starts[b + 1] : height;
            const sky::RowCells cells = sky::CellsOfBand(*header.tags.latitudes, starts, height, b);
            char cell[96];
            std::snprintf(cell, sizeof cell, "--cell=%.17g,%.17g", cells.cellX, cells.cellY);
            const std::vector<std::vector<float>> alone = run(cell);
            ASSERT_EQ(alone.size(), banded.size());
            const auto from = static_cast<std::ptrdiff_t>(std::size_t{starts[b]} * width),
                       to = static_cast<std::ptrdiff_t>(std::size_t{end} * width);
            for (std::size_t k = 0; k < alone.size(); ++k)
                EXPECT_TRUE(std::equal(banded[k].begin() + from, banded[k].begin() + to, alone[k].begin() + from))
                    << "plane " << k << ", rows " << starts[b] << " to " << end << " " << distance;
        }
    }
}

TEST(SkyGdalInput, WhatCannotBeReadIsExitTwoWithGdalsReason) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"));
    std::vector<std::uint8_t> cut = ReadBytes(dir.path("dem.tif"));
    cut.resize(cut.size() / 2);
    WriteBytes(dir.path("cut.tif"), cut);
    WriteBytes(dir.path("text.asc"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'g', 'r', 'i', 'd'});
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"@dem.tif", "--band=2"}, "dem.tif has 1 band: band 2 does not exist"},
        {{"@cut.tif"}, "cannot read the DEM"},
        {{"@text.asc"}, "cannot read the DEM"},
        {{"/vsizip/@none.zip/dem.tif"}, "cannot read the DEM"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = InScratch(dir, c.args);
        args.push_back("--angles=" + dir.path("out.tif"));
        const ProcessResult run = RunSky(args);
        EXPECT_EQ(run.exitCode, 2) << c.args[0];
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "GDAL's own messages leaked: " << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path("out.tif")));
    }
}

// GDAL's warnings reach standard error, once each, in whole runs and in tiles: a
// TIFF whose strip says it holds no bytes, which GDAL reads from its size instead.
TEST(SkyGdalInput, GdalsWarningsAreSaidOnceInWholeAndTiledRuns) {
    TempDir dir;
    WriteGeoDem(dir.path("made.tif"), {40, 30});
    ASSERT_EQ(
        RunProcess({"/usr/bin/gdal_translate", "-q", "-co", "BLOCKYSIZE=30", dir.path("made.tif"), dir.path("dem.tif")})
            .exitCode,
        0);
    std::vector<std::uint8_t> bytes = ReadBytes(dir.path("dem.tif"));
    std::uint32_t ifd = 0;
    std::memcpy(&ifd, bytes.data() + 4, 4);
    std::uint16_t entries = 0;
    std::memcpy(&entries, bytes.data() + ifd, 2);
    bool cleared = false;
    for (std::uint16_t e = 0; e < entries; ++e) {
        std::uint8_t* entry = bytes.data() + ifd + 2 + 12 * e;
        std::uint16_t tag = 0;
        std::uint32_t count = 0;
        std::memcpy(&tag, entry, 2);
        std::memcpy(&count, entry + 4, 4);
        if (tag == 279 && count == 1) cleared = (std::memset(entry + 8, 0, 4), true);  // StripByteCounts
    }
    ASSERT_TRUE(cleared);
    WriteBytes(dir.path("dem.tif"), bytes);
    for (const std::vector<std::string>& tiles :
         {std::vector<std::string>{}, {"--max-distance=100", "--tile-size=16"}}) {
        std::vector<std::string> args = {dir.path("dem.tif"), "--svf=" + dir.path("s.tif")};
        args.insert(args.end(), tiles.begin(), tiles.end());
        const ProcessResult run = RunSky(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::size_t at = run.err.find("warning: " + dir.path("dem.tif") + ": ");
        EXPECT_NE(at, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("warning:", at + 1), std::string::npos) << run.err;
    }
}

// Each form gdal_translate makes, empty, cut in half or with its first bytes
// garbled: exit 2, one line naming the file, nothing written. (A netCDF file cut
// short reads as zeros through the netCDF library, so it is not among them.)
TEST(SkyGdalInput, DamagedFilesOfEveryFormAreRefused) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"), {40, 30});
    const std::vector<std::vector<std::string>> forms = {
        {"-co", "COMPRESS=DEFLATE", "t.tif"},     {"-of", "HFA", "t.img"},   {"-of", "AAIGrid", "t.asc"},
        {"-of", "PNG", "-ot", "UInt16", "t.png"}, {"-of", "netCDF", "t.nc"}, {"-of", "VRT", "t.vrt"}};
    for (const auto& form : forms) {
        std::vector<std::string> translate = {"/usr/bin/gdal_translate", "-q", dir.path("dem.tif")};
        translate.insert(translate.begin() + 2, form.begin(), form.end() - 1);
        translate.push_back(dir.path(form.back()));
        ASSERT_EQ(RunProcess(translate).exitCode, 0) << form.back();
        const Bytes whole = ReadBytes(dir.path(form.back()));
        Bytes garbled = whole;
        std::fill_n(garbled.begin(), 16, 0xff);
        const std::vector<std::pair<std::string, Bytes>> damaged = {
            {"empty", {}}, {"half", Bytes(whole.begin(), whole.begin() + whole.size() / 2)}, {"garbled", garbled}};
        for (const auto& [how, bytes] : damaged) {
            if (how == "half" && form.back() == "t.nc") continue;
            const std::string name = dir.path(how + "_" + form.back());
            WriteBytes(name, bytes);
            const ProcessResult run = RunSky({name, "--angles=" + dir.path("out.tif")});
            EXPECT_EQ(run.exitCode, 2) << name << ": " << run.err;
            EXPECT_EQ(run.err.rfind("umbrascope-sky: cannot read the DEM " + name + ": ", 0), 0u) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_FALSE(std::filesystem::exists(dir.path("out.tif"))) << name;
        }
    }
}

// The DEM is loaded as the header judged before says: a file replaced since by one
// of another size or type is refused, the same file read as without the header.
TEST(SkyGdalInput, ADemReplacedAfterItsHeaderWasReadIsRefused) {
    TempDir dir;
    WriteGeoDem(dir.path("a.tif"));
    WriteGeoDem(dir.path("wide.tif"), {.width = 20});
    WriteInt16Dem(dir.path("i16.tif"), 16, 9);
    const struct {
        std::string loaded;
        bool changed;
    } cases[] = {{"a.tif", false}, {"wide.tif", true}, {"i16.tif", true}};
    sky::DemHeader header;
    ASSERT_TRUE(sky::ReadDemHeader(dir.path("a.tif"), {}, &header));
    for (const auto& c : cases) {
        sky::Dem judged, plain;
        std::string why, plainWhy;
        const status::Status s = sky::LoadDem(dir.path(c.loaded), {}, &header, &judged, &why);
        ASSERT_TRUE(sky::LoadDem(dir.path(c.loaded), {}, &plain, &plainWhy).ok()) << plainWhy;
        EXPECT_EQ(s.code, c.changed ? status::Code::InvalidData : status::Code::Ok) << c.loaded;
        EXPECT_EQ(why, c.changed ? "it changed while it was being read" : "") << c.loaded;
        if (c.changed) continue;
        EXPECT_EQ(judged.z.size(), plain.z.size());
        EXPECT_EQ(judged.noDataTexels, plain.noDataTexels);
        EXPECT_EQ(judged.crsWkt, plain.crsWkt);
        EXPECT_EQ(judged.geotransform, plain.geotransform);
    }
}

}  // namespace
