// umbrascope-sky reads what GDAL reads: one DEM in the forms gdal_translate makes of
// it gives the same angles, bit for bit; what cannot be read is refused with a line.
#include <gtest/gtest.h>

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
