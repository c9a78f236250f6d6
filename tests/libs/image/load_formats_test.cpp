// Same-size loads of every format: exact values, channel expansion, row order.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/decode_image.h"
#include "image_fixtures.h"

namespace {

static_assert(std::endian::native == std::endian::little, "fixtures write native samples as little-endian");

// Samples that reach 0 and max and vary between neighbours.
std::vector<std::uint16_t> Pattern(std::size_t count, std::uint32_t max, std::uint32_t salt = 0) {
    std::vector<std::uint16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::uint16_t>((i * 7919 + salt) % (max + 1));
    if (count > 1) {
        samples[0] = static_cast<std::uint16_t>(max);
        samples[1] = 0;
    }
    return samples;
}

std::vector<float> Unorms(const std::vector<std::uint16_t>& samples, std::uint32_t max) {
    std::vector<float> values;
    for (const auto k : samples) values.push_back(Unorm(k, max));
    return values;
}

class ImageFormats : public ::testing::Test {
protected:
    TempDir dir_;
};

struct PngCase {
    const char* name;
    int colourType;
    int bitDepth;
    bool interlaced;
};

TEST_F(ImageFormats, PngGreyRgbAndAlphaAtEveryDepth) {
    const PngCase cases[] = {
        {"grey1", PNG_COLOR_TYPE_GRAY, 1, false},           {"grey2", PNG_COLOR_TYPE_GRAY, 2, false},
        {"grey4", PNG_COLOR_TYPE_GRAY, 4, false},           {"grey8", PNG_COLOR_TYPE_GRAY, 8, false},
        {"grey16", PNG_COLOR_TYPE_GRAY, 16, false},         {"ga8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false},
        {"ga16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false},     {"rgb8", PNG_COLOR_TYPE_RGB, 8, false},
        {"rgb16", PNG_COLOR_TYPE_RGB, 16, false},           {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
        {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false},    {"rgb16-interlaced", PNG_COLOR_TYPE_RGB, 16, true},
        {"grey2-interlaced", PNG_COLOR_TYPE_GRAY, 2, true},
    };
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int channels = c.colourType == PNG_COLOR_TYPE_GRAY         ? 1
                             : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                             : c.colourType == PNG_COLOR_TYPE_RGB        ? 3
                                                                         : 4;
        const std::uint32_t max = (1u << c.bitDepth) - 1;
        PngImage fixture;
        fixture.width = 11;
        fixture.height = 9;
        fixture.colourType = c.colourType;
        fixture.bitDepth = c.bitDepth;
        fixture.interlaced = c.interlaced;
        fixture.samples = Pattern(std::size_t{fixture.width} * fixture.height * channels, max);
        const std::string path = dir_.path(std::string(c.name) + ".png");
        WritePng(path, fixture);
        const Loaded loaded = Load(path, fixture.width, fixture.height);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(channels, Unorms(fixture.samples, max))));
    }
}

TEST_F(ImageFormats, PngPaletteAndTransparency) {
    const std::uint8_t palette[] = {255, 0, 0, 0, 128, 0, 1, 2, 254, 17, 34, 51};
    const std::uint8_t alphas[] = {0, 128, 255};  // the fourth entry has none: opaque
    for (const int depth : {1, 2, 4, 8}) {
        for (const bool withAlpha : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "depth " << depth << (withAlpha ? " tRNS" : ""));
            const std::uint32_t entries = depth == 1 ? 2 : 4;
            PngImage fixture;
            fixture.width = 7;
            fixture.height = 3;
            fixture.colourType = PNG_COLOR_TYPE_PALETTE;
            fixture.bitDepth = depth;
            fixture.palette.assign(palette, palette + 3 * entries);
            if (withAlpha) fixture.transparency.assign(alphas, alphas + std::min(entries, 3u));
            fixture.samples = Pattern(std::size_t{fixture.width} * fixture.height, entries - 1);
            const std::string path = dir_.path("palette.png");
            WritePng(path, fixture);

            std::vector<float> expected;
            for (const auto index : fixture.samples) {
                const float alpha =
                    withAlpha && index < fixture.transparency.size() ? Unorm(fixture.transparency[index], 255) : 1.0f;
                expected.insert(expected.end(), {Unorm(palette[3 * index], 255), Unorm(palette[3 * index + 1], 255),
                                                 Unorm(palette[3 * index + 2], 255), alpha});
            }
            const Loaded loaded = Load(path, fixture.width, fixture.height);
            ASSERT_EQ(loaded.result, status::Code::Ok);
            EXPECT_TRUE(SameBits(loaded.texels, expected));
        }
    }
}

