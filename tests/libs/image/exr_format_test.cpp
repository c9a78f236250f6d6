// OpenEXR height maps: pixel types, compressions, scanlines and odd tiles, which
// channels make grey and alpha, and files the loader must refuse.
#include <ImfCompression.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfPixelType.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "image_fixtures.h"
#include "stored_samples.h"

using image::StoredSample;

namespace {

class ExrFormat : public ::testing::Test {
protected:
    Loaded writeAndLoad(const ExrImage& image) {
        WriteExr(dir_.path("image.exr"), image);
        return Load(dir_.path("image.exr"), image.width, image.height);
    }

    TempDir dir_;
};

std::vector<std::uint32_t> FloatBits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (const float v : values) bits.push_back(std::bit_cast<std::uint32_t>(v));
    return bits;
}

ExrChannel Channel(const std::string& name, int type, std::vector<std::uint32_t> samples) {
    ExrChannel channel;
    channel.name = name;
    channel.type = type;
    channel.samples = std::move(samples);
    return channel;
}

TEST_F(ExrFormat, EdgeValuesOfEachPixelTypeLoadExactly) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> floats = {0.5f, -0.0f, std::bit_cast<float>(0x7FA00001u), 1e-42f, -inf, 3.0e38f};
    std::vector<std::uint32_t> halves;
    for (const auto h : HalfEdgeBits()) halves.push_back(h);
    struct Case {
        const char* name;
        ExrChannel channel;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"half", Channel("R", Imf::HALF, halves), HalfEdgeValues()},
        {"float", Channel("R", Imf::FLOAT, FloatBits(floats)), floats},
        {"uint",
         Channel("R", Imf::UINT, {0, UINT32_MAX, 0xFFFFFF7Fu, 0x80000000u, 128, 1}),
         {0.0f, 1.0f, 1.0f - std::ldexp(1.0f, -24), 0.5f, std::ldexp(1.0f, -25), std::ldexp(1.0f, -32)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExrImage image;
        image.width = static_cast<std::uint32_t>(c.expected.size() / 2);
        image.height = 2;
        image.channels = {c.channel};
        const Loaded loaded = writeAndLoad(image);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, c.expected)));
    }
}

// Every bit pattern of the type somewhere in the image, and floats from a spread of
// magnitudes.
std::vector<std::uint32_t> Samples(int type, std::size_t count, std::uint32_t salt) {
    std::vector<std::uint32_t> samples(count);
    std::uint32_t x = 2463534242u ^ salt;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        if (type == Imf::HALF) samples[i] = x & 0xFFFF;
        if (type == Imf::UINT) samples[i] = x;
        if (type == Imf::FLOAT)
            samples[i] = std::bit_cast<std::uint32_t>(std::ldexp(0.5f + (x & 0xFFFF) / 65536.0f, int(x >> 27) - 16));
    }
    return samples;
}

std::vector<float> Values(const ExrChannel& channel) {
    const std::size_t n = channel.samples.size();
    std::vector<float> values(n);
    if (channel.type == Imf::FLOAT) {
        std::memcpy(values.data(), channel.samples.data(), 4 * n);
        return values;
    }
    std::vector<std::uint8_t> native(4 * n);
    if (channel.type == Imf::HALF) {
        for (std::size_t i = 0; i < n; ++i) {
            const auto h = static_cast<std::uint16_t>(channel.samples[i]);
            std::memcpy(&native[2 * i], &h, 2);
        }
    } else {
        std::memcpy(native.data(), channel.samples.data(), 4 * n);
    }
    image::StoredToFloats(channel.type == Imf::HALF ? StoredSample::F16 : StoredSample::U32, native.data(), n,
                          reinterpret_cast<std::uint8_t*>(values.data()));
    return values;
}

struct Layout {
    const char* name;
    int compression;
    std::uint32_t tileWidth;  // 0: scanlines
    std::uint32_t tileHeight;
    bool mipmaps;
    bool decreasingY;
    int minX, minY;
};

