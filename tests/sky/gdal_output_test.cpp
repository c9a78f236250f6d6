// umbrascope-sky writes its float rasters through GDAL: every driver that makes files
// gives back the angles, a driver or option GDAL refuses is a mistake on the command
// line, and a write cut short leaves nothing.
#include <gdal.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "sky_fixtures.h"

namespace {

// What GDAL reads of an angle raster: its bands by description ("azimuth 90.00" as
// the OpenEXR channel azimuth_90.00).
struct GdalRead {
    std::map<std::string, std::vector<float>> bands;
    std::vector<double> noData;
    std::string azimuths, crs;
    std::map<std::string, std::string> items;  // the sunlight settings
    std::string driver, compression;
    std::array<double, 6> geotransform{};
};

GdalRead ReadWithGdal(const std::string& path) {
    GDALAllRegister();
    GdalRead read;
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    if (dataset == nullptr) return read;
    const int w = GDALGetRasterXSize(dataset), h = GDALGetRasterYSize(dataset);
    for (int b = 1; b <= GDALGetRasterCount(dataset); ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, b);
        std::string name = GDALGetDescription(band);
        std::replace(name.begin(), name.end(), ' ', '_');
        std::vector<float>& samples = read.bands[name];
        samples.resize(std::size_t(w) * h);
        if (GDALRasterIO(band, GF_Read, 0, 0, w, h, samples.data(), w, h, GDT_Float32, 0, 0) != CE_None) samples = {};
        read.noData.push_back(GDALGetRasterNoDataValue(band, nullptr));
    }
    const char* azimuths = GDALGetMetadataItem(dataset, "AZIMUTHS", nullptr);
    read.azimuths = azimuths != nullptr ? azimuths : "";
    for (const char* key : {"DAYS", "TIME_STEP_HOURS", "LINKE", "ALBEDO", "CLOCK"})
        if (const char* value = GDALGetMetadataItem(dataset, key, nullptr)) read.items[key] = value;
    read.crs = GDALGetProjectionRef(dataset);
    read.driver = GDALGetDriverShortName(GDALGetDatasetDriver(dataset));
    const char* compression = GDALGetMetadataItem(dataset, "COMPRESSION", "IMAGE_STRUCTURE");
    read.compression = compression != nullptr ? compression : "";
    GDALGetGeoTransform(dataset, read.geotransform.data());
    GDALClose(dataset);
    return read;
}

TEST(SkyGdalOutput, EveryDriverGivesBackTheAngles) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"), {40, 30});
    const ProcessResult own = RunSky(InScratch(dir, {"@dem.tif", "--directions=4", "--angles=@ref.exr"}));
    ASSERT_EQ(own.exitCode, 0) << own.err;
    const auto reference = ReadFloatExr(dir.path("ref.exr")).planes;
    const struct {
        std::vector<std::string> options;
        std::string name;
    } drivers[] = {
        {{}, "a.tif"},
        {{"--of=COG"}, "a.cog"},
        {{"--of=HFA"}, "a.img"},
        {{"--of=GTiff", "--co=COMPRESS=LZW", "--co=TILED=NO"}, "a.gtiff"},
    };
    for (const auto& d : drivers) {
        std::vector<std::string> args = InScratch(dir, {"@dem.tif", "--directions=4", "--angles=@" + d.name});
        args.insert(args.end(), d.options.begin(), d.options.end());
        const ProcessResult run = RunSky(args);
        ASSERT_EQ(run.exitCode, 0) << d.name << ": " << run.err;
        EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
        const GdalRead read = ReadWithGdal(dir.path(d.name));
        EXPECT_EQ(read.bands, reference) << d.name;
        EXPECT_EQ(read.noData, std::vector<double>(4, -9999)) << d.name;
        EXPECT_EQ(read.azimuths, "0.00 90.00 180.00 270.00") << d.name;
        EXPECT_NE(read.crs.find("UTM zone 33N"), std::string::npos) << d.name;
        EXPECT_EQ(read.geotransform, (std::array<double, 6>{15.2, 25, 0, 5200000, 0, -25})) << d.name;
    }
    for (const std::string& name : FileNames(dir.path())) EXPECT_NE(name[0], '.') << name;
}

// The default GeoTIFF's tiles are packed by our own encoder: read back, it is the
// file GDAL packs with the same tags, over tiles cut by the raster's edges.
TEST(SkyGdalOutput, TheDefaultGeoTiffReadsAsGdalsOwn) {
    TempDir dir;
    std::vector<float> rough(300 * 270);
    for (std::size_t i = 0; i < rough.size(); ++i) rough[i] = static_cast<float>((i * 7919) % 3000);
    WriteGeoDem(dir.path("dem.tif"), {300, 270, rough});
    for (const char* made : {"own.tif", "gdal.tif"}) {
        std::vector<std::string> args =
            InScratch(dir, {"@dem.tif", "--directions=8", std::string("--angles=@") + made});
        if (made == std::string("gdal.tif")) args.push_back("--co=ZSTD_LEVEL=1");
        const ProcessResult run = RunSky(args);
        ASSERT_EQ(run.exitCode, 0) << made << ": " << run.err;
    }
    const GdalRead own = ReadWithGdal(dir.path("own.tif")), gdal = ReadWithGdal(dir.path("gdal.tif"));
    ASSERT_EQ(own.bands.size(), 8u);
    EXPECT_EQ(own.bands, gdal.bands);
    EXPECT_EQ(std::tie(own.noData, own.azimuths, own.crs, own.compression, own.geotransform),
              std::tie(gdal.noData, gdal.azimuths, gdal.crs, gdal.compression, gdal.geotransform));
}

