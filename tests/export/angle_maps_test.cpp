// The angles recovered from a horizon map the tool wrote, against the greatest
// slope found by a plain loop over the height map.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "export/angle_maps.h"
#include "export/horizon_angle.h"
#include "export_fixtures.h"
#include "image/load_image.h"

using exporter::Direction;
using exporter::DirectionAngles;
using exporter::TexelKind;
using horizon::HorizonSettings;

namespace {

constexpr double kFar = 900000.0;
constexpr double kUnit = 0x1p-24;

// The tool takes a value that starts with a dash only in quotes.
std::string Quoted(float value) {
    std::string text = "\"";
    text += std::to_string(value);
    text += '"';
    return text;
}

double Degrees(double slope) { return std::atan(slope) * 180.0 / std::numbers::pi; }

// What the height map says about one texel and direction.
struct Truth {
    TexelKind kind;
    double slope = 0;  // the greatest rising slope, for Horizon
};

Truth TruthAt(const std::vector<float>& z, const std::vector<bool>& tree, std::uint32_t n, float cell, std::uint32_t r,
              std::uint32_t c, Direction d) {
    const std::size_t i = std::size_t{r} * n + c;
    if (tree[i]) return {TexelKind::Tree};
    if (d == Direction::Forward ? r + 1 == n : r == 0) return {TexelKind::Edge};
    double best = 0;
    for (std::uint32_t k = 0; k < n; ++k) {
        const bool ahead = d == Direction::Forward ? k > r : k < r;
        const float zk = z[std::size_t{k} * n + c];
        if (!ahead || !(zk > z[i])) continue;
        const double run = std::fabs(double(float(k) * cell) - double(float(r) * cell));
        best = std::max(best, (double(zk) - z[i]) / run);
    }
    return best > 0 ? Truth{TexelKind::Horizon, best} : Truth{TexelKind::Open};
}

// The slopes a stored value may give back. The tool rounds the slope (three float
// operations), D, z0 + D and q, then q^2, 1 + q^2, the root and the reciprocal: some
// 6 units of 2^-24 relative on q and 4 on v. Here 8 and 6, mapped through
// |q| = sqrt(1 / v^2 - 1) to slopes on either sign of z0 + D.
struct SlopeBounds {
    double low, high;
};
SlopeBounds Bounds(double slope, double z0, double reach, double run, double sign) {
    const double q = (z0 + slope * run) / reach;
    const double v = 1.0 / std::sqrt(1.0 + q * q);
    const auto qOf = [](double value) { return std::sqrt(std::max(0.0, 1.0 / (value * value) - 1.0)); };
    const double qLow = qOf(std::min(1.0, v + 6 * kUnit)) * (1 - 8 * kUnit);
    const double qHigh = qOf(v - 6 * kUnit) * (1 + 8 * kUnit);
    const double a = (sign * qLow * reach - z0) / run, b = (sign * qHigh * reach - z0) / run;
    return {std::min(a, b), std::max(a, b)};
}

struct Case {
    const char* name;
    float height, heightZero, terraSize;
    bool trees;
};

class AngleMapsTest : public ::testing::TestWithParam<Case> {};

TEST_P(AngleMapsTest, MatchThePlainLoopWithinTheStoredValuesRounding) {
    const Case& p = GetParam();
    constexpr std::uint32_t kN = 40;
    const Terrain terrain = MakeTerrain(kN, p.trees);
    TempDir dir;
    const auto run =
        MakeHorizonMap(dir, terrain, dir.path("m.dds"),
                       {"-h", std::to_string(p.height), "-s", std::to_string(p.terraSize), "-z", Quoted(p.heightZero)});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok()) << why;
    std::vector<float> heights(std::size_t{kN} * kN);
    ASSERT_TRUE(image::LoadImageScaledRed(dir.path("h.pfm").c_str(), kN, kN, heights.data()).ok());
    const HorizonSettings terrainSettings{p.height, p.heightZero, p.terraSize};
    exporter::AngleMaps angles;
    ASSERT_TRUE(exporter::ComputeAngleMaps(map, heights.data(), terrainSettings, &angles).ok());

