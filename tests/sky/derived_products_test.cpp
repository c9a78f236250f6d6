// The sky-view factor and the cast shadows against cases with known answers.
#include <gtest/gtest.h>

#include <cmath>

#include "sky/engine_texture.h"
#include "skyline/derived_products.h"
#include "skyline/horizon_bands.h"

namespace {

struct Scene {
    std::uint32_t width, height;
    std::vector<double> z;
    std::vector<double> azimuths;
    std::vector<std::vector<float>> bands;
    skyline::Grid grid() const { return {width, height, z.data()}; }
};

// `count` evenly asked directions on cells of `cell` metres.
void Sweep(Scene* scene, unsigned count, double cell) {
    std::vector<skyline::LatticeDirection> directions;
    for (unsigned i = 0; i < count; ++i) {
        skyline::LatticeDirection d;
        ASSERT_TRUE(skyline::NearestLatticeDirection(360.0 * i / count, cell, cell, 1.0, &d));
        directions.push_back(d);
        scene->azimuths.push_back(skyline::AzimuthOf(d, cell, cell));
    }
    ASSERT_TRUE(
        skyline::ComputeHorizonBands(scene->grid(), {directions, cell, cell, false, 0, 2, {}}, &scene->bands).ok());
}

TEST(SkyViewFactor, FollowsEachModelOnPlanes) {
    const double slope = 0.4;  // radians
    struct Case {
        const char* what;
        double gradient;
        skyline::SvfModel model;
        double want;
    } cases[] = {
        {"flat, horizontal", 0, skyline::SvfModel::Horizontal, 1},
        {"flat, sloped", 0, skyline::SvfModel::Sloped, 1},
        {"flat, zaksek", 0, skyline::SvfModel::Zaksek, 1},
        {"tilted, sloped", std::tan(slope), skyline::SvfModel::Sloped, (1 + std::cos(slope)) / 2},
    };
    for (const Case& c : cases) {
        Scene scene{41, 41, std::vector<double>(41 * 41), {}, {}};
        for (std::size_t i = 0; i < scene.z.size(); ++i) scene.z[i] = 300 + c.gradient * 5.0 * (i % 41);
        Sweep(&scene, 16, 5);
        const std::vector<float> svf = skyline::SkyViewFactor(scene.grid(), 5, 5, scene.bands, scene.azimuths, c.model);
        EXPECT_NEAR(svf[20 * 41 + 20], c.want, 2e-3) << c.what;
    }
}

TEST(Hillshade, ShadesWhatAWallHidesFromALowSun) {
    // A 100 m wall at column 30; the sun in the east 40 degrees up casts 119 m of
    // shadow on the flat ground west of it, 10 m a texel.
    Scene scene{40, 5, std::vector<double>(40 * 5, 0.0), {}, {}};
    for (std::uint32_t y = 0; y < 5; ++y) scene.z[y * 40 + 30] = 100;
    Sweep(&scene, 8, 10);
    for (const int bits : {8, 16}) {
        const encode::GreyImage image =
            skyline::Hillshade(scene.grid(), 10, 10, scene.bands, scene.azimuths, 90, 40, bits);
        const double brightest = bits == 16 ? 65535 : 255;
        const auto lit = static_cast<std::uint16_t>(std::lround(brightest * std::cos(50 * M_PI / 180)));
        for (int x = 0; x < 30; ++x) EXPECT_EQ(image.samples[2 * 40 + x], x >= 19 ? 0 : lit) << bits << " " << x;
    }
    // Between the computed azimuths 45 and 90 the horizon is interpolated: at 67.5
    // the wall's 45-degree diagonal view and its 90-degree one are averaged.
    const skyline::Bracket b = skyline::BracketOf(scene.azimuths, 67.5);
    EXPECT_DOUBLE_EQ(skyline::HorizonTowards(scene.bands, b, 2 * 40 + 25),
                     (scene.bands[1][2 * 40 + 25] + static_cast<double>(scene.bands[2][2 * 40 + 25])) / 2);
}

}  // namespace

namespace {

TEST(EngineTexture, StoresSinesInSlicesOfFourWithFullMipChains) {
    // 8 directions of 5 x 3 texels, band k at 10 k degrees; texel 0 of band 5 has none;
    // band 0's last column at 90 degrees, which the odd sides' lower levels must keep.
    std::vector<std::vector<float>> bands;
    for (int k = 0; k < 8; ++k) bands.emplace_back(15, 10.0f * k);
    bands[5][0] = skyline::kNoData;
    for (int row = 0; row < 3; ++row) bands[0][row * 5 + 4] = 90.0f;
    std::vector<std::uint8_t> dds;
    ASSERT_TRUE(sky::EncodeEngineDds(bands, 5, 3, &dds).ok());
    const auto u32 = [&](std::size_t at) { return dds[at] | dds[at + 1] << 8 | dds[at + 2] << 16 | dds[at + 3] << 24; };
    const auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>(dds[at] | dds[at + 1] << 8); };
    EXPECT_EQ(std::string(dds.begin(), dds.begin() + 4), "DDS ");
    EXPECT_EQ(u32(28), 3);           // mip levels: 5 x 3, 2 x 1, 1 x 1
    EXPECT_EQ(u32(84), 0x30315844);  // "DX10"
    EXPECT_EQ(u32(128), 10);         // DXGI_FORMAT_R16G16B16A16_FLOAT
    EXPECT_EQ(u32(140), 2);          // slices
    const std::size_t slice = (15 + 2 + 1) * 8;
    ASSERT_EQ(dds.size(), 148 + 2 * slice);
    // Slice 1, texel 1, green: band 5 at 50 degrees; texel 0 there has none.
    EXPECT_EQ(u16(148 + slice + 8 + 2), sky::HalfBits(static_cast<float>(std::sin(50 * M_PI / 180))));
    EXPECT_EQ(u16(148 + slice + 2), sky::HalfBits(-1.0f));
    // Level 1 of slice 0, red: texel 0 the mean of sin 0 over 2 x 3 texels, texel 1
    // over 3 x 3 with the last column's sin 90; level 2 the mean of those two.
    EXPECT_EQ(u16(148 + 15 * 8), 0);
    EXPECT_EQ(u16(148 + 16 * 8), sky::HalfBits(static_cast<float>(3.0 / 9)));
    EXPECT_EQ(u16(148 + 17 * 8), sky::HalfBits(static_cast<float>(1.0 / 6)));

    const struct {
        float value;
        std::uint16_t bits;
    } halves[] = {{1.0f, 0x3C00},  {-1.0f, 0xBC00}, {0.1f, 0x2E66},       {65504.0f, 0x7BFF},      {65520.0f, 0x7C00},
                  {1e-7f, 0x0002}, {-0.0f, 0x8000}, {1.0009766f, 0x3C01}, {1.00048828125f, 0x3C00}};
    for (const auto& h : halves) EXPECT_EQ(sky::HalfBits(h.value), h.bits) << h.value;
}

}  // namespace
