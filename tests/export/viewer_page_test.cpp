// The terrain page in a real browser: headless Chromium with software WebGL loads
// the page the companion wrote, sets two suns through the page's test mode, and
// the result it writes into the page is read back with --dump-dom. umbrascope-sky's
// page too: eight directions, the sun set by azimuth. Then maps too thin, or with
// cells too small or too large, to draw as they are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "export/viewer_output.h"
#include "export_fixtures.h"
#include "image/load_image.h"
#include "sky/dem.h"
#include "skyline/derived_products.h"
#include "skyline/horizon_bands.h"
#include "skyline/lattice_direction.h"

namespace {

struct SunCase {
    const char* side;  // "sky": umbrascope-sky's page, the sun at `azimuth`
    double high, low;  // sun elevations in degrees
    double azimuth;
    const char* controls;  // the inputs shown, by id or name
};
void PrintTo(const SunCase& c, std::ostream* os) { *os << c.side << " " << c.high << " then " << c.low; }

// One field of the page's JSON result: a number, a string or a bracketed list. Not
// by std::regex, which recurses once a character and so overflows the stack on masks.
std::vector<std::string> Fields(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    std::vector<std::string> values;
    for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        const std::size_t from = at + key.size();
        const std::size_t to = json[from] == '['   ? json.find(']', from) + 1
                               : json[from] == '"' ? json.find('"', from + 1) + 1
                                                   : json.find_first_of(",}]", from);
        values.push_back(json.substr(from, to - from));
    }
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

// Whether every texel shadowed in `least` is in `mask`, and every one in `mask` in `most`.
bool Within(const std::string& least, const std::string& mask, const std::string& most) {
    const auto bits = [](char digit) { return std::stoi(std::string(1, digit), nullptr, 16); };
    bool within = least.size() == mask.size() && mask.size() == most.size();
    for (std::size_t i = 1; within && i + 1 < mask.size(); ++i)  // inside the quotes
        within = (bits(least[i]) & ~bits(mask[i])) == 0 && (bits(mask[i]) & ~bits(most[i])) == 0;
    return within;
}

// The page's points --shade's own code leaves in cast shadow for the run below, from
// its float angles (HorizonTowards the sun's azimuth above `elevation`), as a mask.
std::string SkyShadows(const std::string& dem, double cell, double scale, std::uint32_t mesh, const SunCase& sun,
                       double elevation) {
    sky::Dem d;
    std::string why;
    EXPECT_TRUE(sky::LoadDem(dem, {.scale = scale, .offset = {}, .noData = {}}, &d, &why).ok()) << why;
    skyline::HorizonRequest request;
    request.cellX = request.cellY = cell;
    std::vector<double> azimuths;
    for (double a = 0; a < 360; a += 45) {
        request.directions.emplace_back();
        EXPECT_TRUE(skyline::NearestLatticeDirection(a, cell, cell, 1, &request.directions.back()));
        azimuths.push_back(skyline::AzimuthOf(request.directions.back(), cell, cell));
    }
    std::vector<std::vector<float>> bands;
    EXPECT_TRUE(skyline::ComputeHorizonBands(d.grid(), request, &bands).ok());
    const skyline::Bracket bracket = skyline::BracketOf(azimuths, sun.azimuth);
    const viewer::PageGrid grid = viewer::GridFor(d.width, d.height, mesh);
    std::vector<bool> shadows;
    for (std::uint32_t r = 0; r < grid.rows; ++r)
        for (std::uint32_t c = 0; c < grid.columns; ++c)
            shadows.push_back(skyline::HorizonTowards(bands, bracket, (r * d.width + c) * grid.stride) > elevation);
    return MaskOf(shadows);
}

// The page at `html` + `hash` in headless Chromium: the JSON result its test mode wrote, or "".
std::string PageTestResult(const TempDir& dir, const std::string& html, const std::string& hash,
                           const std::string& name) {
    const std::string shot = std::string(VIEWER_SHOTS_DIR) + "/" + name + ".png";
    std::filesystem::create_directories(VIEWER_SHOTS_DIR);
    std::filesystem::remove(shot);
    // No display: headless, WebGL by SwiftShader; no sandbox, which root cannot have.
    const auto browser =
        RunProcess({CHROMIUM_EXE, "--headless", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                    "--no-sandbox", "--user-data-dir=" + dir.path("profile"), "--virtual-time-budget=5000",
                    "--window-size=800,520", "--screenshot=" + shot, "--dump-dom", "file://" + html + hash},
                   120);
    EXPECT_EQ(browser.exitCode, 0) << browser.err;
    EXPECT_TRUE(std::filesystem::exists(shot) && std::filesystem::file_size(shot) > 1000) << shot;
    const std::size_t result = browser.out.find('>', browser.out.find("id=\"umbrascope-test-result\""));
    EXPECT_NE(result, std::string::npos) << browser.out.substr(0, 2000);
    return result == std::string::npos ? ""
                                       : browser.out.substr(result + 1, browser.out.find('<', result) - result - 1);
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

    char hash[96];
    if (isSky)
        std::snprintf(hash, sizeof hash, "#test=%g,%g&azimuth=%g", p.high, p.low, p.azimuth);
    else
        std::snprintf(hash, sizeof hash, "#test=%g,%g&side=%s", p.high, p.low, p.side);
    const std::string json = PageTestResult(dir, dir.path("view.html"), hash, p.side);

    EXPECT_EQ(Fields(json, "errors"), std::vector<std::string>{"[]"}) << json.substr(0, 2000);
    EXPECT_EQ(Fields(json, "controls"), std::vector<std::string>{p.controls});
    const auto shares = Fields(json, "shadowedShare"), variances = Fields(json, "variance");
    ASSERT_EQ(shares.size(), 2u) << json.substr(0, 2000);
    ASSERT_EQ(variances.size(), 2u);
    for (const auto& v : variances) EXPECT_GT(std::stod(v), 100.0) << "a blank canvas";
    EXPECT_GT(std::stod(shares[0]), 0.0);
    EXPECT_LT(std::stod(shares[0]), std::stod(shares[1])) << "the shadows grow as the sun goes down";
    const auto mask = Fields(json, "mask");  // each sun's
    ASSERT_EQ(mask.size(), 2u);

    // --shade's shadows from the float angles, wherever the page's 16-bit angles can tell.
    if (isSky) {
        const double step = (viewer::kHighestAngle - viewer::kLowestAngle) / viewer::kAngleCodeFull;
        for (std::size_t s = 0; s < 2; ++s) {
            const double sun = s == 0 ? p.high : p.low;
            EXPECT_TRUE(Within(SkyShadows(dir.path("h.png"), cell, scale, kMesh, p, sun + step), mask[s],
                               SkyShadows(dir.path("h.png"), cell, scale, kMesh, p, sun - step)))
                << "sun " << sun;
        }
        return;
    }
    // The same masks from the map, the height map and the settings, by the program's own code.
    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok()) << why;
    std::vector<float> heights(std::size_t{kN} * kN);
    ASSERT_TRUE(image::LoadImageScaledRed(dir.path("h.png").c_str(), kN, kN, heights.data()).ok());
    viewer::PageData data;
    ASSERT_TRUE(exporter::MakeViewerData(map, heights.data(), {600, 0, 10000}, kMesh, &data).ok());
    const auto& codes = data.directions[std::string(p.side) == "forward" ? 0 : 1].codes;
    std::vector<bool> high, low;
    for (const std::uint16_t code : codes)
        high.push_back(viewer::ShadowedAt(code, p.high)), low.push_back(viewer::ShadowedAt(code, p.low));
    EXPECT_EQ(mask, (std::vector<std::string>{MaskOf(high), MaskOf(low)}));
}

