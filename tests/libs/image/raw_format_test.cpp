// Headerless RAW height maps: told by the name's extension, sized by the file's
// length, and read only when the content is no other format's.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <iterator>
#include <limits>

#include "image_fixtures.h"
#include "raw_decoder.h"

using image::RawSample;

namespace {

class RawFormat : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST(RawNames, ExtensionsAndTheirSamples) {
    const std::pair<const char*, RawSample> cases[] = {
        {"h.raw", RawSample::U16},    {"h.r16", RawSample::U16},
        {"H.RAW", RawSample::U16},    {"maps/h.R16", RawSample::U16},
        {"h.r32", RawSample::F32},    {"h.r8", RawSample::U8},
        {"a.b.R8", RawSample::U8},    {"h.r16.png", RawSample::None},
        {"h.raw/x", RawSample::None}, {"maps.raw/heights", RawSample::None},
        {"raw", RawSample::None},     {"h.r64", RawSample::None},
        {"h.rawx", RawSample::None},  {"", RawSample::None},
    };
    for (const auto& [name, sample] : cases) EXPECT_EQ(image::RawSampleFromName(name), sample) << name;
}

TEST_F(RawFormat, EachSampleLoadsExactlyRowsTopFirst) {
    const float nanPayload = std::bit_cast<float>(0x7FA00001u);
    const std::vector<float> floats = {
        0.5f, -0.0f, nanPayload, 1e-42f, -1.5e30f, std::numeric_limits<float>::infinity(), 1.0f, -7.25f, 1234.5f};
    const std::vector<std::uint16_t> words = {0, 65535, 1, 32768, 12345, 54321, 2, 65534, 7};
    const Bytes bytes = {0, 255, 1, 128, 10, 20, 30, 40, 50};
    std::vector<float> wordValues, byteValues;
    for (const auto k : words) wordValues.push_back(Unorm(k, 65535));
    for (const auto k : bytes) byteValues.push_back(Unorm(k, 255));
    struct Case {
        const char* name;
        Bytes file;
        std::vector<float> values;
    };
    const Case cases[] = {
        {"heights.r32", FloatBytes(floats), floats},
        {"heights.raw", U16Bytes(words), wordValues},
        {"heights.R16", U16Bytes(words), wordValues},
        {"heights.r8", bytes, byteValues},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir_.path(c.name), c.file);
        const Loaded loaded = Load(dir_.path(c.name), 3, 3);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, c.values)));
    }
}

// Only whole squares of samples: a sample more or less, or a stray byte, is refused.
TEST_F(RawFormat, SizesThatAreNoSquareOfSamplesAreInvalidData) {
    for (const auto& [name, sampleBytes] : {std::pair{"h.r8", 1u}, std::pair{"h.raw", 2u}, std::pair{"h.r32", 4u}}) {
        for (const std::uint32_t n : {1u, 2u, 5u, 64u}) {
            SCOPED_TRACE(::testing::Message() << name << ", " << n << " x " << n);
            const std::size_t square = std::size_t{n} * n * sampleBytes;
            for (const std::size_t size : {square - sampleBytes, square + sampleBytes, square + 1, square - 1}) {
                if (size == 0) continue;
                WriteBytes(dir_.path(name), Bytes(size, 3));
                EXPECT_EQ(Load(dir_.path(name), 4, 4).result, status::Code::InvalidData) << size << " bytes";
            }
            WriteBytes(dir_.path(name), Bytes(square, 3));
            EXPECT_EQ(Load(dir_.path(name), 4, 4).result, status::Code::Ok);
        }
    }
    WriteBytes(dir_.path("empty.raw"), {});
    EXPECT_EQ(Load(dir_.path("empty.raw"), 4, 4).result, status::Code::InvalidData);
    WriteBytes(dir_.path("square.bin"), Bytes(32, 3));  // a RAW size, but no RAW name
    EXPECT_EQ(Load(dir_.path("square.bin"), 4, 4).result, status::Code::InvalidData);
}

// A cut-short RAW file is refused unless what is left happens to be a smaller square.
TEST_F(RawFormat, EveryTruncationIsInvalidDataUnlessASmallerSquare) {
    const std::string path = dir_.path("cut.r16");
    std::vector<std::uint16_t> words(7 * 7);
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(i * 1311);
    WriteBytes(path, U16Bytes(words));
    for (std::size_t length = words.size() * 2; length-- > 0;) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
        const bool square = length % 2 == 0 && length > 0 && [&] {
            std::size_t n = 0;
            while (n * n < length / 2) ++n;
            return n * n == length / 2;
        }();
        EXPECT_EQ(Load(path, 5, 3).result, square ? status::Code::Ok : status::Code::InvalidData) << length;
    }
}

// Another format's signature wins; its refusal, or a header that merely looks like a
// TGA, leaves the file to the RAW reader its name asks for.
TEST_F(RawFormat, OtherFormatsWinUnlessTheirDecoderRefuses) {
    PngImage png;
    png.width = 2;
    png.height = 2;
    png.colourType = PNG_COLOR_TYPE_GRAY;
    png.samples = {0, 51, 102, 255};
    WritePng(dir_.path("png.raw"), png);
    const Loaded asPng = Load(dir_.path("png.raw"), 2, 2);
    ASSERT_EQ(asPng.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(asPng.texels, ToRgba(1, {0.0f, 0.2f, 0.4f, 1.0f})));

    // 'B', 'M' as the first sample, 19778; 'P', '5', '\n' of a PGM; the start of a
    // PNG signature.
    for (const std::vector<std::uint16_t>& words :
         {std::vector<std::uint16_t>{0x4D42, 7, 9, 11}, std::vector<std::uint16_t>{0x3550, 0x0A, 1, 2},
          std::vector<std::uint16_t>{0x5089, 0x474E, 0x0A0D, 0x0A1A}}) {
        SCOPED_TRACE(words[0]);
        WriteBytes(dir_.path("look-alike.r16"), U16Bytes(words));
        const Loaded loaded = Load(dir_.path("look-alike.r16"), 2, 2);
        ASSERT_EQ(loaded.result, status::Code::Ok);
        std::vector<float> values;
        for (const auto k : words) values.push_back(Unorm(k, 65535));
        EXPECT_TRUE(SameBits(loaded.texels, ToRgba(1, values)));
    }

    // A header a TGA reader would take: 18 bytes of type 3 (grey), 2 x 2, 8 bits.
    Bytes tga(36, 9);  // 6 x 6 bytes
    const std::uint8_t header[] = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0};
    std::copy(std::begin(header), std::end(header), tga.begin());
    WriteBytes(dir_.path("tga-like.r8"), tga);
    const Loaded loaded = Load(dir_.path("tga-like.r8"), 6, 6);
    ASSERT_EQ(loaded.result, status::Code::Ok);
    EXPECT_EQ(loaded.texels[4 * 2], Unorm(3, 255));
    EXPECT_EQ(loaded.texels[4 * 35], Unorm(9, 255));
    WriteBytes(dir_.path("tga-like.bin"), tga);
    EXPECT_EQ(Load(dir_.path("tga-like.bin"), 2, 2).result, status::Code::Ok);  // without a RAW name, a TGA
}

}  // namespace
