// umbrascope-sky run as a user runs it: each failure's exit code, and the angle file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>

#include "encode/float_tiff_stream.h"
#include "encode/tiff_encoder.h"
#include "sky/dem.h"
#include "sky/dem_tiff_tags.h"
#include "sky/engine_texture.h"
#include "sky_fixtures.h"
#include "skyline/horizon_bands.h"

namespace {

struct Failure {
    const char* what;
    std::vector<std::string> args;  // "@" stands for the scratch folder
    int code;
};

TEST(SkyProgram, EachFailureHasItsExitCode) {
    TempDir dir;
    WriteInt16Dem(dir.path("dem.tif"), 20, 12);
    WriteBytes(dir.path("junk.tif"), Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    std::filesystem::create_directory(dir.path("d.tif"));
    const Failure failures[] = {
        {"no arguments", {}, 7},
        {"unknown option", {"@dem.tif", "--cell=1", "--angles=@a.tif", "--frobnicate"}, 7},
        {"nothing to write", {"@dem.tif", "--cell=1"}, 7},
        {"no cell size", {"@dem.tif", "--angles=@a.tif"}, 7},
        {"bad cell", {"@dem.tif", "--cell=0", "--angles=@a.tif"}, 7},
        {"bad directions", {"@dem.tif", "--cell=1", "--directions=0", "--angles=@a.tif"}, 7},
        {"wrong extension", {"@dem.tif", "--cell=1", "--angles=@a.png"}, 7},
        {"engine slices of four", {"@dem.tif", "--cell=1", "--directions=6", "--engine=@e.dds"}, 7},
        {"output is the DEM", {"@dem.tif", "--cell=1", "--angles=@dem.tif"}, 6},
        {"missing DEM", {"@none.tif", "--cell=1", "--angles=@a.tif"}, 2},
        {"unreadable DEM", {"@junk.tif", "--cell=1", "--angles=@a.tif"}, 2},
        {"missing folder", {"@dem.tif", "--cell=1", "--angles=@no/a.tif"}, 6},
        {"folder in the way", {"@dem.tif", "--cell=1", "--svf=@s.tif", "--angles=@d.tif"}, 6},
        {"page named wrong", {"@dem.tif", "--cell=1", "--viewer=@v.png"}, 7},
        {"page checked first", {"@dem.tif", "--cell=1", "--angles=@a.tif", "--viewer=@no/v.html"}, 6},
    };
    for (const Failure& f : failures) {
        const ProcessResult run = RunSky(InScratch(dir, f.args));
        EXPECT_EQ(run.exitCode, f.code) << f.what << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << f.what;
    }
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_EQ(entries, 3) << "a failed run left a file";
}

TEST(SkyProgram, WritesNamedAngleBandsFromStoredIntegers) {
    TempDir dir;
    WriteInt16Dem(dir.path("dem.tif"), 20, 12);
    const ProcessResult run =
        RunSky({dir.path("dem.tif"), "--cell=30", "--directions=4", "--start=90", "--nodata=-32768", "--scale=0.5",
                "--offset=3", "--angles", dir.path("a.tif"), "--svf", dir.path("s.exr"), "--shade", dir.path("s.png"),
                "--sun=100,20", "--engine", dir.path("e.dds")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + dir.path("a.tif") + "\nwrote " + dir.path("s.exr") + "\nwrote " + dir.path("s.png") +
                           "\nwrote " + dir.path("e.dds") + "\n");
    const ReadFloats svf = ReadFloatExr(dir.path("s.exr"));
    ASSERT_EQ(svf.names, std::vector<std::string>{"svf"});
    EXPECT_EQ(svf.planes.at("svf")[3], -9999.0f);
    EXPECT_EQ(std::count_if(svf.planes.at("svf").begin(), svf.planes.at("svf").end(),
                            [](float v) { return v >= 0 && v <= 1; }),
              20 * 12 - 1);
    EXPECT_EQ(ReadGreyPng(dir.path("s.png")).samples.size(), 20u * 12);
    EXPECT_NE(run.err.find("directions: 90.00 180.00 270.00 0.00"), std::string::npos) << run.err;
    const ReadFloats angles = ReadFloatTiff(dir.path("a.tif"));
    ASSERT_EQ(angles.names,
              (std::vector<std::string>{"azimuth_90.00", "azimuth_180.00", "azimuth_270.00", "azimuth_0.00"}));
    // Along the row towards the east, texel 2 sees texel 3 (no data) pass and texel 4
    // at (0.5 k4 - 0.5 k2) / 60 m; the last column sees nothing.
    const auto& east = angles.planes.at("azimuth_90.00");
    const double k2 = (2 * 7919) % 3000 - 1000.0, k4 = (4 * 7919) % 3000 - 1000.0, k5 = (5 * 7919) % 3000 - 1000.0;
    const double want = std::max(0.5 * (k4 - k2) / 60, 0.5 * (k5 - k2) / 90);
    EXPECT_NEAR(east[2], std::atan(want) * 180 / M_PI, 1e-4);
    EXPECT_EQ(east[3], -9999.0f);
    EXPECT_EQ(east[19], -9999.0f);
}

TEST(SkyProgram, CarriesGeoreferencingAndNoDataThrough) {
    TempDir dir;
    const encode::GeoTiffTags geo = WriteGeoDem(dir.path("utm.tif"));
    const ProcessResult run = RunSky({dir.path("utm.tif"), "--directions=2", "--angles", dir.path("a.tif"), "--shade",
                                      dir.path("s.tif"), "--sun=90,5", "--16-bit"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    sky::DemTiffTags tags;
    for (const char* name : {"s.tif", "a.tif"}) {
        ASSERT_TRUE(sky::ReadDemTiffTags(dir.path(name), &tags));
        // GDAL writes its own keys for the same CRS: the projected one must be the DEM's.
        const auto& keys = tags.geo.keyDirectory;
        bool projected = false;
        for (std::size_t k = 4; k + 3 < keys.size(); k += 4) projected |= keys[k] == 3072 && keys[k + 3] == 32633;
        EXPECT_TRUE(projected) << name;
        EXPECT_EQ(tags.geo.tiepoints, geo.tiepoints) << name;
    }
    EXPECT_EQ(tags.cellX, 25.0);
    EXPECT_EQ(tags.gdalNoData, -9999.0);
    EXPECT_EQ(ReadFloatTiff(dir.path("a.tif")).planes.at("azimuth_0.00")[5], -9999.0f);

    WriteGeoDem(dir.path("wgs.tif"), {.geographic = true});
    const ProcessResult refused = RunSky({dir.path("wgs.tif"), "--angles", dir.path("b.tif")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("gdalwarp -t_srs EPSG:32633 "), std::string::npos) << refused.err;
}

TEST(SkyProgram, ReadsTheCellSizeInMetresFromTheLinearUnit) {
    TempDir dir;
    const struct {
        std::uint16_t unit;
        std::optional<double> cell;
    } cases[] = {{9001, 25.0}, {9002, 25 * 0.3048}, {9003, 25 * (1200.0 / 3937.0)}, {9036, std::nullopt}};
    for (const auto& c : cases) {
        WriteGeoDem(dir.path("dem.tif"), {.unit = c.unit});
        sky::DemTiffTags tags;
        ASSERT_TRUE(sky::ReadDemTiffTags(dir.path("dem.tif"), &tags));
        EXPECT_EQ(tags.cellX, c.cell) << c.unit;
        EXPECT_EQ(tags.cellY, c.cell) << c.unit;
    }
}

// The bands as ComputeHorizonBands holds them all, for the directions the program
// chooses for `count` azimuths from `start` on 30 m cells, and their names.
std::vector<std::vector<float>> WholeBands(const std::string& dem, unsigned count, double start,
                                           std::vector<std::string>* names) {
    sky::Dem d;
    std::string why;
    EXPECT_TRUE(sky::LoadDem(dem, {.scale = 0.5, .offset = 3, .noData = -32768.0}, &d, &why).ok()) << why;
    skyline::HorizonRequest request;
    for (unsigned i = 0; i < count; ++i) {
        skyline::LatticeDirection l;
        EXPECT_TRUE(skyline::NearestLatticeDirection(start + 360.0 * i / count, 30, 30, 1.0, &l));
        request.directions.push_back(l);
        char name[32];
        std::snprintf(name, sizeof name, "azimuth_%.2f", skyline::AzimuthOf(l, 30, 30));
        names->push_back(name);
    }
    request.cellX = request.cellY = 30;
    std::vector<std::vector<float>> bands;
    EXPECT_TRUE(skyline::ComputeHorizonBands(d.grid(), request, &bands).ok());
    return bands;
}

TEST(SkyProgram, StreamsEachBandIntoItsPlaceAsItComes) {
    TempDir dir;
    WriteInt16Dem(dir.path("dem.tif"), 23, 17);
    const struct {
        unsigned count;
        double start;
        std::string angles;
    } cases[] = {{5, 0, "a.tif"}, {8, 0, "a.tif"}, {12, 10, "a.tif"}, {7, 33, "a.tif"}, {6, 3, "a.exr"}};
    for (const auto& c : cases) {
        const std::string at = std::to_string(c.count) + " directions";
        std::vector<std::string> args = {dir.path("dem.tif"),
                                         "--cell=30",
                                         "--nodata=-32768",
                                         "--scale=0.5",
                                         "--offset=3",
                                         "--directions=" + std::to_string(c.count),
                                         "--start=" + std::to_string(c.start),
                                         "--angles=" + dir.path(c.angles)};
        if (c.count % 4 == 0) args.push_back("--engine=" + dir.path("e.dds"));
        const ProcessResult run = RunSky(args);
        ASSERT_EQ(run.exitCode, 0) << at << run.err;
        std::vector<std::string> names;
        const std::vector<std::vector<float>> bands = WholeBands(dir.path("dem.tif"), c.count, c.start, &names);
        const bool exr = c.angles == "a.exr";
        const ReadFloats angles = exr ? ReadFloatExr(dir.path(c.angles)) : ReadFloatTiff(dir.path(c.angles));
        ASSERT_EQ(angles.names.size(), c.count) << at;
        for (std::size_t k = 0; k < c.count; ++k)
            EXPECT_EQ(angles.planes.at(names[k]), bands[k]) << at << ", band " << k;
        if (exr) continue;
        TIFF* tiff = TIFFOpen(dir.path("a.tif").c_str(), "r");
        std::uint16_t planar = 0;
        TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &planar);
        TIFFClose(tiff);
        EXPECT_EQ(planar, PLANARCONFIG_SEPARATE) << at;
        if (c.count % 4 != 0) continue;
        std::vector<std::uint8_t> dds;
        ASSERT_TRUE(sky::EncodeEngineDds(bands, 23, 17, &dds).ok());
        std::ifstream file(dir.path("e.dds"), std::ios::binary);
        EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}), dds) << at;
    }
}

TEST(SkyProgram, AFailureMidwayLeavesNoFile) {
    // Bands written out of order make a whole file; one missing, or the stream
    // dropped or cut short by the disk, leave nothing.
    TempDir dir;
    std::vector<std::vector<float>> planes(3, std::vector<float>(7 * 5));
    for (std::size_t i = 0; i < 3 * 7 * 5; ++i) planes[i / 35][i % 35] = static_cast<float>(i) / 7;
    std::string why;
    {
        encode::FloatTiffStream stream;
        ASSERT_TRUE(stream.open(dir.path("ok.tif"), 7, 5, {"a", "b", "c"}, {}, &why).ok()) << why;
        for (std::size_t k : {2, 0, 1}) ASSERT_TRUE(stream.writeBand(k, planes[k].data(), &why).ok()) << why;
        EXPECT_EQ(stream.writeBand(1, planes[1].data(), &why).code, status::Code::InvalidArgument);
        ASSERT_TRUE(stream.commit(&why).ok()) << why;
    }
    const ReadFloats read = ReadFloatTiff(dir.path("ok.tif"));
    EXPECT_EQ(read.planes.at("a"), planes[0]);
    EXPECT_EQ(read.planes.at("c"), planes[2]);
    for (bool commit : {true, false}) {
        encode::FloatTiffStream stream;
        ASSERT_TRUE(stream.open(dir.path("cut.tif"), 7, 5, {"a", "b", "c"}, {}, &why).ok()) << why;
        ASSERT_TRUE(stream.writeBand(0, planes[0].data(), &why).ok()) << why;
        if (commit) {
            EXPECT_EQ(stream.commit(&why).code, status::Code::Failed);
        }
    }
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"ok.tif"});

    WriteInt16Dem(dir.path("dem.tif"), 200, 150);
    const ProcessResult run = RunProcess({UMBRASCOPE_SKY_EXE, dir.path("dem.tif"), "--cell=30",
                                          "--angles=" + dir.path("a.tif"), "--engine=" + dir.path("e.dds")},
                                         120, [] {
                                             signal(SIGXFSZ, SIG_IGN);
                                             const rlimit limit{400000, 400000};
                                             setrlimit(RLIMIT_FSIZE, &limit);
                                         });
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"dem.tif", "ok.tif"}));
}

}  // namespace