TEST_F(ImageFormats, PngGreyKeyBecomesAlpha) {
    for (const int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const std::uint32_t max = (1u << depth) - 1;
        PngImage fixture;
        fixture.width = 4;
        fixture.height = 2;
        fixture.colourType = PNG_COLOR_TYPE_GRAY;
        fixture.bitDepth = depth;
        fixture.samples = {0, 5, 7, 5, static_cast<std::uint16_t>(max), 5, 1, 2};
        fixture.greyKey = 5;
        const std::string path = dir_.path("key.png");
        WritePng(path, fixture);
        std::vector<float> values;
        for (const auto k : fixture.samples) values.insert(values.end(), {Unorm(k, max), k == 5 ? 0.0f : 1.0f});
        const Loaded loaded = Load(path, fixture.width, fixture.height);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(2, values)));
    }
}

TEST_F(ImageFormats, EightBitValuesAreTheNearestFloatsToKOver255) {
    PngImage fixture;
    fixture.width = 256;
    fixture.height = 1;
    fixture.colourType = PNG_COLOR_TYPE_GRAY;
    for (std::uint16_t k = 0; k < 256; ++k) fixture.samples.push_back(k);
    WritePng(dir_.path("ramp.png"), fixture);
    const Loaded loaded = Load(dir_.path("ramp.png"), 256, 1);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    for (int k = 0; k < 256; ++k) {
        const float v = loaded.texels[4 * k];
        // No float lies closer to k/255 than v.
        const double exact = k / 255.0;
        EXPECT_LE(std::abs(v - exact), std::abs(std::nextafter(v, 2.0f) - exact)) << k;
        EXPECT_LE(std::abs(v - exact), std::abs(std::nextafter(v, -1.0f) - exact)) << k;
    }
    EXPECT_EQ(loaded.texels[4 * 255], 1.0f);
}

TEST_F(ImageFormats, JpegGreyIsExactAndColourKeepsChannelOrder) {
    JpegImage grey;
    grey.width = 16;
    grey.height = 16;
    grey.samples.assign(256, 200);
    for (const bool progressive : {false, true}) {
        grey.progressive = progressive;
        WriteJpeg(dir_.path("grey.jpg"), grey);
        const Loaded loaded = Load(dir_.path("grey.jpg"), 16, 16);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, std::vector<float>(256, Unorm(200, 255)))));
    }

    // Left half red, right half blue; lossy, so within a few steps.
    JpegImage colour;
    colour.width = 32;
    colour.height = 16;
    colour.components = 3;
    for (std::uint32_t y = 0; y < 16; ++y) {
        for (std::uint32_t x = 0; x < 32; ++x) {
            const bool left = x < 16;
            colour.samples.insert(colour.samples.end(),
                                  {std::uint8_t(left ? 250 : 10), 20, std::uint8_t(left ? 30 : 240)});
        }
    }
    WriteJpeg(dir_.path("colour.jpg"), colour);
    const Loaded loaded = Load(dir_.path("colour.jpg"), 32, 16);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    const float tolerance = 4.0f / 255.0f;
    const float* left = &loaded.texels[4 * (8 * 32 + 4)];
    const float* right = &loaded.texels[4 * (8 * 32 + 28)];
    EXPECT_NEAR(left[0], Unorm(250, 255), tolerance);
    EXPECT_NEAR(left[1], Unorm(20, 255), tolerance);
    EXPECT_NEAR(left[2], Unorm(30, 255), tolerance);
    EXPECT_EQ(left[3], 1.0f);
    EXPECT_NEAR(right[0], Unorm(10, 255), tolerance);
    EXPECT_NEAR(right[2], Unorm(240, 255), tolerance);
}

