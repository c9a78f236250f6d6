// umbrascope-sky in tiles: the same files bit for bit as the whole DEM at once, a
// run too large for its memory refused naming a --max-distance that runs it, and
// the outputs that need the whole DEM refused before anything is written.
#include <gdal.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <regex>

#include "../support/limited_group.h"
#include "sky_fixtures.h"

namespace {

// Everything GDAL reads of a raster: each band's bits, description and no data, the
// dataset's items, CRS and geotransform.
std::vector<std::string> GdalContents(const std::string& path) {
    GDALAllRegister();
    std::vector<std::string> contents;
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    if (dataset == nullptr) return contents;
    const int w = GDALGetRasterXSize(dataset), h = GDALGetRasterYSize(dataset);
    contents.push_back(std::to_string(w) + "x" + std::to_string(h) + " " + GDALGetProjectionRef(dataset));
    for (char** item = GDALGetMetadata(dataset, nullptr); item != nullptr && *item != nullptr; ++item)
        contents.emplace_back(*item);
    std::array<double, 6> gt{};
    GDALGetGeoTransform(dataset, gt.data());
    contents.emplace_back(reinterpret_cast<const char*>(gt.data()), sizeof gt);
    for (int b = 1; b <= GDALGetRasterCount(dataset); ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, b);
        std::vector<float> samples(std::size_t(w) * h);
        if (GDALRasterIO(band, GF_Read, 0, 0, w, h, samples.data(), w, h, GDT_Float32, 0, 0) != CE_None) samples = {};
        contents.push_back(std::string(GDALGetDescription(band)) + " " +
                           std::to_string(GDALGetRasterNoDataValue(band, nullptr)));
        contents.emplace_back(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(float));
    }
    GDALClose(dataset);
    return contents;
}

// A projected DEM with hills, pits and a few texels of no data.
void WriteHills(const std::string& path, std::uint32_t width, std::uint32_t height) {
    GeoDem dem{width, height};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            dem.heights.push_back((x * y) % 211 == 5 ? -500.0f
                                                     : static_cast<float>(300 * std::sin(x / 7.0) * std::cos(y / 5.0) +
                                                                          (x * 7919 + y * 104729) % 41));
    WriteGeoDem(path, dem);
}

const std::vector<std::string> kOutputs = {"a.tif", "s.tif", "i.tif", "m.tif", "h.tif"};

std::vector<std::string> RunArguments(const TempDir& dir, const std::string& prefix) {
    std::vector<std::string> args = {"@dem.tif", "--day=172", "--time-step=2", "--times=7.5,16", "--sun=135,20"};
    const char* options[] = {"--angles=", "--svf=", "--irradiation=", "--shadow-masks=", "--shade="};
    for (std::size_t k = 0; k < kOutputs.size(); ++k) args.push_back(options[k] + ("@" + prefix) + kOutputs[k]);
    return InScratch(dir, args);
}

// Odd tiles, halos wider than a tile or than the map, cells of two sizes: each run
// in tiles gives the whole run's files.
TEST(SkyTiles, TilesGiveTheWholeRunBitForBit) {
    struct Case {
        std::uint32_t width, height;
        std::string tile, maxDistance, directions, model, cell;
    };
    const std::vector<Case> cases = {
        {61, 47, "17", "60", "8", "sloped", ""},        // halo 3
        {61, 47, "23", "260", "64", "horizontal", ""},  // halo 11, wider than some cores at the edge
        {40, 75, "33", "1000", "8", "zaksek", ""},      // halo past the map
        {75, 40, "16", "95", "4", "sloped", "20,30"},   // halo 5 columns, 4 rows
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteHills(dir.path("dem.tif"), c.width, c.height);
        std::vector<std::string> common = {"--max-distance=" + c.maxDistance, "--directions=" + c.directions,
                                           "--svf-model=" + c.model};
        if (!c.cell.empty()) common.push_back("--cell=" + c.cell);
        std::vector<std::string> whole = RunArguments(dir, "w"), tiled = RunArguments(dir, "t");
        whole.insert(whole.end(), common.begin(), common.end());
        tiled.insert(tiled.end(), common.begin(), common.end());
        tiled.push_back("--tile-size=" + c.tile);
        const ProcessResult w = RunSky(whole), t = RunSky(tiled);
        ASSERT_EQ(w.exitCode, 0) << w.err;
        ASSERT_EQ(t.exitCode, 0) << t.err;
        EXPECT_NE(t.err.find(" tiles of at most " + c.tile + " x " + c.tile), std::string::npos) << t.err;
        for (const std::string& file : kOutputs) {
            const std::vector<std::string> expected = GdalContents(dir.path("w" + file));
            ASSERT_GT(expected.size(), 3u) << file;
            EXPECT_TRUE(GdalContents(dir.path("t" + file)) == expected)
                << c.width << "x" << c.height << " tile " << c.tile << ": " << file;
        }
    }
}

