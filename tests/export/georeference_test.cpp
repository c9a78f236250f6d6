// Each TIFF output of a run on a GeoTIFF height map, as GDAL reads it back: the
// coordinate system, the geotransform scaled to the map's size and the band names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "export_fixtures.h"

namespace {

std::string Gdal(const std::string& tool) { return "/usr/bin/" + tool; }

// The numbers of the array after `"key":` in gdalinfo's JSON.
std::vector<double> JsonNumbers(const std::string& json, const std::string& key) {
    std::vector<double> numbers;
    auto at = json.find("\"" + key + "\"");
    if (at == std::string::npos) return numbers;
    at = json.find('[', at);
    const auto end = json.find(']', at);
    for (const char* p = json.c_str() + at + 1; p < json.c_str() + end;) {
        char* next = nullptr;
        const double value = std::strtod(p, &next);
        if (next == p) {
            ++p;
            continue;
        }
        numbers.push_back(value);
        p = next;
    }
    return numbers;
}

struct Output {
    const char* name;
    const char* option;
    const char* file;
    std::vector<std::string> more;
    std::vector<std::string> bands;
    bool noData;
};

class GeoreferenceTest : public ::testing::TestWithParam<Output> {};

TEST_P(GeoreferenceTest, GdalReadsTheCoordinateSystemTheScaledGeotransformAndTheBandNames) {
    if (!std::filesystem::exists(Gdal("gdalinfo")) || !std::filesystem::exists(Gdal("gdal_translate")))
        GTEST_SKIP() << "GDAL is not installed";
    const Output& p = GetParam();
    TempDir dir;
    // A DEM of 48 x 36 texels of 200 m in UTM 33N, made a map of 40 x 40.
    constexpr std::uint32_t kW = 48, kH = 36;
    std::vector<std::uint16_t> dem;
    for (std::uint32_t i = 0; i < kW * kH; ++i) dem.push_back(static_cast<std::uint16_t>(1000 + (i * 37) % 900));
    WriteBytes(dir.path("dem.pgm"), PnmBytes('5', kW, kH, 65535, dem));
    const Terrain trees = MakeTerrain(40, false);
    WriteBytes(dir.path("t.pgm"), PnmBytes('5', 40, 40, 255, trees.trees));
    ASSERT_EQ(RunProcess({Gdal("gdal_translate"), "-q", "-of", "GTiff", "-a_srs", "EPSG:32633", "-a_ullr", "500000",
                          "4604000", "509600", "4596800", dir.path("dem.pgm"), dir.path("dem.tif")})
                  .exitCode,
              0);
    ASSERT_EQ(RunProcess({UMBRASCOPE_EXE, "-H", dir.path("dem.tif"), "-T", dir.path("t.pgm"), "-r", "40", "-h", "600",
                          "-s", "9600", "-o", dir.path("m.dds")})
                  .exitCode,
              0);
    std::vector<std::string> args = {dir.path("m.dds"),
                                     "-H",
                                     dir.path("dem.tif"),
                                     "-h",
                                     "600",
                                     "-s",
                                     "9600",
                                     std::string(p.option) + "=" + dir.path(p.file)};
    args.insert(args.end(), p.more.begin(), p.more.end());
    const auto run = RunExporter(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const auto info = RunProcess({Gdal("gdalinfo"), "-json", dir.path(p.file)});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("ID[\\\"EPSG\\\",32633]"), std::string::npos) << info.out;
    const std::vector<double> gt = JsonNumbers(info.out, "geoTransform");
    const std::vector<double> expected = {500000, 9600.0 / 40, 0, 4604000, 0, -7200.0 / 40};
    ASSERT_EQ(gt.size(), 6u) << info.out;
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(gt[i], expected[i]) << i;
    for (const auto& band : p.bands)
        EXPECT_NE(info.out.find("\"description\":\"" + band + "\""), std::string::npos) << band << "\n" << info.out;
    EXPECT_EQ(info.out.find("\"noDataValue\":\"NaN\"") != std::string::npos, p.noData) << info.out;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, GeoreferenceTest,
    ::testing::Values(
        Output{"channels", "--channels", "c.tif", {}, {"forward", "backward", "blue"}, false},
        Output{"angles", "--angles", "a.tiff", {}, {"forward", "backward", "forwardKind", "backwardKind"}, true},
        Output{"shade", "--shade", "s.tif", {"--sun", "10"}, {"shade"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