struct TiffCase {
    const char* name;
    int samplesPerPixel;
    int bits;
    int sampleFormat;
    int photometric;
    int compression;
    std::uint32_t tileSize;
    bool planar = false;
};

TEST_F(ImageFormats, TiffIntegerAndFloatSamples) {
    const TiffCase cases[] = {
        {"grey8", 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
        {"grey16", 1, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
        {"grey-alpha8", 2, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
        {"rgb8-lzw", 3, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_LZW, 0},
        {"rgb16-deflate", 3, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 0},
        {"rgba8", 4, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_NONE, 0},
        {"rgba16-tiled", 4, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_NONE, 16},
        {"grey16-tiled-lzw", 1, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 16},
        {"float-grey", 1, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0},
        {"float-rgb-tiled", 3, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 16},
        {"grey-alpha8-planes-lzw", 2, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 0, true},
        {"rgb16-planes-deflate", 3, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 0, true},
        {"float-rgba-planes-tiled", 4, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_RGB, COMPRESSION_NONE, 16, true},
    };
    for (const TiffCase& c : cases) {
        SCOPED_TRACE(c.name);
        TiffImage fixture;
        fixture.width = 37;  // not a multiple of the tile size
        fixture.height = 21;
        fixture.samplesPerPixel = c.samplesPerPixel;
        fixture.bits = c.bits;
        fixture.sampleFormat = c.sampleFormat;
        fixture.photometric = c.photometric;
        fixture.compression = c.compression;
        fixture.tileSize = c.tileSize;
        fixture.planar = c.planar;
        fixture.rowsPerStrip = 4;
        const std::size_t count = std::size_t{fixture.width} * fixture.height * c.samplesPerPixel;
        std::vector<float> values;
        if (c.sampleFormat == SAMPLEFORMAT_IEEEFP) {
            for (std::size_t i = 0; i < count; ++i) values.push_back(static_cast<float>(i) * 0.37f - 100.0f);
            values[1] = -0.0f;
            values[2] = 1e-40f;  // subnormal
            fixture.data = FloatBytes(values);
        } else {
            const std::uint32_t max = (1u << c.bits) - 1;
            const auto samples = Pattern(count, max);
            values = Unorms(samples, max);
            if (c.bits == 8) {
                fixture.data.assign(samples.begin(), samples.end());
            } else {
                fixture.data = U16Bytes(samples);
            }
        }
        const std::string path = dir_.path(std::string(c.name) + ".tif");
        WriteTiff(path, fixture);
        const Loaded loaded = Load(path, fixture.width, fixture.height);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(c.samplesPerPixel, values)));
    }
}

TEST_F(ImageFormats, TiffMinIsWhiteIsInverted) {
    TiffImage fixture;
    fixture.width = 3;
    fixture.height = 1;
    fixture.photometric = PHOTOMETRIC_MINISWHITE;
    fixture.data = {0, 55, 255};
    WriteTiff(dir_.path("white.tif"), fixture);
    const Loaded loaded = Load(dir_.path("white.tif"), 3, 1);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, {1.0f, Unorm(200, 255), 0.0f})));
}