// A run that does not fit is refused before anything is written, naming a
// --max-distance; with it, the run goes in tiles under the same limit and gives the
// whole run's files.
TEST(SkyTiles, TooLittleMemoryNamesAMaxDistanceThatRuns) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a memory cgroup needs root";
#ifdef UMBRASCOPE_SANITIZED
    GTEST_SKIP() << "the sanitizers' own memory is not counted";
#endif
    TempDir dir;
    WriteHills(dir.path("dem.tif"), 1500, 1400);
    const std::vector<std::string> args =
        InScratch(dir, {"@dem.tif", "--directions=4", "--angles=@a.tif", "--svf=@s.tif"});
    LimitedGroup group(80u << 20);
    if (!group.usable()) GTEST_SKIP() << "no memory cgroup can be created here";
    const ProcessResult refused = RunSky(args, 120, group.join());
    ASSERT_EQ(refused.exitCode, 2) << refused.err;
    std::smatch named;
    ASSERT_TRUE(std::regex_search(refused.err, named,
                                  std::regex("the run needs \\d+ MB, \\d+ MB are available; --max-distance (\\d+) "
                                             "or less runs it in tiles\n")))
        << refused.err;
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"});

    std::vector<std::string> limited = args,
                             whole =
                                 InScratch(dir, {"@dem.tif", "--directions=4", "--angles=@wa.tif", "--svf=@ws.tif"});
    limited.push_back("--max-distance=" + named[1].str());
    whole.push_back("--max-distance=" + named[1].str());
    const ProcessResult tiled = RunSky(limited, 300, group.join());
    ASSERT_EQ(tiled.exitCode, 0) << tiled.err;
    EXPECT_NE(tiled.err.find(": in tiles of "), std::string::npos) << tiled.err;
    ASSERT_EQ(RunSky(whole, 300).exitCode, 0);
    EXPECT_TRUE(GdalContents(dir.path("a.tif")) == GdalContents(dir.path("wa.tif")));
    EXPECT_TRUE(GdalContents(dir.path("s.tif")) == GdalContents(dir.path("ws.tif")));
}

// What needs the whole DEM at once, or a halo that is not known, is a bad command
// line in tiles; nothing is written.
TEST(SkyTiles, WhatTilesCannotMakeIsRefused) {
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{"--engine=@e.dds", "--max-distance=100"}, "--engine needs the whole DEM at once"},
        {{"--viewer=@v.html", "--max-distance=100"}, "--viewer needs the whole DEM at once"},
        {{"--shade=@h.png", "--sun=90,10", "--max-distance=100"}, "--shade as PNG needs the whole DEM at once"},
        {{"--svf=@s.exr", "--max-distance=100"}, "--svf as OpenEXR needs the whole DEM at once"},
        {{"--angles=@a.tif"}, "--tile-size needs --max-distance"},
        {{"--angles=@a.tif", "--max-distance=100", "--curvature"}, "--tile-size and --curvature do not go together"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteHills(dir.path("dem.tif"), 30, 20);
        std::vector<std::string> args = InScratch(dir, {"@dem.tif", "--directions=4", "--tile-size=16"});
        const std::vector<std::string> more = InScratch(dir, c.args);
        args.insert(args.end(), more.begin(), more.end());
        const ProcessResult r = RunSky(args);
        EXPECT_EQ(r.exitCode, 7) << c.said << ": " << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"}) << c.said;
    }
}

// A disk that fills while the windows are written leaves nothing, whatever the
// driver (one written in place, one copied from a staged GeoTIFF, one of its own).
TEST(SkyTiles, AWriteCutShortLeavesNothing) {
    TempDir dir;
    WriteHills(dir.path("dem.tif"), 200, 150);
    for (const std::string driver : {"GTiff", "COG", "HFA"}) {
        const std::vector<std::string> args =
            InScratch(dir, {"@dem.tif", "--directions=8", "--max-distance=200", "--tile-size=50", "--of=" + driver,
                            "--angles=@a.out", "--irradiation=@i.out", "--day=100"});
        const ProcessResult run = RunSky(args, 120, [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{10000, 10000};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        EXPECT_EQ(run.exitCode, 6) << driver << ": " << run.err;
        EXPECT_NE(run.err.find("cannot write " + dir.path("a.out") + ": "), std::string::npos) << run.err;
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"}) << driver;
    }
}

}  // namespace
