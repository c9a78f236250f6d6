// The preview PNGs: the grey of each kind of texel, the two bit depths, the
// side-by-side image, shrinking, and the height map picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>

#include <tiffio.h>
#include <zlib.h>

#include "export/grey_preview.h"
#include "export_fixtures.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/png_encoder.h"

namespace {

constexpr std::uint32_t kWidth = 3, kHeight = 4;

float CosDegrees(double degrees) { return static_cast<float>(std::cos(degrees * std::numbers::pi / 180.0)); }

// Red and green per texel, rows 0 to 3. Row 3 has no terrain ahead forward, row 0
// none backward.
std::vector<float> Texels() {
    const float nan = std::nanf("");
    const float red[kHeight][kWidth] = {{CosDegrees(9), 0.999f, 1.0f},
                                        {0.001f, CosDegrees(27), nan},
                                        {0.001f, CosDegrees(60), CosDegrees(36)},
                                        {0.5f, 0.001f, 0.2f}};
    const float green[kHeight][kWidth] = {{0.3f, 0.3f, 0.3f},
                                          {0.001f, CosDegrees(18), 0.999f},
                                          {0.5f, 1.0f, CosDegrees(6.3)},
                                          {CosDegrees(9), 0.001f, -1.0f}};
    std::vector<float> texels;
    for (std::uint32_t r = 0; r < kHeight; ++r)
        for (std::uint32_t c = 0; c < kWidth; ++c) texels.insert(texels.end(), {red[r][c], green[r][c], 0, 0});
    return texels;
}

// Levels at range 45: white where nothing rises or nothing lies ahead, black under
// trees and for values outside (0, 1], else 1 - acos(v) / 45 degrees.
const double kRed[kHeight * kWidth] = {0.8, 1, 1, 0, 0.4, 0, 0, 0, 0.2, 1, 0, 1};
const double kGreen[kHeight * kWidth] = {1, 1, 1, 0, 0.6, 1, 0, 1, 0.86, 0.8, 0, 0};

std::vector<std::uint16_t> Quantised(const double* levels, double top) {
    std::vector<std::uint16_t> samples;
    for (std::uint32_t i = 0; i < kWidth * kHeight; ++i)
        samples.push_back(static_cast<std::uint16_t>(std::lround(std::clamp(levels[i], 0.0, 1.0) * top)));
    return samples;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir_.path("m.dds"), DdsBytes(kWidth, kHeight, DdsFourCc(116), FloatBytes(Texels())));
    }
    TempDir dir_;
};