TEST_F(ImageFormats, BmpTgaThroughStbImage) {
    struct Case {
        const char* name;
        bool bmp;
        int channels;
        int width;
    };
    const Case cases[] = {{"rgb.bmp", true, 3, 8},
                          {"rgba.bmp", true, 4, 5},
                          {"grey.tga", false, 1, 6},
                          {"rgb.tga", false, 3, 5},
                          {"rgba.tga", false, 4, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int height = 4;
        auto samples = Pattern(std::size_t(c.width) * height * c.channels, 255);
        // Runs, so that the TGA encoder uses run-length packets too.
        for (int i = 0; i < c.width * c.channels; ++i) samples[std::size_t(c.width) * c.channels + i] = 77;
        const Bytes bytes(samples.begin(), samples.end());
        const std::string path = dir_.path(c.name);
        if (c.bmp) {
            WriteBmp(path, c.width, height, c.channels, bytes);
        } else {
            WriteTga(path, c.width, height, c.channels, bytes);
        }
        const Loaded loaded = Load(path, c.width, height);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(c.channels, Unorms(samples, 255))));
    }
}

TEST_F(ImageFormats, RadianceHdrFlatAndRunLengthScanlines) {
    // Exact in RGBE: eighths and a few larger steps, never more than 2^5 apart
    // within a texel, so the shared exponent costs no bits.
    const float steps[] = {1.0f, 0.5f, 0.25f, 0.75f, 2.0f, 0.0f, 0.125f, 1.5f, 3.0f, 0.375f};
    for (const int width : {3, 19}) {  // under 8 texels scanlines are stored flat
        SCOPED_TRACE(width);
        std::vector<float> rgb;
        for (int i = 0; i < width * 2 * 3; ++i) rgb.push_back(i % 7 < 3 ? 4.0f : steps[i % 10]);  // some runs
        WriteHdr(dir_.path("sky.hdr"), width, 2, rgb);
        const Loaded loaded = Load(dir_.path("sky.hdr"), width, 2);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(3, rgb)));
    }
}

TEST_F(ImageFormats, PgmAndPpmAtAnyMaxval) {
    struct Case {
        char kind;
        std::uint32_t maxval;
        const char* comment;
    };
    const Case cases[] = {{'5', 255, ""},  {'5', 65535, ""}, {'6', 255, "made by hand"}, {'6', 65535, ""},
                          {'5', 1023, ""}, {'6', 100, ""},   {'5', 1, "bitmap"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "P" << c.kind << " maxval " << c.maxval);
        const int channels = c.kind == '5' ? 1 : 3;
        const auto samples = Pattern(std::size_t{9} * 4 * channels, c.maxval);
        WriteBytes(dir_.path("image.pnm"), PnmBytes(c.kind, 9, 4, c.maxval, samples, c.comment));
        const Loaded loaded = Load(dir_.path("image.pnm"), 9, 4);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(channels, Unorms(samples, c.maxval))));
    }
}

TEST_F(ImageFormats, PfmRowsAreFlippedInEitherByteOrder) {
    // By hand: one column of two rows; the last row stored is the top row.
    Bytes byHand = {'P', 'f', '\n', '1', ' ', '2', '\n', '-', '1', '\n'};
    const Bytes values = FloatBytes({1.0f, 2.0f});
    byHand.insert(byHand.end(), values.begin(), values.end());
    WriteBytes(dir_.path("hand.pfm"), byHand);
    const Loaded hand = Load(dir_.path("hand.pfm"), 1, 2);
    ASSERT_EQ(hand.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(hand.texels, ToRgba(1, {2.0f, 1.0f})));

    for (const int channels : {1, 3}) {
        for (const bool little : {true, false}) {
            SCOPED_TRACE(::testing::Message() << channels << " channels, little-endian " << little);
            std::vector<float> samples;
            for (int i = 0; i < 5 * 3 * channels; ++i) samples.push_back(static_cast<float>(i) * 1.5f - 7.0f);
            samples[0] = std::numeric_limits<float>::infinity();
            samples[1] = -0.0f;
            WriteBytes(dir_.path("image.pfm"), PfmBytes(5, 3, channels, little, samples));
            const Loaded loaded = Load(dir_.path("image.pfm"), 5, 3);
            ASSERT_EQ(loaded.result, status::Code::Ok);
            EXPECT_TRUE(SameBits(loaded.texels, ToRgba(channels, samples)));
        }
    }
}

struct DdsCase {
    const char* name;
    Bytes file;
    std::uint32_t width;
    std::uint32_t height;
    std::vector<float> expected;
};

