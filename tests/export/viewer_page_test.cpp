// The terrain page in a real browser: headless Chromium with software WebGL loads
// the page the companion wrote, sets two suns through the page's test mode, and
// the result it writes into the page is read back with --dump-dom. umbrascope-sky's
// page too: eight directions, the sun set by azimuth.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "export/viewer_output.h"
#include "export_fixtures.h"
#include "platform/image/load_image.h"
#include "sky/horizon_bands.h"
#include "sky/sky_viewer.h"

namespace {

struct SunCase {
    const char* side;  // "sky": umbrascope-sky's page, the sun at `azimuth`
    double high, low;  // sun elevations in degrees
    double azimuth = 0;
};
void PrintTo(const SunCase& c, std::ostream* os) { *os << c.side << " " << c.high << " then " << c.low; }

// One field of the page's JSON result: a number, a string or a bracketed list.
std::vector<std::string> Fields(const std::string& json, const std::string& name) {
    const std::regex field("\"" + name + "\":(\\[[^\\]]*\\]|\"[^\"]*\"|[-0-9.e+]+)");
    std::vector<std::string> values;
    for (std::sregex_iterator i(json.begin(), json.end(), field), end; i != end; ++i) values.push_back((*i)[1]);
    return values;
}

// The page's packing: four texels a hex digit, the first in the high bit.
std::string MaskOf(const std::vector<bool>& shadows) {
    std::string hex = "\"";
    for (std::size_t i = 0; i < shadows.size(); i += 4) {
        int digit = 0;
        for (std::size_t k = i; k < i + 4; ++k) digit = digit << 1 | (k < shadows.size() && shadows[k]);
        hex += "0123456789abcdef"[digit];
    }
    return hex + '"';
}

// umbrascope-sky's page data for the run below, by its own code: the DEM as it
// reads it, the eight directions it picks and its horizons.
std::vector<bool> SkyShadows(const std::string& dem, double cell, double scale, std::uint32_t mesh,
                             const SunCase& sun) {
    sky::Dem d;
    std::string why;
    EXPECT_EQ(sky::LoadDem(dem, {scale, 0, {}}, &d, &why), S_OK) << why;
    sky::HorizonRequest request;
    request.cellX = request.cellY = cell;
    std::vector<double> azimuths;
    for (double a = 0; a < 360; a += 45) {
        request.directions.emplace_back();
        EXPECT_TRUE(sky::NearestLatticeDirection(a, cell, cell, 1, &request.directions.back()));
        azimuths.push_back(sky::AzimuthOf(request.directions.back(), cell, cell));
    }
    std::vector<std::vector<float>> bands;
    EXPECT_EQ(sky::ComputeHorizonBands(d.grid(), request, &bands), S_OK);
    const viewer::PageData data = sky::MakeSkyPageData({d, cell, cell, azimuths}, bands, mesh);
    return sky::PageShadows(data, sun.azimuth, sun.high);
}

class ViewerPageTest : public ::testing::TestWithParam<SunCase> {};

TEST_P(ViewerPageTest, ChromiumShowsTheShadowsTheMapPredicts) {
    ASSERT_TRUE(std::filesystem::exists(CHROMIUM_EXE)) << "no chromium: run scripts/install-deps";
    const SunCase& p = GetParam();
    constexpr std::uint32_t kN = 256, kMesh = 128;
    TempDir dir;
    // The demo's terrain, smaller: 10 km across, 600 m of relief, forests.
    const std::vector<std::string> settings = {"-h", "600", "-s", "10000", "-z", "0"};
    ASSERT_EQ(RunProcess({MAKE_SAMPLE_MAPS_EXE, dir.path("h.png"), dir.path("t.png"), std::to_string(kN)}).exitCode, 0);
    const bool isSky = std::string(p.side) == "sky";
    const double cell = 10000.0 / kN, scale = 600.0 / 65535;
    if (isSky) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "--cell=%.17g", cell);
        std::vector<std::string> args = {UMBRASCOPE_SKY_EXE, dir.path("h.png"),    numbers,
                                         "--directions=8",   "--viewer",           dir.path("view.html"),
                                         "--viewer-size",    std::to_string(kMesh)};
        std::snprintf(numbers, sizeof numbers, "--scale=%.17g", scale);
        args.push_back(numbers);
        const auto made = RunProcess(args);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    } else {
        std::vector<std::string> run = {UMBRASCOPE_EXE,     "-H", dir.path("h.png"), "-T", dir.path("t.png"), "-r",
                                        std::to_string(kN), "-o", dir.path("m.dds")};
        run.insert(run.end(), settings.begin(), settings.end());
        ASSERT_EQ(RunProcess(run).exitCode, 0);
        std::vector<std::string> args = {
            dir.path("m.dds"),    "-H", dir.path("h.png"), "--viewer", dir.path("view.html"), "--viewer-size",
            std::to_string(kMesh)};
        args.insert(args.end(), settings.begin(), settings.end());
        const auto exported = RunExporter(args);
        ASSERT_EQ(exported.exitCode, 0) << exported.err;
    }

    const std::string shot = std::string(VIEWER_SHOTS_DIR) + "/" + p.side + ".png";
    std::filesystem::create_directories(VIEWER_SHOTS_DIR);
    std::filesystem::remove(shot);
    char hash[96];
    if (isSky)
        std::snprintf(hash, sizeof hash, "#test=%g,%g&azimuth=%g", p.high, p.low, p.azimuth);
    else
        std::snprintf(hash, sizeof hash, "#test=%g,%g&side=%s", p.high, p.low, p.side);
    // No display: headless, WebGL by SwiftShader; no sandbox, which root cannot have.
    const auto browser = RunProcess(
        {CHROMIUM_EXE, "--headless", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--no-sandbox",
         "--user-data-dir=" + dir.path("profile"), "--virtual-time-budget=5000", "--window-size=800,520",
         "--screenshot=" + shot, "--dump-dom", "file://" + dir.path("view.html") + hash},
        120);
    ASSERT_EQ(browser.exitCode, 0) << browser.err;
    const std::smatch found = [&] {
        std::smatch m;
        std::regex_search(browser.out, m, std::regex("id=\"umbrascope-test-result\"[^>]*>([^<]*)<"));
        return m;
    }();
    ASSERT_FALSE(found.empty()) << browser.out.substr(0, 2000);
    const std::string json = found[1];

    EXPECT_EQ(Fields(json, "errors"), std::vector<std::string>{"[]"}) << json.substr(0, 2000);
    const auto shares = Fields(json, "shadowedShare"), variances = Fields(json, "variance");
    ASSERT_EQ(shares.size(), 2u) << json.substr(0, 2000);
    ASSERT_EQ(variances.size(), 2u);
    for (const auto& v : variances) EXPECT_GT(std::stod(v), 100.0) << "a blank canvas";
    EXPECT_GT(std::stod(shares[0]), 0.0);
    EXPECT_LT(std::stod(shares[0]), std::stod(shares[1])) << "the shadows grow as the sun goes down";
    EXPECT_TRUE(std::filesystem::file_size(shot) > 1000) << shot;

    // The same mask from the map, the height map and the settings, by the program's own code.
    if (isSky) {
        EXPECT_EQ(Fields(json, "mask"),
                  std::vector<std::string>{MaskOf(SkyShadows(dir.path("h.png"), cell, scale, kMesh, p))});
        return;
    }
    exporter::HorizonMap map;
    std::string why;
    ASSERT_EQ(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why), S_OK) << why;
    std::vector<float> heights(std::size_t{kN} * kN);
    ASSERT_EQ(image::LoadImageScaledRed(dir.path("h.png").c_str(), kN, kN, heights.data()), S_OK);
    viewer::PageData data;
    ASSERT_EQ(exporter::MakeViewerData(map, heights.data(), {600, 0, 10000}, kMesh, &data), S_OK);
    const auto& codes = data.directions[std::string(p.side) == "forward" ? 0 : 1].codes;
    std::vector<bool> shadows;
    for (const std::uint16_t code : codes) shadows.push_back(viewer::ShadowedAt(code, p.high));
    EXPECT_EQ(Fields(json, "mask"), std::vector<std::string>{MaskOf(shadows)});
}

INSTANTIATE_TEST_SUITE_P(Suns, ViewerPageTest,
                         ::testing::Values(SunCase{"forward", 12, 3}, SunCase{"backward", 20, 4.5},
                                           SunCase{"sky", 15, 4, 150}),
                         [](const auto& info) { return std::string(info.param.side); });

}  // namespace
