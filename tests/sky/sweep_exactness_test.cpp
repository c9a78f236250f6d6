// The sweep against a plain loop over the sampling model's samples, bit for bit,
// and against the angles a tilted plane has.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "skyline/horizon_bands.h"
#include "skyline/line_sweep.h"
#include "terrain/terrain_families.h"

namespace {

using skyline::LatticeDirection;
using Terrain = horizon::testing::Terrain;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Every column-line and row-line crossing of the ray, one at a time, by the
// model's arithmetic; no profiles, no hull. The greatest slope quotient, NaN for none.
double ReferenceQuotient(const skyline::Grid& grid, const skyline::LineGeometry& g, std::int64_t x0, std::int64_t y0,
                         double maxDistance) {
    const double z0 = grid.at(x0, y0);
    if (std::isnan(z0)) return z0;
    const std::int64_t p0 = skyline::TexelPosition(g, x0, y0);
    const double w0 = skyline::Lowered(g, z0, p0);
    bool found = false;
    double best = 0;
    // Lines across the major steps (`along` per ray step) and the minor offset.
    const auto walk = [&](int along, int across, bool columns) {
        const std::int64_t m = std::abs(along);
        for (std::int64_t i = 1; m > 0; ++i) {
            const std::int64_t a = (columns ? x0 : y0) + (along > 0 ? i : -i);
            const std::int64_t b = (columns ? y0 : x0) + FloorDiv(across * i, m);
            const std::int64_t f = across * i - FloorDiv(across * i, m) * m;
            const std::int64_t limitA = columns ? grid.width : grid.height, limitB = columns ? grid.height : grid.width;
            if (a < 0 || a >= limitA || b < 0 || b >= limitB || (f != 0 && b + 1 >= limitB)) return;
            const double lo = columns ? grid.at(a, b) : grid.at(b, a);
            const double hi = f == 0 ? lo : columns ? grid.at(a, b + 1) : grid.at(b + 1, a);
            if (std::isnan(lo) || std::isnan(hi)) continue;
            const std::int64_t p = p0 + i * g.unitsPerStep / m;
            if (maxDistance > 0 && p - p0 > skyline::ReachInUnits(g, maxDistance)) return;
            const double q =
                skyline::SlopeQuotient(w0, p0, skyline::Lowered(g, skyline::CrossingHeight(lo, hi, f, m), p), p);
            if (!found || q > best) best = q;
            found = true;
        }
    };
    walk(g.d.dx, g.d.dy, true);
    walk(g.d.dy, g.d.dx, false);
    return found ? best : std::nan("");
}

float ReferenceAngle(const skyline::Grid& grid, const skyline::LineGeometry& g, std::int64_t x, std::int64_t y,
                     double maxDistance) {
    const double q = ReferenceQuotient(grid, g, x, y, maxDistance);
    return std::isnan(q) ? skyline::kNoData : skyline::HorizonAngle(g, q, skyline::TexelPosition(g, x, y));
}

// Each line's sweep, both ways, against the loop: the double quotients themselves,
// which the float angles could hide.
int QuotientDifferences(const skyline::Grid& grid, LatticeDirection d, double cellX, double cellY, bool curvature,
                        double maxDistance) {
    const skyline::LineGeometry g = skyline::MakeLineGeometry(d, cellX, cellY, curvature);
    const skyline::LineGeometry back = skyline::MakeLineGeometry({-d.dx, -d.dy}, cellX, cellY, curvature);
    skyline::LineProfile profile;
    skyline::HullState hull;
    std::vector<double> best;
    int differences = 0;
    for (std::int64_t y = 0; y < grid.height; ++y)
        for (std::int64_t x = 0; x < grid.width; ++x) {
            if (x - d.dx >= 0 && x - d.dx < grid.width && y - d.dy >= 0 && y - d.dy < grid.height) continue;
            skyline::GatherLine(grid, g, x, y, &profile);
            for (int ahead : {1, -1}) {
                hull.clear();
                if (maxDistance > 0)
                    skyline::SweepLineWithin(profile, ahead, skyline::ReachInUnits(g, maxDistance), &best);
                else
                    skyline::SweepLine(profile, ahead, &hull, &best);
                if (maxDistance == 0) {
                    // In two stretches, the far one first with its hull handed on: the same.
                    const std::size_t cut = best.size() / 2;
                    std::vector<double> split(best.size()), got;
                    hull.clear();
                    for (bool farPart : {true, false}) {
                        const bool upper = farPart == (ahead > 0);
                        const std::size_t from = upper ? cut : 0, to = upper ? best.size() : cut;
                        skyline::LineProfile part;
                        part.position.assign(profile.position.begin() + from, profile.position.begin() + to);
                        part.w.assign(profile.w.begin() + from, profile.w.begin() + to);
                        part.texel.assign(profile.texel.begin() + from, profile.texel.begin() + to);
                        skyline::SweepLine(part, ahead, &hull, &got);
                        std::copy(got.begin(), got.end(), split.begin() + from);
                    }
                    for (std::size_t k = 0; k < best.size(); ++k)
                        if (std::bit_cast<std::uint64_t>(split[k]) != std::bit_cast<std::uint64_t>(best[k]) &&
                            ++differences <= 3)
                            ADD_FAILURE() << "stretches differ at sample " << k;
                }
                for (std::size_t k = 0; k < best.size(); ++k) {
                    const std::int64_t t = profile.texel[k];
                    if (t < 0) continue;
                    const double want =
                        ReferenceQuotient(grid, ahead > 0 ? g : back, t % grid.width, t / grid.width, maxDistance);
                    if (std::bit_cast<std::uint64_t>(want) != std::bit_cast<std::uint64_t>(best[k]) &&
                        ++differences <= 3)
                        ADD_FAILURE() << "(" << d.dx << "," << d.dy << ") x" << ahead << " texel " << t << ": sweep "
                                      << best[k] << ", loop " << want;
                }
            }
        }
    return differences;
}

// Heights of a family in metres, with no-data holes where the family has
// non-finite values, for `holes` at random, and in every `voidEvery`th column.
std::vector<double> Heights(Terrain terrain, std::uint32_t w, std::uint32_t h, bool holes, std::uint32_t voidEvery) {
    const std::vector<float> rgba = horizon::testing::MakeHeights(terrain, w, h, 7);
    std::vector<double> z(std::size_t{w} * h);
    std::mt19937 random(11);
    for (std::size_t i = 0; i < z.size(); ++i) {
        const double v = rgba[4 * i] * 1234.5 - 17.25;
        const bool voidColumn = voidEvery > 0 && i % w % voidEvery == 0;
        z[i] = std::isfinite(v) && !(holes && random() % 9 == 0) && !voidColumn ? v : std::nan("");
    }
    return z;
}

const std::vector<LatticeDirection> kDirections = {{0, -1},  {0, 1},  {1, 0},  {-1, 0},  {1, 1},  {-1, -1},
                                                   {1, -1},  {-1, 1}, {2, 1},  {-2, -1}, {1, -2}, {5, 2},
                                                   {-5, -2}, {2, -5}, {-2, 5}, {5, -2}};

struct Case {
    Terrain terrain;
    std::uint32_t width, height;
    double cellX, cellY;
    bool curvature, holes;
    double maxDistance = 0;
    std::uint32_t voidEvery = 0;
};

class SweepExactness : public testing::TestWithParam<Case> {};

TEST_P(SweepExactness, EqualsThePlainLoopBitForBit) {
    const Case c = GetParam();
    const std::vector<double> z = Heights(c.terrain, c.width, c.height, c.holes, c.voidEvery);
    const skyline::Grid grid{c.width, c.height, z.data()};
    skyline::HorizonRequest request{kDirections, c.cellX, c.cellY, c.curvature, c.maxDistance, 2, {}};
    std::vector<std::vector<float>> bands;
    ASSERT_TRUE(skyline::ComputeHorizonBands(grid, request, &bands).ok());
    // Written into the caller's memory, whatever it held before, the same bits.
    std::vector<std::vector<float>> into(kDirections.size(), std::vector<float>(bands[0].size(), 1234.5f));
    std::vector<float*> places;
    for (std::vector<float>& band : into) places.push_back(band.data());
    ASSERT_TRUE(skyline::ComputeHorizonsInto(grid, request, places.data()).ok());
    for (std::size_t k = 0; k < kDirections.size(); ++k)
        EXPECT_EQ(std::memcmp(into[k].data(), bands[k].data(), bands[k].size() * sizeof(float)), 0) << k;
    int differences = 0;
    for (std::size_t k = 0; k < kDirections.size(); k += 2)
        differences += QuotientDifferences(grid, kDirections[k], c.cellX, c.cellY, c.curvature, c.maxDistance);
    for (std::size_t k = 0; k < kDirections.size(); ++k) {
        const skyline::LineGeometry g = skyline::MakeLineGeometry(kDirections[k], c.cellX, c.cellY, c.curvature);
        for (std::uint32_t y = 0; y < c.height; ++y)
            for (std::uint32_t x = 0; x < c.width; ++x) {
                const float want = ReferenceAngle(grid, g, x, y, c.maxDistance),
                            got = bands[k][std::size_t{y} * c.width + x];
                if (std::bit_cast<std::uint32_t>(want) != std::bit_cast<std::uint32_t>(got) && ++differences <= 3)
                    ADD_FAILURE() << "direction (" << g.d.dx << "," << g.d.dy << ") texel " << x << "," << y
                                  << ": sweep " << got << ", loop " << want;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, SweepExactness,
    testing::Values(
        Case{Terrain::Fbm16, 37, 29, 30, 30, false, false}, Case{Terrain::Fbm16, 41, 23, 10, 25, true, true},
        Case{Terrain::Ramp, 33, 33, 1, 1, false, false}, Case{Terrain::Ramp, 25, 40, 30, 30, true, false},
        Case{Terrain::RoundedRamp, 31, 17, 2, 3, false, false}, Case{Terrain::Bowl, 29, 29, 5, 5, false, false},
        Case{Terrain::Terraces, 35, 21, 1, 1, false, true}, Case{Terrain::Spikes, 27, 31, 1, 1, false, false},
        Case{Terrain::Specials, 32, 19, 3, 3, true, false}, Case{Terrain::Plane, 1, 45, 1, 1, false, false},
        Case{Terrain::Fbm8, 45, 1, 1, 1, false, false}, Case{Terrain::Fbm16, 1, 1, 1, 1, false, false},
        Case{Terrain::Fbm16, 43, 37, 10, 10, false, true, 77.0}, Case{Terrain::Ramp, 30, 30, 1, 1, true, false, 5.5},
        Case{Terrain::Spikes, 33, 20, 3, 2, false, false, 20.0},
        // What the vector lanes add: rows of fewer texels than lanes, lines
        // shorter than a step's crossings, ragged last packs, lanes with no data.
        Case{Terrain::Fbm16, 3, 30, 1, 1, false, false}, Case{Terrain::Spikes, 30, 4, 2, 1, false, true},
        Case{Terrain::Bowl, 17, 9, 1, 1, true, false}, Case{Terrain::Fbm16, 24, 26, 4, 4, false, false, 0, 3},
        Case{Terrain::Terraces, 25, 19, 1, 1, true, true, 0, 2}));

// A plane rising by g per metre towards azimuth beta rises by g cos(phi - beta)
// along phi, and every sample lies on it.
TEST(TiltedPlane, HasTheAngleOfItsSlopeInEveryDirection) {
    const std::uint32_t w = 23, h = 19;
    const double cellX = 12, cellY = 8, g = 0.35, beta = 0.6;
    std::vector<double> z(std::size_t{w} * h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            z[std::size_t{y} * w + x] = 500 + g * (x * cellX * std::sin(beta) - y * cellY * std::cos(beta));
    std::vector<std::vector<float>> bands;
    ASSERT_TRUE(
        skyline::ComputeHorizonBands({w, h, z.data()}, {kDirections, cellX, cellY, false, 0, 2, {}}, &bands).ok());
    for (std::size_t k = 0; k < kDirections.size(); ++k) {
        const double phi = skyline::AzimuthOf(kDirections[k], cellX, cellY) * M_PI / 180;
        const double want = std::atan(g * std::cos(phi - beta)) * 180 / M_PI;
        int checked = 0;
        for (std::size_t i = 0; i < z.size(); ++i)
            if (bands[k][i] != skyline::kNoData) {
                EXPECT_NEAR(bands[k][i], want, 1e-4) << "direction " << k << " texel " << i;
                ++checked;
            }
        EXPECT_GT(checked, static_cast<int>(z.size() / 2));
    }
}

}  // namespace