// Lossless compressions only: PXR24 rounds floats, B44 and DWA halves.
constexpr Layout kLayouts[] = {
    {"none", Imf::NO_COMPRESSION, 0, 0, false, false, 0, 0},
    {"rle decreasing", Imf::RLE_COMPRESSION, 0, 0, false, true, 0, 0},
    {"zips offset window", Imf::ZIPS_COMPRESSION, 0, 0, false, false, -3, 11},
    {"zip", Imf::ZIP_COMPRESSION, 0, 0, false, false, 0, 0},
    {"piz", Imf::PIZ_COMPRESSION, 0, 0, false, false, 5, -2},
    {"tiles 7x5 zip", Imf::ZIP_COMPRESSION, 7, 5, false, false, 0, 0},
    {"tiles 1x1", Imf::NO_COMPRESSION, 1, 1, false, false, 0, 0},
    {"tiles 64x3 piz offset", Imf::PIZ_COMPRESSION, 64, 3, false, true, -100, 7},
    {"tiles 5x9 mipmaps rle", Imf::RLE_COMPRESSION, 5, 9, true, false, 0, 0},
};

// The converter's values are the reference here (its conversions are tested on
// their own): what counts is that every sample reaches its place.
TEST_F(ExrFormat, EveryPixelTypeInEveryLayout) {
    for (const int type : {Imf::HALF, Imf::FLOAT, Imf::UINT}) {
        for (const Layout& layout : kLayouts) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", " << layout.name);
            ExrImage image;
            image.width = 37;
            image.height = 23;
            image.minX = layout.minX;
            image.minY = layout.minY;
            image.compression = layout.compression;
            image.tileWidth = layout.tileWidth;
            image.tileHeight = layout.tileHeight;
            image.mipmaps = layout.mipmaps;
            image.decreasingY = layout.decreasingY;
            const std::size_t count = std::size_t{image.width} * image.height;
            image.channels = {Channel("R", type, Samples(type, count, 1)), Channel("G", type, Samples(type, count, 2))};
            const Loaded loaded = writeAndLoad(image);
            ASSERT_EQ(loaded.result, status::Code::Ok);
            EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, Values(image.channels[0]))));
        }
    }
}

// The red channel as the library's own C++ reader gives it, converted to float.
std::vector<float> RedByTheLibrary(const std::string& path) {
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    const auto width = static_cast<std::size_t>(window.max.x - window.min.x) + 1;
    std::vector<float> red(width * (static_cast<std::size_t>(window.max.y - window.min.y) + 1));
    Imf::FrameBuffer frame;
    frame.insert("R", Imf::Slice::Make(Imf::FLOAT, red.data(), window, sizeof(float), width * sizeof(float)));
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);
    return red;
}

// Lossy codecs (and B44 over tiles of a single pixel, stored uncompressed): the
// values the library's other reader gives.
TEST_F(ExrFormat, LossyCompressionsGiveWhatTheLibrarysOwnReaderGives) {
    for (const int compression : {Imf::PXR24_COMPRESSION, Imf::B44_COMPRESSION, Imf::B44A_COMPRESSION}) {
        for (const int type : {Imf::HALF, Imf::FLOAT}) {
            for (const std::uint32_t tile : {0u, 8u}) {
                SCOPED_TRACE(::testing::Message()
                             << "compression " << compression << ", type " << type << ", tile " << tile);
                ExrImage image;
                image.width = 33;
                image.height = 41;  // chunks of 16 or 32 lines, rows of tiles of 8
                image.compression = compression;
                image.tileWidth = image.tileHeight = tile;
                const std::size_t count = std::size_t{image.width} * image.height;
                std::vector<float> smooth;
                for (std::size_t i = 0; i < count; ++i) smooth.push_back(std::sin(0.05f * i) * 100.0f);
                std::vector<std::uint32_t> bits = FloatBits(smooth);
                if (type == Imf::HALF) {
                    for (auto& b : bits) b = (b >> 16 & 0x8000) | (((b >> 13) - 0x1C000) & 0x7FFF);
                }
                image.channels = {Channel("R", type, bits), Channel("A", type, bits)};
                const Loaded loaded = writeAndLoad(image);
                ASSERT_EQ(loaded.result, status::Code::Ok);
                std::vector<float> red;
                for (std::size_t i = 0; i < count; ++i) red.push_back(loaded.texels[4 * i]);
                EXPECT_TRUE(SameBits(red, RedByTheLibrary(dir_.path("image.exr"))));
            }
        }
    }
}

