// The shaded picture against a plain computation on the height map: the slope lit
// by the sun, black where a texel ahead rises above the sun's elevation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "export_fixtures.h"

namespace {

struct Sun {
    const char* name;
    std::vector<std::string> options;
    bool forward;  // the sun ahead along increasing rows
};

class ShadeTest : public ::testing::TestWithParam<Sun> {};

TEST_P(ShadeTest, MatchesTheLitSlopeAndTheCastShadowsOfAPlainLoop) {
    constexpr std::uint32_t kN = 40;
    constexpr double kHeight = 300, kSize = 2400, kCell = kSize / kN, kSunDegrees = 12;
    const Terrain terrain = MakeTerrain(kN, false);
    TempDir dir;
    ASSERT_EQ(MakeHorizonMap(dir, terrain, dir.path("m.dds"), {"-h", "300", "-s", "2400"}).exitCode, 0);
    std::vector<std::string> args = {dir.path("m.dds"), "-H",      dir.path("h.pfm"), "-h", "300", "-s", "2400",
                                     "--16-bit",        "--shade", dir.path("s.png")};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    const auto run = RunExporter(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ReadPng png = ReadGreyPng(dir.path("s.png"));
    ASSERT_EQ(png.width, kN);
    ASSERT_EQ(png.samples.size(), std::size_t{kN} * kN);

    const auto z = [&](std::uint32_t r, std::uint32_t c) {
        return double(static_cast<float>(kHeight) * terrain.heights[r * kN + c]);
    };
    const double e = kSunDegrees * std::numbers::pi / 180, toSun = GetParam().forward ? 1 : -1;
    int shadowed = 0, lit = 0;
    for (std::uint32_t r = 0; r < kN; ++r)
        for (std::uint32_t c = 0; c < kN; ++c) {
            double steepest = 0;  // ahead, towards the sun
            for (std::uint32_t k = 0; k < kN; ++k)
                if (GetParam().forward ? k > r : k < r)
                    steepest = std::max(steepest, (z(k, c) - z(r, c)) / (std::fabs(double(k) - r) * kCell));
            const double angle = std::atan(steepest) * 180 / std::numbers::pi;
            if (std::fabs(angle - kSunDegrees) < 0.01) continue;  // too close to call
            const double got = png.samples[r * kN + c] / 65535.0;
            if (angle > kSunDegrees) {
                ++shadowed;
                EXPECT_EQ(got, 0.0) << r << ", " << c;
                continue;
            }
            const std::uint32_t c0 = c ? c - 1 : c, c1 = std::min(c + 1, kN - 1);
            const std::uint32_t r0 = r ? r - 1 : r, r1 = std::min(r + 1, kN - 1);
            const double dx = (z(r, c1) - z(r, c0)) / ((c1 - c0) * kCell);
            const double dy = (z(r1, c) - z(r0, c)) / ((r1 - r0) * kCell);
            const double expected =
                std::max(0.0, (-dy * toSun * std::cos(e) + std::sin(e)) / std::sqrt(dx * dx + dy * dy + 1));
            lit += expected > 0.05;
            EXPECT_NEAR(got, expected, 1e-4) << r << ", " << c;
        }
    EXPECT_GT(shadowed, 20);
    EXPECT_GT(lit, 200);
}

INSTANTIATE_TEST_SUITE_P(Suns, ShadeTest,
                         ::testing::Values(Sun{"red", {"--sun", "12"}, true}, Sun{"negative", {"--sun=-12"}, false},
                                           Sun{"green", {"--from", "green", "--sun", "12"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
