// TIFF samples beyond 8- and 16-bit unsigned and 32-bit float: signed integers,
// 32-bit unsigned, half and double floats, in every layout the TIFF path reads.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "image_fixtures.h"
#include "stored_samples.h"

using image::StoredSample;

namespace {

template <typename T>
Bytes Native(const std::vector<T>& values) {
    Bytes bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

struct Kind {
    const char* name;
    int sampleFormat;
    int bits;
    std::optional<StoredSample> stored;  // none: carried by the rows as stored
};

constexpr Kind kKinds[] = {
    {"int8", SAMPLEFORMAT_INT, 8, StoredSample::S8},      {"int16", SAMPLEFORMAT_INT, 16, StoredSample::S16},
    {"int32", SAMPLEFORMAT_INT, 32, StoredSample::S32},   {"uint32", SAMPLEFORMAT_UINT, 32, StoredSample::U32},
    {"half", SAMPLEFORMAT_IEEEFP, 16, StoredSample::F16}, {"double", SAMPLEFORMAT_IEEEFP, 64, StoredSample::F64},
    {"uint8", SAMPLEFORMAT_UINT, 8, std::nullopt},        {"uint16", SAMPLEFORMAT_UINT, 16, std::nullopt},
    {"float", SAMPLEFORMAT_IEEEFP, 32, std::nullopt},
};

class TiffSamples : public ::testing::Test {
protected:
    Loaded writeAndLoad(TiffImage image, std::uint32_t width, std::uint32_t height) {
        image.width = width;
        image.height = height;
        WriteTiff(dir_.path("image.tif"), image);
        return Load(dir_.path("image.tif"), width, height);
    }

    TempDir dir_;
};

TEST_F(TiffSamples, ExtremesAndEdgeValuesLoadExactly) {
    const float inf = std::numeric_limits<float>::infinity();
    const float belowOne = 1.0f - std::ldexp(1.0f, -24);
    struct Case {
        const char* name;
        int sampleFormat;
        int bits;
        Bytes data;
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {"int8",
         SAMPLEFORMAT_INT,
         8,
         Native<std::int8_t>({-128, -127, 0, 127, 1, -1}),
         {-1.0f, -1.0f, 0.0f, 1.0f, 1.0f / 127, -1.0f / 127}},
        {"int16",
         SAMPLEFORMAT_INT,
         16,
         Native<std::int16_t>({-32768, -32767, 0, 32767, 16384, -2}),
         {-1.0f, -1.0f, 0.0f, 1.0f, 16384.0f / 32767, -2.0f / 32767}},
        {"int32",
         SAMPLEFORMAT_INT,
         32,
         Native<std::int32_t>({INT32_MIN, -INT32_MAX, 0, INT32_MAX, 1 << 30, -0x7FFFFFBF}),
         {-1.0f, -1.0f, 0.0f, 1.0f, 0.5f, -belowOne}},
        {"uint32",
         SAMPLEFORMAT_UINT,
         32,
         Native<std::uint32_t>({0, UINT32_MAX, 0xFFFFFF7Fu, 0x80000000u, 128, 1}),
         {0.0f, 1.0f, belowOne, 0.5f, std::ldexp(1.0f, -25), std::ldexp(1.0f, -32)}},
        {"half", SAMPLEFORMAT_IEEEFP, 16, U16Bytes(HalfEdgeBits()), HalfEdgeValues()},
        {"double",
         SAMPLEFORMAT_IEEEFP,
         64,
         Native<double>({1.0 + std::ldexp(1.0, -24), 1e300, -1e-300, 0.1, -2.5, 65504.25}),
         {1.0f, inf, -0.0f, 0.1f, -2.5f, 65504.25f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiffImage image;
        image.sampleFormat = c.sampleFormat;
        image.bits = c.bits;
        image.data = c.data;
        const auto count = static_cast<std::uint32_t>(c.expected.size());
        const Loaded loaded = writeAndLoad(image, count / 2, 2);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, c.expected)));
    }
}

struct Layout {
    const char* name;
    int channels;
    int compression;
    bool predictor;  // horizontal for integers, floating point for floats
    std::uint32_t tileWidth;
    std::uint32_t tileHeight;
    bool bigEndian;
    bool bigTiff;
};

constexpr Layout kLayouts[] = {
    {"grey strips", 1, COMPRESSION_NONE, false, 0, 0, false, false},
    {"grey-alpha lzw predictor", 2, COMPRESSION_LZW, true, 0, 0, false, false},
    {"rgb deflate big-endian", 3, COMPRESSION_ADOBE_DEFLATE, false, 0, 0, true, false},
    {"rgba tiles predictor", 4, COMPRESSION_ADOBE_DEFLATE, true, 16, 32, false, false},
    {"grey bigtiff big-endian tiles lzw predictor", 1, COMPRESSION_LZW, true, 16, 16, true, true},
};

// Bytes of every pattern, the extremes among them; floats and doubles from a spread
// of magnitudes, since random bits would mostly be NaN or overflow a float.
Bytes Samples(const Kind& kind, std::size_t count) {
    if (kind.sampleFormat == SAMPLEFORMAT_IEEEFP && kind.bits != 16) {
        std::vector<double> values;
        for (std::size_t i = 0; i < count; ++i)
            values.push_back(std::ldexp(0.3 + 0.01 * i, static_cast<int>(i % 61) - 30));
        if (kind.bits == 64) return Native(values);
        return Native(std::vector<float>(values.begin(), values.end()));
    }
    const std::size_t size = static_cast<std::size_t>(kind.bits) / 8;
    Bytes bytes(count * size);
    std::uint32_t x = 88172645u;
    for (auto& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    std::memset(bytes.data(), 0x80, size);  // the most negative integer, a negative float
    std::memset(bytes.data() + size, 0xFF, size);
    bytes[2 * size + size - 1] = 0x7F;  // the most positive integer (little-endian)
    return bytes;
}

std::vector<float> Values(const Kind& kind, const Bytes& samples) {
    const std::size_t count = samples.size() / (static_cast<std::size_t>(kind.bits) / 8);
    std::vector<float> values(count);
    if (kind.stored) {
        image::StoredToFloats(*kind.stored, samples.data(), count, reinterpret_cast<std::uint8_t*>(values.data()));
    } else if (kind.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        std::memcpy(values.data(), samples.data(), samples.size());
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint16_t k = samples[i];
            if (kind.bits == 16) std::memcpy(&k, &samples[2 * i], 2);
            values[i] = Unorm(k, kind.bits == 8 ? 255 : 65535);
        }
    }
    return values;
}

// The converter's own values are the reference for the converted kinds (its rounding
// is tested on its own): what counts is that every sample arrives at its place in
// every layout, the kinds the rows carry as stored included.
TEST_F(TiffSamples, EveryKindInEveryLayout) {
    for (const Kind& kind : kKinds) {
        for (const Layout& layout : kLayouts) {
            SCOPED_TRACE(::testing::Message() << kind.name << ", " << layout.name);
            const std::uint32_t width = 37, height = 21;  // not multiples of the tile size
            const std::size_t count = std::size_t{width} * height * layout.channels;
            TiffImage image;
            image.samplesPerPixel = layout.channels;
            image.photometric = layout.channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
            image.sampleFormat = kind.sampleFormat;
            image.bits = kind.bits;
            image.compression = layout.compression;
            if (layout.predictor) {
                image.predictor =
                    kind.sampleFormat == SAMPLEFORMAT_IEEEFP ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL;
            }
            image.tileSize = layout.tileWidth;
            image.tileHeight = layout.tileHeight;
            image.rowsPerStrip = 5;
            image.bigEndian = layout.bigEndian;
            image.bigTiff = layout.bigTiff;
            image.data = Samples(kind, count);
            const std::vector<float> values = Values(kind, image.data);

            const Loaded loaded = writeAndLoad(image, width, height);
            ASSERT_EQ(loaded.result, status::Code::Ok);
            EXPECT_TRUE(SameBits(loaded.texels, ToRgba(layout.channels, values)));
        }
    }
}

TEST_F(TiffSamples, MinIsWhiteInvertsUnsignedSamplesOnly) {
    TiffImage image;
    image.photometric = PHOTOMETRIC_MINISWHITE;
    image.sampleFormat = SAMPLEFORMAT_UINT;
    image.bits = 32;
    image.data = Native<std::uint32_t>({0, 1, UINT32_MAX, 0x80000000u, 0xFFFFFF7Fu, 7});
    const Loaded loaded = writeAndLoad(image, 3, 2);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, {1.0f, 1.0f, 0.0f, 0.5f, std::ldexp(1.0f, -25), 1.0f})));

    for (const Kind& kind : kKinds) {
        if (kind.sampleFormat == SAMPLEFORMAT_UINT) continue;
        SCOPED_TRACE(kind.name);
        image.sampleFormat = kind.sampleFormat;
        image.bits = kind.bits;
        image.data = Bytes(6 * static_cast<std::size_t>(kind.bits) / 8, 1);
        EXPECT_EQ(writeAndLoad(image, 3, 2).result, status::Code::InvalidData);
    }
}

}  // namespace