DdsPixelFormat Masks(std::uint32_t flags, std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                     std::uint32_t a) {
    DdsPixelFormat format;
    format.flags = flags;
    format.bits = bits;
    format.masks[0] = r;
    format.masks[1] = g;
    format.masks[2] = b;
    format.masks[3] = a;
    return format;
}

std::vector<DdsCase> DdsCases() {
    std::vector<DdsCase> cases;
    const float nanPayload = std::bit_cast<float>(0x7FA00001u);  // signalling, with payload
    const std::vector<float> rgba = {0.5f, -0.0f, nanPayload, 1e-42f, 3.0f, -1.5f, 1e30f, 1.0f};
    const std::vector<std::uint16_t> u16 = {0, 65535, 1, 32768, 12345, 54321, 2, 65534};
    const std::vector<std::uint8_t> u8 = {0, 255, 1, 128, 10, 20, 30, 40};
    const Bytes u8Bytes(u8.begin(), u8.end());
    std::vector<float> u8Values;
    for (const auto k : u8) u8Values.push_back(Unorm(k, 255));
    std::vector<float> u16Values;
    for (const auto k : u16) u16Values.push_back(Unorm(k, 65535));
    std::vector<float> redOnly;
    for (const float v : HalfEdgeValues()) redOnly.insert(redOnly.end(), {v, 1.0f, 1.0f, 1.0f});
    std::vector<float> red32;
    for (const float v : rgba) red32.insert(red32.end(), {v, 1.0f, 1.0f, 1.0f});

    // Level 0 followed by a 1x1 level 1 that must be ignored.
    Bytes withMips = FloatBytes(rgba);
    const Bytes level1 = FloatBytes({9.0f, 9.0f, 9.0f, 9.0f});
    withMips.insert(withMips.end(), level1.begin(), level1.end());

    cases.push_back({"A32B32G32R32F with mips", DdsBytes(2, 1, DdsFourCc(116), withMips), 2, 1, rgba});
    cases.push_back({"R32F", DdsBytes(4, 2, DdsFourCc(114), FloatBytes(rgba)), 4, 2, red32});
    cases.push_back({"A16B16G16R16", DdsBytes(2, 1, DdsFourCc(36), U16Bytes(u16)), 2, 1, u16Values});
    cases.push_back(
        {"A16B16G16R16F", DdsBytes(3, 1, DdsFourCc(113), U16Bytes(HalfEdgeBits())), 3, 1, HalfEdgeValues()});
    cases.push_back({"R16F", DdsBytes(6, 2, DdsFourCc(111), U16Bytes(HalfEdgeBits())), 6, 2, redOnly});
    cases.push_back(
        {"L16", DdsBytes(4, 2, Masks(0x20000, 16, 0xFFFF, 0, 0, 0), U16Bytes(u16)), 4, 2, ToRgba(1, u16Values)});
    cases.push_back({"L8", DdsBytes(2, 4, Masks(0x20000, 8, 0xFF, 0, 0, 0), u8Bytes), 2, 4, ToRgba(1, u8Values)});
    // Stored B, G, R, A in memory.
    const std::vector<float> bgraAsRgba = {u8Values[2], u8Values[1], u8Values[0], u8Values[3],
                                           u8Values[6], u8Values[5], u8Values[4], u8Values[7]};
    const std::vector<float> bgrxAsRgba = {u8Values[2], u8Values[1], u8Values[0], 1.0f,
                                           u8Values[6], u8Values[5], u8Values[4], 1.0f};
    cases.push_back(
        {"A8R8G8B8", DdsBytes(2, 1, Masks(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), u8Bytes), 2, 1, bgraAsRgba});
    cases.push_back(
        {"X8R8G8B8", DdsBytes(2, 1, Masks(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0), u8Bytes), 2, 1, bgrxAsRgba});
    cases.push_back(
        {"A8B8G8R8", DdsBytes(1, 2, Masks(0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), u8Bytes), 1, 2, u8Values});

    cases.push_back({"DX10 R32G32B32A32_FLOAT", Dds10Bytes(1, 2, 2, FloatBytes(rgba)), 1, 2, rgba});
    cases.push_back({"DX10 R32_FLOAT", Dds10Bytes(8, 1, 41, FloatBytes(rgba)), 8, 1, red32});
    cases.push_back({"DX10 R16G16B16A16_UNORM", Dds10Bytes(2, 1, 11, U16Bytes(u16)), 2, 1, u16Values});
    cases.push_back(
        {"DX10 R16G16B16A16_FLOAT", Dds10Bytes(1, 3, 10, U16Bytes(HalfEdgeBits())), 1, 3, HalfEdgeValues()});
    cases.push_back({"DX10 R16_FLOAT", Dds10Bytes(12, 1, 54, U16Bytes(HalfEdgeBits())), 12, 1, redOnly});
    cases.push_back({"DX10 R16_UNORM", Dds10Bytes(8, 1, 56, U16Bytes(u16)), 8, 1, ToRgba(1, u16Values)});
    cases.push_back({"DX10 R8_UNORM", Dds10Bytes(4, 2, 61, u8Bytes), 4, 2, ToRgba(1, u8Values)});
    cases.push_back({"DX10 R8G8B8A8_UNORM", Dds10Bytes(2, 1, 28, u8Bytes), 2, 1, u8Values});
    cases.push_back({"DX10 B8G8R8A8_UNORM", Dds10Bytes(2, 1, 87, u8Bytes), 2, 1, bgraAsRgba});
    cases.push_back({"DX10 B8G8R8X8_UNORM", Dds10Bytes(2, 1, 88, u8Bytes), 2, 1, bgrxAsRgba});
    return cases;
}

