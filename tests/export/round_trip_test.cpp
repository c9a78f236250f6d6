// The tool's horizon map through the companion into EXR and TIFF and back: the
// floats of level 0 and of the angles, bit for bit, packed as the documents say.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <regex>

#include "encode/exr_encoder.h"
#include "encode/tiff_encoder.h"
#include "export/angle_maps.h"
#include "export_fixtures.h"
#include "image/load_image.h"

using exporter::DirectionAngles;

namespace {

std::vector<float> KindsAsFloats(const DirectionAngles& a) {
    std::vector<float> plane;
    for (exporter::TexelKind k : a.kinds) plane.push_back(static_cast<float>(k));
    return plane;
}

TEST(RoundTrip, TheToolsMapComesBackFromExrAndTiffBitForBitPackedAsDocumented) {
    constexpr std::uint32_t kN = 36;
    TempDir dir;
    const auto made = MakeHorizonMap(dir, MakeTerrain(kN, true), dir.path("m.dds"), {"-h", "150", "-s", "2400"});
    ASSERT_EQ(made.exitCode, 0) << made.out;
    const auto run =
        RunExporter({dir.path("m.dds"), "-c", dir.path("c.exr"), "--channels=" + dir.path("c.tiff"), "-a",
                     dir.path("a.exr"), "-a", dir.path("a.tif"), "-H", dir.path("h.pfm"), "-h", "150", "-s", "2400"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto plain =
        RunExporter({dir.path("m.dds"), "--uncompressed", "-c", dir.path("u.exr"), "-c", dir.path("u.tif")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;

    const std::vector<float> level0 = DdsLevel0(dir.path("m.dds"), kN, kN);
    for (const auto& read : {ReadFloatExr(dir.path("c.exr")), ReadFloatTiff(dir.path("c.tiff")),
                             ReadFloatExr(dir.path("u.exr")), ReadFloatTiff(dir.path("u.tif"))}) {
        ASSERT_EQ(read.width, kN);
        ASSERT_EQ(read.height, kN);
        ASSERT_EQ(read.planes.size(), 3u);
        EXPECT_TRUE(SameBits(read.planes.at("R"), Channel(level0, 0)));
        EXPECT_TRUE(SameBits(read.planes.at("G"), Channel(level0, 1)));
        EXPECT_TRUE(SameBits(read.planes.at("B"), Channel(level0, 2)));
    }
    // The zstd level each document names for float TIFFs is the one the strips are
    // packed at: recompressing a strip's unpacked bytes at it gives the strip back.
    TIFF* packed = TIFFOpen(dir.path("c.tiff").c_str(), "r");
    ASSERT_NE(packed, nullptr);
    Bytes strip(TIFFRawStripSize(packed, 0));
    strip.resize(std::max<tmsize_t>(0, TIFFReadRawStrip(packed, 0, strip.data(), strip.size())));
    TIFFClose(packed);
    Bytes unpacked(std::min<unsigned long long>(ZSTD_getFrameContentSize(strip.data(), strip.size()), 1 << 20));
    ASSERT_EQ(ZSTD_decompress(unpacked.data(), unpacked.size(), strip.data(), strip.size()), unpacked.size());
    const auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    const std::pair<std::string, const char*> documents[] = {
        {RunExporter({"--help"}).out, R"(float TIFFs[^.]*?zstd at level (-?\d+))"},
        {text(ReadBytes(SOURCE_DIR "/README.md")), R"(float TIFFs are zstd at level (-?\d+))"},
        {text(ReadBytes(SOURCE_DIR "/man/umbrascope-export.1")), R"(IEEEFP, ZSTD at level \\?(-?\d+))"},
    };
    for (const auto& [document, told] : documents) {
        std::smatch level;
        ASSERT_TRUE(std::regex_search(document, level, std::regex(told))) << told;
        Bytes again(ZSTD_compressBound(unpacked.size()));
        again.resize(ZSTD_compress(again.data(), again.size(), unpacked.data(), unpacked.size(), std::stoi(level[1])));
        EXPECT_TRUE(again == strip) << told << ": level " << level[1];
    }

    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok());
    std::vector<float> heights(std::size_t{kN} * kN);
    ASSERT_TRUE(image::LoadImageScaledRed(dir.path("h.pfm").c_str(), kN, kN, heights.data()).ok());
    exporter::AngleMaps angles;
    ASSERT_TRUE(exporter::ComputeAngleMaps(map, heights.data(), {150.0f, 0.0f, 2400.0f}, &angles).ok());
    const auto exr = ReadFloatExr(dir.path("a.exr"));
    const auto tiff = ReadFloatTiff(dir.path("a.tif"));
    EXPECT_EQ(tiff.names, (std::vector<std::string>{"forward", "backward", "forwardKind", "backwardKind"}));
    for (const auto& read : {exr, tiff}) {
        ASSERT_EQ(read.planes.size(), 4u);
        EXPECT_TRUE(SameBits(read.planes.at("forward"), angles.forward.degrees));
        EXPECT_TRUE(SameBits(read.planes.at("backward"), angles.backward.degrees));
        EXPECT_TRUE(SameBits(read.planes.at("forwardKind"), KindsAsFloats(angles.forward)));
        EXPECT_TRUE(SameBits(read.planes.at("backwardKind"), KindsAsFloats(angles.backward)));
    }
}

TEST(RoundTrip, AwkwardFloatsKeepTheirBits) {
    std::vector<float> texels;
    const float specials[] = {-0.0f,
                              std::bit_cast<float>(0x7FC0BEEFu),
                              std::bit_cast<float>(0xFF800001u),
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::denorm_min(),
                              -std::numeric_limits<float>::max(),
                              0.999f,
                              0.001f};
    for (int i = 0; i < 5 * 7 * 4; ++i) texels.push_back(i % 3 == 0 ? specials[i % 8] : 0.01f * i);
    TempDir dir;
    WriteBytes(dir.path("m.dds"), DdsBytes(5, 7, DdsFourCc(116), FloatBytes(texels)));
    const auto run = RunExporter({dir.path("m.dds"), "-c", dir.path("c.exr"), "-c", dir.path("c.tif")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const auto& read : {ReadFloatExr(dir.path("c.exr")), ReadFloatTiff(dir.path("c.tif"))}) {
        ASSERT_EQ(read.planes.size(), 3u);
        EXPECT_TRUE(SameBits(read.planes.at("R"), Channel(texels, 0)));
        EXPECT_TRUE(SameBits(read.planes.at("G"), Channel(texels, 1)));
        EXPECT_TRUE(SameBits(read.planes.at("B"), Channel(texels, 2)));
    }
}

// Our EXR packing read back by OpenEXR: runs of every length about the limits of
// a count byte, stretches of noise, one sample a row, channels not in name order.
TEST(RoundTrip, PackedExrRowsReadBackByOpenExr) {
    TempDir dir;
    std::mt19937 random(3);
    for (const std::uint32_t width : {1u, 37u, 700u}) {
        encode::FloatChannels channels{width, 9, {"forward", "backward", "A"}, {}};
        for (int c = 0; c < 3; ++c) {
            std::vector<float> plane;
            for (std::uint32_t run = 1; plane.size() < std::size_t{width} * 9; run = run % 300 + 1 + c) {
                const float value =
                    random() % 3 == 0 ? 0.5f : std::bit_cast<float>(static_cast<std::uint32_t>(random() & 0x3FFFFFFFu));
                plane.insert(plane.end(), random() % 2 == 0 ? run : 1, value);
            }
            plane.resize(std::size_t{width} * 9);
            channels.planes.push_back(plane);
        }
        for (const auto packing : {encode::Compression::Fast, encode::Compression::None}) {
            std::vector<std::uint8_t> bytes;
            std::string why;
            ASSERT_TRUE(encode::EncodeFloatExr(channels, &bytes, &why, {}, packing).ok());
            WriteBytes(dir.path("f.exr"), bytes);
            const ReadFloats read = ReadFloatExr(dir.path("f.exr"));
            ASSERT_EQ(read.names, (std::vector<std::string>{"A", "backward", "forward"})) << width;
            for (int c = 0; c < 3; ++c) EXPECT_EQ(read.planes.at(channels.names[c]), channels.planes[c]) << width;
        }
    }
}

// With no second thread to be had (no room for its stack), the float strips are
// packed on this one: the same file, and no wait for a turn that never comes.
TEST(RoundTrip, FloatTiffWithoutASecondThreadIsTheSameFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow needs the address space";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no thread stack kept for reuse
    const auto alone = [] {
        // A run that waits for ever fails the test.
        alarm(30);
        constexpr std::uint32_t kW = 64, kH = 40;  // five strips
        std::vector<float> plane(kW * kH);
        for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = 100.0f * std::sin(0.37f * static_cast<float>(i));
        const encode::FloatChannels channels{kW, kH, {"a"}, {}, {{plane.data()}}};
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + (1 << 20));
        setrlimit(RLIMIT_AS, &limit);
        std::vector<std::uint8_t> single, threaded;
        std::string why;
        const bool made = encode::EncodeFloatTiff(channels, &single, &why).ok();
        limit.rlim_cur = unlimited;
        setrlimit(RLIMIT_AS, &limit);
        std::_Exit(made && encode::EncodeFloatTiff(channels, &threaded, &why).ok() && single == threaded ? 0 : 1);
    };
    EXPECT_EXIT(alone(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