const char* const kSideControls = R"(["elevation","side","shadows","relief"])";
INSTANTIATE_TEST_SUITE_P(Suns, ViewerPageTest,
                         ::testing::Values(SunCase{"forward", 12, 3, 0, kSideControls},
                                           SunCase{"backward", 20, 4.5, 0, kSideControls},
                                           SunCase{"sky", 15, 4, 150, R"(["elevation","azimuth","shadows","relief"])"}),
                         [](const auto& info) { return std::string(info.param.side); });

// umbrascope-sky's page of a `width` x `height` DEM of 30 m cells; with no size, the
// companion's of a 64 x 64 map `terraSize` metres across.
struct OddMapCase {
    const char* name;
    std::uint32_t width, height;
    const char* terraSize;
    const char* notice;  // what the page says above its controls, as a regex
};
void PrintTo(const OddMapCase& c, std::ostream* os) { *os << c.name; }
class OddMapPageTest : public ::testing::TestWithParam<OddMapCase> {};

TEST_P(OddMapPageTest, DrawsTheTerrainSayingWhatItChanged) {
    const OddMapCase& p = GetParam();
    TempDir dir;
    if (p.width > 0) {
        WriteBytes(dir.path("d.pfm"), PfmBytes(p.width, p.height, 1, true, std::vector<float>(p.width * p.height)));
        const auto made =
            RunProcess({UMBRASCOPE_SKY_EXE, dir.path("d.pfm"), "--cell=30", "--viewer=" + dir.path("v.html")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    } else {
        ASSERT_EQ(MakeHorizonMap(dir, MakeTerrain(64, true), dir.path("m.dds"), {"-s", p.terraSize}).exitCode, 0);
        const auto made = RunExporter(
            {dir.path("m.dds"), "-H", dir.path("h.pfm"), "-s", p.terraSize, "--viewer=" + dir.path("v.html")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    const std::string json = PageTestResult(dir, dir.path("v.html"), "#test=20", p.name);
    EXPECT_EQ(Fields(json, "errors"), std::vector<std::string>{"[]"}) << json.substr(0, 2000);
    EXPECT_GT(std::stod(Fields(json, "drawn").at(0)), 0.001) << "a blank canvas";
    EXPECT_TRUE(std::regex_match(Fields(json, "notice").at(0), std::regex(p.notice))) << json.substr(0, 2000);
}

INSTANTIATE_TEST_SUITE_P(Maps, OddMapPageTest,
                         ::testing::Values(OddMapCase{"one_texel", 1, 1, "", "\"\""},
                                           OddMapCase{"one_column", 1, 50, "", "\"\""},
                                           OddMapCase{"one_row", 50, 1, "", "\"\""},
                                           OddMapCase{"tiny_cells", 0, 0, "1e-30", ".*times flatter than it is.*"},
                                           OddMapCase{"huge_cells", 0, 0, "3e38", "\"\""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
