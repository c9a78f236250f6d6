// The sky-view factor and the cast shadows against cases with known answers.
#include <gtest/gtest.h>

#include <cmath>

#include "sky/derived_products.h"
#include "sky/horizon_bands.h"

namespace {

struct Scene {
    std::uint32_t width, height;
    std::vector<double> z;
    std::vector<double> azimuths;
    std::vector<std::vector<float>> bands;
    sky::Grid grid() const { return {width, height, z.data()}; }
};

// `count` evenly asked directions on cells of `cell` metres.
void Sweep(Scene* scene, unsigned count, double cell) {
    std::vector<sky::LatticeDirection> directions;
    for (unsigned i = 0; i < count; ++i) {
        sky::LatticeDirection d;
        ASSERT_TRUE(sky::NearestLatticeDirection(360.0 * i / count, cell, cell, 1.0, &d));
        directions.push_back(d);
        scene->azimuths.push_back(sky::AzimuthOf(d, cell, cell));
    }
    ASSERT_EQ(sky::ComputeHorizonBands(scene->grid(), {directions, cell, cell, false, 0, 2, {}}, &scene->bands), S_OK);
}

TEST(SkyViewFactor, FollowsEachModelOnPlanes) {
    const double slope = 0.4;  // radians
    struct Case {
        const char* what;
        double gradient;
        sky::SvfModel model;
        double want;
    } cases[] = {
        {"flat, horizontal", 0, sky::SvfModel::Horizontal, 1},
        {"flat, sloped", 0, sky::SvfModel::Sloped, 1},
        {"flat, zaksek", 0, sky::SvfModel::Zaksek, 1},
        {"tilted, sloped", std::tan(slope), sky::SvfModel::Sloped, (1 + std::cos(slope)) / 2},
    };
    for (const Case& c : cases) {
        Scene scene{41, 41, std::vector<double>(41 * 41), {}, {}};
        for (std::size_t i = 0; i < scene.z.size(); ++i) scene.z[i] = 300 + c.gradient * 5.0 * (i % 41);
        Sweep(&scene, 16, 5);
        const std::vector<float> svf = sky::SkyViewFactor(scene.grid(), 5, 5, scene.bands, scene.azimuths, c.model);
        EXPECT_NEAR(svf[20 * 41 + 20], c.want, 2e-3) << c.what;
    }
}

TEST(Hillshade, ShadesWhatAWallHidesFromALowSun) {
    // A 100 m wall at column 30; the sun in the east 40 degrees up casts 119 m of
    // shadow on the flat ground west of it, 10 m a texel.
    Scene scene{40, 5, std::vector<double>(40 * 5, 0.0), {}, {}};
    for (std::uint32_t y = 0; y < 5; ++y) scene.z[y * 40 + 30] = 100;
    Sweep(&scene, 8, 10);
    const exporter::GreyImage image = sky::Hillshade(scene.grid(), 10, 10, scene.bands, scene.azimuths, 90, 40);
    const std::uint16_t lit = static_cast<std::uint16_t>(std::lround(255 * std::cos(50 * M_PI / 180)));
    for (int x = 0; x < 30; ++x) EXPECT_EQ(image.samples[2 * 40 + x], x >= 19 ? 0 : lit) << "column " << x;
    // Between the computed azimuths 45 and 90 the horizon is interpolated: at 67.5
    // the wall's 45-degree diagonal view and its 90-degree one are averaged.
    const sky::Bracket b = sky::BracketOf(scene.azimuths, 67.5);
    EXPECT_DOUBLE_EQ(sky::HorizonTowards(scene.bands, b, 2 * 40 + 25),
                     (scene.bands[1][2 * 40 + 25] + static_cast<double>(scene.bands[2][2 * 40 + 25])) / 2);
}

}  // namespace