TEST_F(ExrFormat, RedOrLuminanceOrTheFirstChannelIsGreyAndAlphaIsCarried) {
    const std::size_t count = 6 * 4;
    const auto half = [&](std::uint32_t salt) { return Samples(Imf::HALF, count, salt); };
    const auto real = [&](std::uint32_t salt) { return Samples(Imf::FLOAT, count, salt); };
    struct Case {
        const char* name;
        std::vector<ExrChannel> channels;
        std::size_t grey;  // index into channels
        int alpha;         // index, or -1
    };
    const std::vector<Case> cases = {
        {"B G R A",
         {Channel("B", Imf::HALF, half(1)), Channel("G", Imf::HALF, half(2)), Channel("R", Imf::HALF, half(3)),
          Channel("A", Imf::HALF, half(4))},
         2,
         3},
        {"R float, A half", {Channel("A", Imf::HALF, half(5)), Channel("R", Imf::FLOAT, real(6))}, 1, 0},
        {"Y", {Channel("Y", Imf::HALF, half(7))}, 0, -1},
        {"Y with chroma and alpha",
         {Channel("BY", Imf::HALF, half(8)), Channel("RY", Imf::HALF, half(9)), Channel("Y", Imf::FLOAT, real(10)),
          Channel("A", Imf::FLOAT, real(11))},
         2,
         3},
        {"one channel of its own name", {Channel("height", Imf::FLOAT, real(12))}, 0, -1},
        {"no R or Y: the first in name order",
         {Channel("depth", Imf::FLOAT, real(13)), Channel("Z", Imf::HALF, half(14))},
         1,
         -1},
        {"only A", {Channel("A", Imf::HALF, half(15))}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExrImage image;
        image.width = 6;
        image.height = 4;
        image.compression = Imf::ZIP_COMPRESSION;
        image.channels = c.channels;
        std::vector<float> values;
        const std::vector<float> grey = Values(c.channels[c.grey]);
        for (std::size_t i = 0; i < count; ++i) {
            values.push_back(grey[i]);
            if (c.alpha >= 0) values.push_back(Values(c.channels[static_cast<std::size_t>(c.alpha)])[i]);
        }
        const Loaded loaded = writeAndLoad(image);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(c.alpha >= 0 ? 2 : 1, values)));
    }
}

TEST_F(ExrFormat, ChromaSubsamplingIsFineUnlessTheGreyIsSubsampled) {
    ExrImage image;
    image.width = 8;
    image.height = 6;
    ExrChannel chroma = Channel("RY", Imf::HALF, Samples(Imf::HALF, 4 * 3, 1));
    chroma.sampling = 2;
    const ExrChannel luminance = Channel("Y", Imf::HALF, Samples(Imf::HALF, 48, 2));
    image.channels = {chroma, luminance};
    const Loaded loaded = writeAndLoad(image);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, Values(luminance))));

    ExrChannel red = Channel("R", Imf::HALF, Samples(Imf::HALF, 4 * 3, 3));
    red.sampling = 2;
    image.channels = {red};
    EXPECT_EQ(writeAndLoad(image).result, status::Code::InvalidData);
}

}  // namespace