TEST_F(ImageFormats, DdsUncompressedFormatsBothHeaders) {
    for (const DdsCase& c : DdsCases()) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir_.path("texture.dds"), c.file);
        const Loaded loaded = Load(dir_.path("texture.dds"), c.width, c.height);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, c.expected));
    }
}

TEST_F(ImageFormats, DecodeImageFileReadsLevelZeroAtItsOwnSize) {
    std::vector<float> level0;
    for (int i = 0; i < 5 * 3 * 4; ++i) level0.push_back(static_cast<float>(i) / 7.0f);
    Bytes file = DdsBytes(5, 3, DdsFourCc(116), FloatBytes(level0));
    const Bytes lower = FloatBytes(std::vector<float>(2 * 1 * 4 + 4, -1.0f));  // levels 1 and 2
    file.insert(file.end(), lower.begin(), lower.end());
    WriteBytes(dir_.path("horizon.dds"), file);

    image::DecodedImage image;
    ASSERT_EQ(image::DecodeImageFile(dir_.path("horizon.dds").c_str(), &image).code, status::Code::Ok);
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_TRUE(SameBits(image.texels, level0));

    EXPECT_EQ(image::DecodeImageFile(dir_.path("absent.dds").c_str(), &image).code, status::Code::NotFound);
    EXPECT_TRUE(image.texels.empty());
}

TEST_F(ImageFormats, FormatComesFromContentNotName) {
    PngImage fixture;
    fixture.width = 2;
    fixture.height = 1;
    fixture.colourType = PNG_COLOR_TYPE_GRAY;
    fixture.samples = {51, 102};
    WritePng(dir_.path("height.dds"), fixture);
    const Loaded png = Load(dir_.path("height.dds"), 2, 1);
    ASSERT_EQ(png.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(png.texels, ToRgba(1, {0.2f, 0.4f})));

    WriteBytes(dir_.path("trees"), DdsBytes(1, 1, DdsFourCc(114), FloatBytes({0.75f})));
    const Loaded dds = Load(dir_.path("trees"), 1, 1);
    ASSERT_EQ(dds.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(dds.texels, {0.75f, 1.0f, 1.0f, 1.0f}));
}

}  // namespace
