// Loads whose size differs from the file's: area averages when shrinking, linear
// interpolation when enlarging, each axis on its own.
#include <gtest/gtest.h>
#include <png.h>

#include <functional>
#include <utility>

#include "image/load_image.h"
#include "image_fixtures.h"

namespace {

class ImageResample : public ::testing::Test {
protected:
    // An A32B32G32R32F DDS: exact float texels in, no integer rounding in the way.
    std::string writeRgba(std::uint32_t width, std::uint32_t height, const std::vector<float>& rgba) {
        std::string path = dir_.path("image.dds");
        WriteBytes(path, DdsBytes(width, height, DdsFourCc(116), FloatBytes(rgba)));
        return path;
    }

    std::string writeRgba(std::uint32_t width, std::uint32_t height,
                          const std::function<float(std::uint32_t x, std::uint32_t y, int c)>& value) {
        std::vector<float> rgba;
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                for (int c = 0; c < 4; ++c) rgba.push_back(value(x, y, c));
            }
        }
        return writeRgba(width, height, rgba);
    }

    TempDir dir_;
};

// Deterministic values in [0.1, 1.1): sums of a few stay exact in double.
float Noise(std::uint32_t x, std::uint32_t y, int c) {
    const std::uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ (static_cast<std::uint32_t>(c) * 83492791u);
    return 0.1f + static_cast<float>(h % 4096) / 4096.0f;
}

struct Sizes {
    std::uint32_t inWidth, inHeight, outWidth, outHeight;
};

TEST_F(ImageResample, ConstantImageStaysConstant) {
    const Sizes cases[] = {{7, 5, 3, 2}, {7, 5, 16, 11}, {8, 8, 8, 3},    {8, 8, 3, 8},
                           {1, 1, 4, 4}, {5, 1, 2, 9},   {100, 3, 7, 64}, {3, 100, 64, 7}};
    const float colour[4] = {0.3f, 0.7f, 1e-3f, 123.456f};
    for (const Sizes& s : cases) {
        SCOPED_TRACE(::testing::Message()
                     << s.inWidth << "x" << s.inHeight << " -> " << s.outWidth << "x" << s.outHeight);
        const std::string path = writeRgba(s.inWidth, s.inHeight, [&](auto, auto, int c) { return colour[c]; });
        const Loaded loaded = Load(path, s.outWidth, s.outHeight);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        std::vector<float> expected;
        for (std::uint32_t i = 0; i < s.outWidth * s.outHeight; ++i)
            expected.insert(expected.end(), colour, colour + 4);
        EXPECT_TRUE(SameBits(loaded.texels, expected));
    }
}

TEST_F(ImageResample, ShrinkingByWholeFactorsAveragesBlocks) {
    const Sizes cases[] = {{8, 6, 4, 3}, {8, 8, 2, 4}, {9, 4, 3, 4}, {6, 1, 1, 1}};
    for (const Sizes& s : cases) {
        SCOPED_TRACE(::testing::Message()
                     << s.inWidth << "x" << s.inHeight << " -> " << s.outWidth << "x" << s.outHeight);
        const std::string path = writeRgba(s.inWidth, s.inHeight, &Noise);
        const Loaded loaded = Load(path, s.outWidth, s.outHeight);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        const std::uint32_t fx = s.inWidth / s.outWidth, fy = s.inHeight / s.outHeight;
        std::vector<float> expected;
        for (std::uint32_t y = 0; y < s.outHeight; ++y) {
            for (std::uint32_t x = 0; x < s.outWidth; ++x) {
                for (int c = 0; c < 4; ++c) {
                    double sum = 0;
                    for (std::uint32_t v = 0; v < fy; ++v) {
                        for (std::uint32_t u = 0; u < fx; ++u) sum += Noise(x * fx + u, y * fy + v, c);
                    }
                    expected.push_back(static_cast<float>(sum / (fx * fy)));
                }
            }
        }
        EXPECT_TRUE(SameBits(loaded.texels, expected));
    }
}

TEST_F(ImageResample, SixteenBitGreyShrinksToBlockAveragesInEveryChannel) {
    PngImage fixture;
    fixture.width = 10;
    fixture.height = 4;
    fixture.colourType = PNG_COLOR_TYPE_GRAY;
    fixture.bitDepth = 16;
    for (std::uint32_t i = 0; i < 40; ++i) fixture.samples.push_back(static_cast<std::uint16_t>(i * 1601 % 65536));
    WritePng(dir_.path("grey.png"), fixture);
    const Loaded loaded = Load(dir_.path("grey.png"), 5, 2);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    std::vector<float> expected;
    for (std::uint32_t y = 0; y < 2; ++y) {
        for (std::uint32_t x = 0; x < 5; ++x) {
            double sum = 0;
            for (std::uint32_t v = 0; v < 2; ++v) {
                for (std::uint32_t u = 0; u < 2; ++u)
                    sum += Unorm(fixture.samples[(2 * y + v) * 10 + 2 * x + u], 65535);
            }
            const auto grey = static_cast<float>(sum / 4);
            expected.insert(expected.end(), {grey, grey, grey, 1.0f});
        }
    }
    EXPECT_TRUE(SameBits(loaded.texels, expected));
}