    // The elevations the tool saw: trees raised by 4 m.
    std::vector<float> z(std::size_t{kN} * kN);
    std::vector<bool> tree(z.size());
    for (std::size_t i = 0; i < z.size(); ++i) {
        tree[i] = terrain.trees[i] / 255.0f > 0.1;
        const float h = tree[i] ? static_cast<float>(double(heights[i]) + 4.0 / p.height) : heights[i];
        z[i] = horizon::Elevation(terrainSettings, h);
    }
    const float cell = p.terraSize / static_cast<float>(kN);
    const double half = static_cast<float>(p.terraSize * 0.5);
    int horizons = 0, ambiguous = 0;
    double worstAboveOneDegree = 0;
    for (Direction d : {Direction::Forward, Direction::Backward}) {
        const DirectionAngles& got = d == Direction::Forward ? angles.forward : angles.backward;
        for (std::uint32_t r = 0; r < kN; ++r)
            for (std::uint32_t c = 0; c < kN; ++c) {
                const std::size_t i = std::size_t{r} * kN + c;
                const Truth truth = TruthAt(z, tree, kN, cell, r, c, d);
                const TexelKind kind = got.kinds[i];
                const std::string where = std::string(d == Direction::Forward ? "forward" : "backward") + " (" +
                                          std::to_string(r) + ", " + std::to_string(c) + ")";
                if (truth.kind != TexelKind::Horizon) {
                    EXPECT_EQ(kind, truth.kind) << where;
                    EXPECT_TRUE(std::isnan(got.degrees[i])) << where;
                    continue;
                }
                const double y0 = float(r) * cell;
                const double reach = d == Direction::Forward ? kFar - half : kFar + half;
                const double lineRun = d == Direction::Forward ? kFar - y0 : kFar + y0;
                const SlopeBounds plus = Bounds(truth.slope, z[i], reach, lineRun, 1.0);
                const SlopeBounds minus = Bounds(truth.slope, z[i], reach, lineRun, -1.0);
                ASSERT_TRUE(kind == TexelKind::Horizon || kind == TexelKind::Faint || kind == TexelKind::Ambiguous)
                    << where << ": " << exporter::KindName(kind);
                const double given = got.degrees[i];
                // The angles are stored as floats: one rounding more.
                const auto holds = [](SlopeBounds b, double degrees) {
                    const double slack = 1e-12 + std::fabs(degrees) * 0x1p-23;
                    return degrees >= Degrees(b.low) - slack && degrees <= Degrees(b.high) + slack;
                };
                const double truthDegrees = Degrees(truth.slope);
                // The value is read on the sign of z0 + D >= 0 always.
                EXPECT_TRUE(holds(plus, given)) << where << ": " << given << " for " << truthDegrees << " in ["
                                                << Degrees(plus.low) << ", " << Degrees(plus.high) << "]";
                if (kind == TexelKind::Ambiguous) {
                    ++ambiguous;
                    EXPECT_LT(z[i], 0.0f) << where;
                    EXPECT_TRUE(holds(plus, truthDegrees) || holds(minus, truthDegrees)) << where;
                    continue;
                }
                ++horizons;
                // Where the value may stand for q = 0 the two signs meet and either holds.
                const bool signsMeet = plus.low == minus.high;
                EXPECT_TRUE(holds(plus, truthDegrees) || (signsMeet && holds(minus, truthDegrees)))
                    << where << ": the truth " << truthDegrees << " is on the other sign";
                if (truthDegrees > 1.0)
                    worstAboveOneDegree = std::max(worstAboveOneDegree, std::fabs(given - truthDegrees));
            }
    }
    EXPECT_GT(horizons, int(kN * kN) / 4);  // the map has enough terrain to test
    EXPECT_LT(worstAboveOneDegree, 1e-3);
    if (p.heightZero < -1000) {
        EXPECT_GT(ambiguous, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, AngleMapsTest,
                         ::testing::Values(Case{"plain", 150.0f, 0.0f, 2400.0f, true},
                                           Case{"high ground", 600.0f, 1200.0f, 10000.0f, false},
                                           Case{"below sea level", 600.0f, -4000.0f, 10000.0f, true},
                                           Case{"wide and low", 30.0f, 5.0f, 30000.0f, false}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

}  // namespace

namespace {

// A real horizon whose value rounds to 0.999: row 1 stands zb above a flat map, so
// row 0 looks at it forward. zb is searched so that the run's own arithmetic stores
// exactly 0.999; nothing else ahead rises.
TEST(AngleMaps, ARealHorizonThatStores0999GetsItsAngle) {
    constexpr std::uint32_t kN = 8;
    constexpr float kSize = 800.0f, kCell = kSize / kN, kHalf = kSize / 2;
    const double q = std::sqrt(1.0 / (0.999 * 0.999) - 1.0);
    float zb = static_cast<float>(q * (kFar - kHalf) / kFar * kCell);
    for (int step = 0; step < 1000000 && horizon::ForwardValue(0, 0, kCell, zb, kHalf) != 0.999f; ++step)
        zb = std::nextafter(zb, horizon::ForwardValue(0, 0, kCell, zb, kHalf) > 0.999f ? 1e9f : 0.0f);
    ASSERT_EQ(horizon::ForwardValue(0, 0, kCell, zb, kHalf), 0.999f);
    Terrain terrain{kN, std::vector<float>(kN * kN, 0.0f), std::vector<std::uint16_t>(kN * kN, 0)};
    for (std::uint32_t c = 0; c < kN; ++c) terrain.heights[kN + c] = zb;
    TempDir dir;
    ASSERT_EQ(MakeHorizonMap(dir, terrain, dir.path("m.dds"), {"-h", "1", "-s", "800", "-z", "0"}).exitCode, 0);
    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok()) << why;
    ASSERT_EQ(map.red(0, 3), 0.999f);  // the run stored it
    const std::vector<float>& heights = terrain.heights;
    exporter::AngleMaps angles;
    ASSERT_TRUE(exporter::ComputeAngleMaps(map, heights.data(), {1.0f, 0.0f, kSize}, &angles).ok());
    EXPECT_EQ(angles.forward.kinds[3], TexelKind::Horizon);
    EXPECT_NEAR(angles.forward.degrees[3], Degrees(zb / kCell), 0.01);
    // Row 2 stores 0.999 too, with nothing higher ahead: open.
    EXPECT_EQ(map.red(2, 3), 0.999f);
    EXPECT_EQ(angles.forward.kinds[2 * kN + 3], TexelKind::Open);
    // A sun just under that horizon: row 0 in its shadow, the open row 2 lit.
    // Both are told late, from the rows ahead.
    std::vector<std::uint8_t> shadows(kN * kN, 2);
    EXPECT_TRUE(exporter::CastShadows(
        map, heights.data(), {1.0f, 0.0f, kSize}, exporter::Direction::Forward, angles.forward.degrees[3] - 1e-4,
        nullptr, [&](std::uint32_t r, const std::uint8_t* row) { std::copy(row, row + kN, shadows.begin() + r * kN); },
        [&](std::size_t i) { shadows[i] = 1; }));
    EXPECT_EQ(shadows[3], 1);
    EXPECT_EQ(shadows[2 * kN + 3], 0);
}

// The comparison with the sun's tangent gives the stored angle's own answer, at
// the sun's exact angle, across the band around it and far from it.
TEST(AngleAbove, AgreesWithTheStoredAngleEverywhere) {
    for (const double sun : {1e-3, 2.45, 12.0, 45.0, 89.999, 90.0}) {
        const double atSun = std::tan(sun * std::numbers::pi / 180);
        // The sun at a stored angle too, so that a slope can store exactly it.
        for (const double degrees : {sun, double(static_cast<float>(exporter::SlopeDegrees(atSun)))}) {
            const exporter::AngleAbove above(degrees);
            std::vector<double> slopes = {0, -1, 1e-300, 1e300, HUGE_VAL, -HUGE_VAL, NAN};
            for (int k = -300; k <= 300; ++k) {
                slopes.push_back(atSun * (1 + k * 1e-9));  // across the float rounding of the angle
                slopes.push_back(std::tan(degrees * (1 + k * 1e-7) * std::numbers::pi / 180));  // the band's edges
                slopes.push_back(std::ldexp(1.0, k / 10));
            }
            for (const double s : slopes)
                EXPECT_EQ(above(s), static_cast<float>(exporter::SlopeDegrees(s)) > degrees) << degrees << " " << s;
        }
    }
}

}  // namespace