// The sunlight outputs take --of and --co as the angles do: every driver gives back
// the default GeoTIFF's bands, descriptions, no data and settings.
TEST(SkyGdalOutput, EveryDriverGivesBackTheSunlight) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"), {40, 30});  // no data at texel 5
    const struct {
        std::string output;
        std::vector<std::string> options;
        std::string name, driver, compression;  // as GDAL reads them back
    } cases[] = {
        {"--irradiation", {"--of=HFA"}, "i.img", "HFA", ""},
        {"--irradiation", {"--co=COMPRESS=LZW", "--co=TILED=NO"}, "i.tif", "GTiff", "LZW"},
        {"--irradiation", {"--of=COG"}, "i.cog", "GTiff", "ZSTD"},
        {"--sun-hours", {"--of=HFA"}, "h.img", "HFA", ""},
        {"--shadow-masks", {"--of=HFA"}, "m.img", "HFA", ""},
        {"--shadow-masks", {"--co=COMPRESS=DEFLATE"}, "m.tif", "GTiff", "DEFLATE"},
    };
    for (const auto& c : cases) {
        const auto run = [&](const std::string& name, const std::vector<std::string>& options) {
            auto args = InScratch(dir, {"@dem.tif", "--directions=8", "--day=100", c.output + "=@" + name});
            if (c.output == "--shadow-masks") args.push_back("--times=7,12.5");
            args.insert(args.end(), options.begin(), options.end());
            const ProcessResult r = RunSky(args);
            EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
            EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
        };
        run("ref.tif", {});
        run(c.name, c.options);
        const GdalRead want = ReadWithGdal(dir.path("ref.tif")), got = ReadWithGdal(dir.path(c.name));
        ASSERT_FALSE(want.bands.empty() || want.items.empty()) << c.name;
        EXPECT_EQ(got.bands, want.bands) << c.name;
        EXPECT_EQ(got.items, want.items) << c.name;
        EXPECT_EQ(got.driver + " " + got.compression, c.driver + " " + c.compression) << c.name;
        EXPECT_EQ(want.compression, "ZSTD") << c.name;
        EXPECT_EQ(got.noData, std::vector<double>(want.bands.size(), -9999)) << c.name;
        EXPECT_EQ(got.bands.begin()->second[5], -9999.0f) << c.name;
        EXPECT_NE(got.crs.find("UTM zone 33N"), std::string::npos) << c.name;
    }
    for (const std::string& name : FileNames(dir.path())) EXPECT_NE(name[0], '.') << name;
}

TEST(SkyGdalOutput, ADriverOrOptionGdalRefusesIsABadCommandLine) {
    TempDir dir;
    WriteGeoDem(dir.path("dem.tif"));
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--of=NoSuch"}, "no GDAL raster driver is named NoSuch"},
        {{"--of=AIG"}, "GDAL's AIG driver cannot make files"},
        {{"--of=PNG"}, "GDAL's PNG driver cannot write Float32 samples"},
        {{"--co=NO_SUCH_OPTION=1"},
         "GDAL's GTiff driver: driver GTiff does not support creation option NO_SUCH_OPTION"},
        {{"--co=COMPRESS=WHAT"}, "GDAL's GTiff driver: 'WHAT' is an unexpected value for COMPRESS"},
        {{"--of=COG", "--co=TILED=YES"}, "GDAL's COG driver: driver COG does not support creation option TILED"},
        {{"--co=COMPRESS"}, "--co needs a creation option as KEY=VALUE, not \"COMPRESS\""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = InScratch(dir, {"@dem.tif", "--angles=@a.out"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.args[0].rfind("--co", 0) == 0) args[1] = "--angles=" + dir.path("a.tif");
        const ProcessResult run = RunSky(args);
        EXPECT_EQ(run.exitCode, 7) << c.args[0];
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("umbrascope-sky:"), run.err.rfind("umbrascope-sky:")) << "one line: " << run.err;
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"}) << c.args[0];
    }
}

// The disk refuses the file midway (a file size limit): no file, no hidden temporary.
TEST(SkyGdalOutput, AWriteCutShortLeavesNothing) {
    TempDir dir;
    std::vector<float> rough(200 * 150);
    for (std::size_t i = 0; i < rough.size(); ++i) rough[i] = static_cast<float>((i * 7919) % 3000);
    WriteGeoDem(dir.path("dem.tif"), {200, 150, rough});
    const std::vector<std::vector<std::string>> cases = {
        {"--of=GTiff", "--angles=@a.out"},
        {"--of=COG", "--angles=@a.out"},
        {"--of=HFA", "--angles=@a.out"},
        {"--of=GTiff", "--irradiation=@a.out", "--day=100"},
        {"--of=HFA", "--irradiation=@a.out", "--day=100"},
        {"--of=HFA", "--shadow-masks=@a.out", "--day=100", "--times=9,15"}};
    for (const auto& c : cases) {
        std::vector<std::string> args = InScratch(dir, c);
        args.insert(args.begin(), {dir.path("dem.tif"), "--directions=8"});
        const ProcessResult run = RunSky(args, 120, [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{10000, 10000};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        EXPECT_EQ(run.exitCode, 6) << c[0] << " " << c[1] << ": " << run.err;
        EXPECT_NE(run.err.find("cannot write " + dir.path("a.out") + ": "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << "GDAL's own messages leaked: " << run.err;
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"}) << c[0] << " " << c[1];
    }
}

}  // namespace