TEST_F(ImageResample, PartlyCoveredTexelsWeighByCoverage) {
    const std::vector<float> row = {0.2f, 0.9f, 0.4f, 0.6f, 1.0f};
    const std::string path = writeRgba(5, 1, [&](std::uint32_t x, auto, int c) { return c == 0 ? row[x] : 1.0f; });
    // 5 -> 2: each target texel covers 2.5 source texels.
    Loaded loaded = Load(path, 2, 1);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_NEAR(loaded.texels[0], (0.2 + 0.9 + 0.5 * 0.4) / 2.5, 1e-7);
    EXPECT_NEAR(loaded.texels[4], (0.5 * 0.4 + 0.6 + 1.0) / 2.5, 1e-7);
    // 5 -> 3: 5/3 each; the middle texel takes a third of x1, all of x2, a third of x3.
    loaded = Load(path, 3, 1);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_NEAR(loaded.texels[0], (0.2 + 0.9 * 2 / 3) / (5.0 / 3), 1e-7);
    EXPECT_NEAR(loaded.texels[4], (0.9 / 3 + 0.4 + 0.6 / 3) / (5.0 / 3), 1e-7);
    EXPECT_NEAR(loaded.texels[8], (0.6 * 2 / 3 + 1.0) / (5.0 / 3), 1e-7);
}

TEST_F(ImageResample, EnlargingInterpolatesBetweenTexelCentres) {
    const float a = 0.2f, b = 1.0f;
    const std::string across =
        writeRgba(2, 1, [&](std::uint32_t x, auto, int c) { return c == 3 ? 1.0f : (x == 0 ? a : b); });
    const Loaded wide = Load(across, 4, 1);
    ASSERT_EQ(wide.result, status::Code::Ok);
    const float expected[4] = {a, static_cast<float>(0.75 * a + 0.25 * b), static_cast<float>(0.25 * a + 0.75 * b), b};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(wide.texels[4 * x], expected[x]) << x;

    const std::string down =
        writeRgba(1, 2, [&](auto, std::uint32_t y, int c) { return c == 3 ? 1.0f : (y == 0 ? a : b); });
    const Loaded tall = Load(down, 1, 4);
    ASSERT_EQ(tall.result, status::Code::Ok);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(tall.texels[4 * y + 1], expected[y]) << y;
}

// Red ramps across, green ramps down. Shrinking by whole factors keeps a ramp exact
// everywhere; enlarging keeps it wherever a target centre lies between source
// centres, and holds the edge value beyond. (Shrinking by other factors averages a
// staircase, which is linear only to within a fraction of a step.)
TEST_F(ImageResample, LinearRampStaysLinear) {
    // The last two span several decoding bands.
    const Sizes cases[] = {{12, 12, 4, 6},      {12, 12, 3, 2},       {8, 8, 29, 29},      {5, 16, 17, 4},
                           {600, 40, 200, 123}, {512, 600, 256, 900}, {512, 600, 512, 200}};
    const auto red = [](double x) { return 0.25 + 0.01 * x; };
    const auto green = [](double y) { return 2.0 - 0.003 * y; };
    for (const Sizes& s : cases) {
        SCOPED_TRACE(::testing::Message()
                     << s.inWidth << "x" << s.inHeight << " -> " << s.outWidth << "x" << s.outHeight);
        const std::string path = writeRgba(s.inWidth, s.inHeight, [&](std::uint32_t x, std::uint32_t y, int c) {
            return static_cast<float>(c == 0 ? red(x) : c == 1 ? green(y) : 0.5);
        });
        const Loaded loaded = Load(path, s.outWidth, s.outHeight);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        // Where a target texel's centre falls in source texel coordinates.
        const auto sourcePosition = [](std::uint32_t j, std::uint32_t in, std::uint32_t out) {
            return (j + 0.5) * in / out - 0.5;
        };
        for (std::uint32_t y = 0; y < s.outHeight; ++y) {
            for (std::uint32_t x = 0; x < s.outWidth; ++x) {
                const double sx = std::clamp(sourcePosition(x, s.inWidth, s.outWidth), 0.0, s.inWidth - 1.0);
                const double sy = std::clamp(sourcePosition(y, s.inHeight, s.outHeight), 0.0, s.inHeight - 1.0);
                const float* texel = &loaded.texels[4 * (std::size_t{y} * s.outWidth + x)];
                ASSERT_NEAR(texel[0], red(sx), 2e-6) << x << "," << y;
                ASSERT_NEAR(texel[1], green(sy), 2e-6) << x << "," << y;
                ASSERT_EQ(texel[2], 0.5f);
            }
        }
    }
}

TEST_F(ImageResample, OneChannelFormatsKeepTheirFill) {
    // R32F: green, blue and alpha are 1 before and after filtering.
    WriteBytes(dir_.path("red.dds"), DdsBytes(4, 2, DdsFourCc(114), FloatBytes({0, 1, 2, 3, 4, 5, 6, 7})));
    const Loaded loaded = Load(dir_.path("red.dds"), 2, 1);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(loaded.texels, {2.5f, 1.0f, 1.0f, 1.0f, 4.5f, 1.0f, 1.0f, 1.0f}));
}

// Keeping red alone gives the red of the RGBA load, bit for bit, at the same size,
// shrunk and enlarged.
TEST_F(ImageResample, RedAloneIsTheRedOfTheWholeTexels) {
    const std::string path = writeRgba(9, 6, &Noise);
    for (const auto& [w, h] : {std::pair{9u, 6u}, std::pair{4u, 3u}, std::pair{17u, 13u}}) {
        const Loaded whole = Load(path, w, h);
        ASSERT_EQ(whole.result, status::Code::Ok);
        std::vector<float> red(std::size_t{w} * h, -1.0f), expected;
        ASSERT_EQ(image::LoadImageScaledRed(path.c_str(), w, h, red.data()).code, status::Code::Ok);
        for (std::size_t i = 0; i < red.size(); ++i) expected.push_back(whole.texels[i * 4]);
        EXPECT_TRUE(SameBits(red, expected)) << w << "x" << h;
    }
}

}  // namespace