TEST_F(PreviewTest, EightAndSixteenBitGreysAndBothSideBySide) {
    for (const bool wide : {false, true}) {
        std::vector<std::string> args = {dir_.path("m.dds"), "--preview", dir_.path("p")};
        if (wide) args.push_back("--16-bit");
        const auto run = RunExporter(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const double top = wide ? 65535 : 255;
        const ReadPng red = ReadGreyPng(dir_.path("p.red.png")), green = ReadGreyPng(dir_.path("p.green.png"));
        const ReadPng both = ReadGreyPng(dir_.path("p.both.png"));
        EXPECT_EQ(red.bitDepth, wide ? 16 : 8);
        EXPECT_EQ(red.samples, Quantised(kRed, top));
        EXPECT_EQ(green.samples, Quantised(kGreen, top));
        ASSERT_EQ(both.width, 2 * kWidth);
        ASSERT_EQ(both.height, kHeight);
        for (std::uint32_t r = 0; r < kHeight; ++r)
            for (std::uint32_t c = 0; c < kWidth; ++c) {
                EXPECT_EQ(both.samples[r * 2 * kWidth + c], red.samples[r * kWidth + c]);
                EXPECT_EQ(both.samples[r * 2 * kWidth + kWidth + c], green.samples[r * kWidth + c]);
            }
    }
}

TEST_F(PreviewTest, RangeAndShrink) {
    ASSERT_EQ(RunExporter({dir_.path("m.dds"), "-p", dir_.path("r"), "--range=40"}).exitCode, 0);
    const ReadPng red = ReadGreyPng(dir_.path("r.red.png"));
    ASSERT_EQ(red.samples.size(), kWidth * kHeight);
    EXPECT_EQ(red.samples[0], 198);                                       // 9 degrees of 40: 0.775
    EXPECT_EQ(red.samples[4], 83);                                        // 27 of 40
    EXPECT_EQ(red.samples[7], 0);                                         // 60: beyond the range
    EXPECT_EQ(ReadGreyPng(dir_.path("r.green.png")).samples.at(4), 140);  // 18 of 40

    ASSERT_EQ(RunExporter({dir_.path("m.dds"), "-p", dir_.path("s"), "--shrink", "2"}).exitCode, 0);
    const ReadPng shrunk = ReadGreyPng(dir_.path("s.red.png"));
    ASSERT_EQ(shrunk.width, 2u);
    ASSERT_EQ(shrunk.height, 2u);
    // Blocks of 2 x 2, the right column only 1 wide.
    const double expected[4] = {(kRed[0] + kRed[1] + kRed[3] + kRed[4]) / 4, (kRed[2] + kRed[5]) / 2,
                                (kRed[6] + kRed[7] + kRed[9] + kRed[10]) / 4, (kRed[8] + kRed[11]) / 2};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(shrunk.samples[i], std::lround(expected[i] * 255)) << i;
}

TEST_F(PreviewTest, HeightMapFromLowestToHighest) {
    std::vector<float> heights;
    for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) heights.push_back(-2.0f + 0.5f * static_cast<float>(i));
    WriteBytes(dir_.path("h.pfm"), PfmBytes(kWidth, kHeight, 1, true, heights));
    const auto run = RunExporter({dir_.path("m.dds"), "--height-png", dir_.path("h.png"), "-H", dir_.path("h.pfm")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ReadPng height = ReadGreyPng(dir_.path("h.png"));
    ASSERT_EQ(height.samples.size(), kWidth * kHeight);
    for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) EXPECT_EQ(height.samples[i], std::lround(i / 11.0 * 255)) << i;
}

// Each threshold and the float just below it, with the special values, as texels
// of a map with both edge rows: the pictures made from the thresholds equal those
// made from the levels, at both depths and three ranges.
TEST(HorizonSamplesTest, EqualTheLevelsAtEveryThreshold) {
    using namespace exporter;
    for (const double range : {45.0, 7.5, 120.0})
        for (const int depth : {8, 16}) {
            const HorizonSamples samples(range, depth);
            std::vector<float> values = {1.0f, 0.999f, 0.001f, 0x1p-149f, 0.0f, -0.5f, 2.0f, std::nanf("")};
            for (std::uint32_t k = 1; k <= (depth == 16 ? 65535u : 255u) && samples.threshold(k) <= 1.0f; ++k)
                values.insert(values.end(), {samples.threshold(k), std::nextafter(samples.threshold(k), 0.0f)});
            std::vector<float> texels;
            for (std::uint32_t r = 0; r < 3; ++r)
                for (std::size_t c = 0; c < values.size(); ++c)
                    texels.insert(texels.end(), {values[c], values[(c + r) % values.size()], 0, 0});
            const HorizonMap map = MapInMemory(static_cast<std::uint32_t>(values.size()), 3, std::move(texels));
            encode::GreyImage forward, backward;
            HorizonPictures(map, samples, 1, &forward, &backward);
            EXPECT_EQ(forward.samples, Quantise(HorizonLevels(map, Direction::Forward, range), 1, depth).samples);
            EXPECT_EQ(backward.samples, Quantise(HorizonLevels(map, Direction::Backward, range), 1, depth).samples);
        }
}

// Heights a few floats either side of every place where the sample steps, with
// the ends and non-finite ones, over two ranges: the picture made from thresholds
// equals the one made from the levels.
TEST(HeightPictureTest, EqualsTheLevelsAtEverySampleStep) {
    using namespace exporter;
    for (const auto& [low, high] : {std::pair{-35.5f, 1204.25f}, std::pair{0.0f, 1.0f}})
        for (const int depth : {8, 16}) {
            const double top = depth == 16 ? 65535 : 255;
            std::vector<float> heights = {std::nanf(""), INFINITY, -INFINITY};
            for (std::uint32_t k = 0; k <= top; ++k) {
                float h = static_cast<float>(low + (k + 0.5) / top * (static_cast<double>(high) - low));
                for (int i = 0; i < 4; ++i) h = std::nextafter(h, -INFINITY);
                for (int i = 0; i < 8; ++i, h = std::nextafter(h, INFINITY))
                    heights.push_back(std::clamp(h, low, high));
            }
            const auto width = static_cast<std::uint32_t>(heights.size());
            EXPECT_EQ(HeightPicture(heights.data(), width, 1, 1, depth).samples,
                      Quantise(HeightLevels(heights.data(), width, 1), 1, depth).samples)
                << low << " to " << high << ", " << depth << " bits";
        }
}

// The zlib stream of a PNG's IDAT chunks inflated whole, its checksum checked
// (libpng does not check it).
bool Inflates(const std::vector<std::uint8_t>& png, std::size_t rawBytes) {
    std::vector<std::uint8_t> stream;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT")
            stream.insert(stream.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    std::vector<std::uint8_t> raw(rawBytes + 1);
    uLongf made = raw.size();
    return uncompress(raw.data(), &made, stream.data(), stream.size()) == Z_OK && made == rawBytes;
}

// Pictures for the encoder: noise; flat stretches, steps and noise (runs longer
// than a match, Huffman-coded blocks); one row whose bytes have Fibonacci counts
// (codes deeper than 15 bits before they are limited).
encode::GreyImage TestPicture(int kind, std::uint32_t height, int depth) {
    const std::uint32_t top = depth == 16 ? 65536 : 256;
    if (kind == 2) {
        encode::GreyImage image{0, 1, depth, {}};
        for (std::uint32_t k = 0, a = 1, b = 1; k < 25; ++k, b = a + b, a = b - a)
            image.samples.insert(image.samples.end(), a, static_cast<std::uint16_t>(k));
        std::mt19937 random(7);
        std::shuffle(image.samples.begin(), image.samples.end(), random);
        image.width = static_cast<std::uint32_t>(image.samples.size());
        return image;
    }
    const std::uint32_t width = kind == 0 ? 7 : 700;
    encode::GreyImage image{width, height, depth, {}};
    for (std::uint32_t i = 0; i < width * height; ++i) {
        const std::uint32_t x = i % width, y = i / width;
        const std::uint32_t noise = i * i * 131 % top;
        image.samples.push_back(static_cast<std::uint16_t>(kind == 0 || x % 350 > 300 ? noise
                                                           : x < 400                  ? 9
                                                                                      : y * 3 % top));
    }
    return image;
}

// The rows are deflated in two halves joined into one stream: one row (an empty
// top half) and more, packed and stored, read back by libpng and inflated whole.
TEST(GreyPngTest, HalvesJoinIntoOneStream) {
    TempDir dir;
    for (const int kind : {0, 1, 2})
        for (const std::uint32_t height : {1u, 5u, 64u})
            for (const int depth : {8, 16})
                for (const auto packing : {encode::Compression::Fast, encode::Compression::None}) {
                    if (kind == 2 && height > 1) continue;
                    const encode::GreyImage image = TestPicture(kind, height, depth);
                    std::vector<std::uint8_t> bytes;
                    ASSERT_TRUE(encode::EncodeGreyPng(image, &bytes, packing).ok());
                    WriteBytes(dir.path("g.png"), bytes);
                    const ReadPng back = ReadGreyPng(dir.path("g.png"));
                    const std::string what = std::to_string(kind) + ": " + std::to_string(height) + " rows, " +
                                             std::to_string(depth) + " bits";
                    EXPECT_EQ(back.bitDepth, depth) << what;
                    EXPECT_EQ(back.samples, image.samples) << what;
                    EXPECT_TRUE(Inflates(bytes, height * (1 + std::size_t{image.width} * depth / 8))) << what;
                }
}

// The three preview files made at once from rows are the bytes of each made alone:
// the halves, both depths and packings, and a width at which the side-by-side file
// takes fewer rows a batch than each picture alone.
TEST(GreyPngTest, ThreeFilesFromRowsEqualEachMadeAlone) {
    using namespace exporter;
    struct Size {
        std::uint32_t width, height;
        int depth;
    };
    for (const Size size : {Size{7, 1, 8}, Size{7, 5, 16}, Size{700, 70, 8}, Size{700, 64, 16}, Size{9000, 40, 16}})
        for (const auto packing : {encode::Compression::Fast, encode::Compression::None}) {
            encode::GreyImage left{size.width, size.height, size.depth, {}}, right = left;
            for (std::uint32_t i = 0; i < size.width * size.height; ++i) {
                left.samples.push_back(static_cast<std::uint16_t>(i / 97 % 3 == 0 ? i * i * 131 : i / size.width));
                right.samples.push_back(static_cast<std::uint16_t>(i % 11 < 4 ? 9 : i * 7));
            }
            std::vector<std::uint8_t> alone[3], together[3];
            ASSERT_TRUE(encode::EncodeGreyPng(left, &alone[0], packing).ok());
            ASSERT_TRUE(encode::EncodeGreyPng(right, &alone[1], packing).ok());
            ASSERT_TRUE(encode::EncodeGreyPngSideBySide(left, right, &alone[2], packing).ok());
            const auto rows = [&](std::uint32_t r, std::uint16_t* l, std::uint16_t* g) {
                std::copy_n(left.samples.data() + std::size_t{r} * size.width, size.width, l);
                std::copy_n(right.samples.data() + std::size_t{r} * size.width, size.width, g);
            };
            ASSERT_TRUE(encode::EncodeGreyPngTrio(size.width, size.height, size.depth, rows, &together[0], &together[1],
                                                  &together[2], packing)
                            .ok());
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(alone[k] == together[k]) << size.width << "x" << size.height << ", " << size.depth
                                                     << " bits, file " << k;
        }
}

// Grey TIFF strips, packed or not: several strips of both depths read back by
// libtiff.
TEST(GreyTiffTest, StripsReadBack) {
    TempDir dir;
    using enum encode::Compression;
    const std::pair<encode::Compression, int> cases[] = {{Fast, 8}, {Fast, 16}, {None, 8}, {None, 16}};
    for (const auto& [packing, depth] : cases) {
        const encode::GreyImage image = TestPicture(1, 1000, depth);
        std::vector<std::uint8_t> bytes;
        std::string why;
        ASSERT_TRUE(encode::EncodeGreyTiff(image, &bytes, &why, {}, packing).ok()) << why;
        WriteBytes(dir.path("g.tif"), bytes);
        TIFF* tiff = TIFFOpen(dir.path("g.tif").c_str(), "r");
        ASSERT_NE(tiff, nullptr);
        EXPECT_GT(TIFFNumberOfStrips(tiff), 2u);
        std::vector<std::uint16_t> back;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
        for (std::uint32_t r = 0; r < image.height && TIFFReadScanline(tiff, row.data(), r, 0) == 1; ++r)
            for (std::uint32_t c = 0; c < image.width; ++c)
                back.push_back(depth == 8 ? row[c] : static_cast<std::uint16_t>(row[2 * c] | row[2 * c + 1] << 8));
        TIFFClose(tiff);
        EXPECT_EQ(back, image.samples) << depth << " bits, packing " << static_cast<int>(packing);
    }
}

}  // namespace
