// Reading a horizon map: level 0 bit for bit, and everything else refused with a
// reason, without a crash and without allocating what a header claims.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cmath>
#include <limits>

#include "../libs/image/image_fixtures.h"
#include "export/horizon_map_file.h"
#include "os/termination_signals.h"

namespace {

// 4 x 3 texels with awkward bits, then levels of 2 x 1 and 1 x 1 as the tool writes them.
std::vector<float> Level0() {
    std::vector<float> texels;
    for (int i = 0; i < 4 * 3 * 4; ++i) texels.push_back(0.25f * static_cast<float>(i) - 3.0f);
    texels[5] = -0.0f;
    texels[6] = std::bit_cast<float>(0x7FC01234u);  // a NaN with a payload
    texels[9] = std::numeric_limits<float>::denorm_min();
    texels[10] = std::numeric_limits<float>::infinity();
    return texels;
}

Bytes HorizonDds(const std::vector<float>& level0, std::uint32_t width, std::uint32_t height) {
    std::vector<float> all = level0;
    all.insert(all.end(), 4 * (2 + 1), 0.5f);  // the smaller levels, never read
    return DdsBytes(width, height, DdsFourCc(116), FloatBytes(all), 0, 3);
}

TEST(HorizonMapFile, ReadsLevelZeroBitForBit) {
    TempDir dir;
    WriteBytes(dir.path("m.dds"), HorizonDds(Level0(), 4, 3));
    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok()) << why;
    EXPECT_EQ(map.width, 4u);
    EXPECT_EQ(map.height, 3u);
    EXPECT_TRUE(SameBits(map.texels, Level0()));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(map.red(0, 1)), std::bit_cast<std::uint32_t>(Level0()[4]));
    EXPECT_EQ(map.green(2, 3), Level0()[(2 * 4 + 3) * 4 + 1]);
}

// The map lies in its file's mapping; the file cut short meanwhile ends the run
// with the reason and the code asked for, not a crash.
TEST(HorizonMapFileDeathTest, AFileCutShortWhileMappedEndsTheRunWithItsReason) {
    TempDir dir;
    WriteBytes(dir.path("m.dds"), HorizonDds(Level0(), 4, 3));
    exporter::HorizonMap map;
    std::string why;
    ASSERT_TRUE(exporter::ReadHorizonMap(dir.path("m.dds").c_str(), &map, &why).ok()) << why;
    const auto read = [&] {
        os::ExitOnBusError("the map was cut short\n", 2);
        ASSERT_EQ(truncate(dir.path("m.dds").c_str(), 0), 0);
        const volatile float last = map.texels.back();
        std::printf("%g\n", static_cast<double>(last));
    };
    EXPECT_EXIT(read(), ::testing::ExitedWithCode(2), "the map was cut short");
}

// The smaller levels are not read, but a file without all of them is cut short.
TEST(HorizonMapFile, EveryCutShortCopyIsRefused) {
    TempDir dir;
    const Bytes whole = HorizonDds(Level0(), 4, 3);
    const std::size_t needed = whole.size();
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        WriteBytes(dir.path("cut.dds"), Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        exporter::HorizonMap map;
        std::string why;
        const status::Status read = exporter::ReadHorizonMap(dir.path("cut.dds").c_str(), &map, &why);
        if (length < needed) {
            EXPECT_EQ(read.code, status::Code::InvalidData) << length;
            EXPECT_FALSE(why.empty()) << length;
            EXPECT_TRUE(map.texels.empty()) << length;
        } else {
            ASSERT_TRUE(read.ok()) << length << ": " << why;
            EXPECT_TRUE(SameBits(map.texels, Level0())) << length;
        }
    }
}

struct Refusal {
    const char* name;
    Bytes bytes;
    const char* reason;  // a part of the reason given
};

// `bytes` with the little-endian word at `at` replaced.
Bytes Patched(Bytes bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 4) return bytes;
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

TEST(HorizonMapFile, RefusesWhatIsNotAHorizonMapAndSaysWhy) {
    const Bytes good = HorizonDds(Level0(), 4, 3);
    DdsPixelFormat argb{0x41, 0, 32, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}};
    const std::vector<Refusal> cases = {
        {"png signature", Patched(good, 0, 0x474E5089u), "not a DDS file"},
        {"header size", Patched(good, 4, 123), "not a DDS file"},
        {"R32F", DdsBytes(4, 3, DdsFourCc(114), FloatBytes(std::vector<float>(12))), "FourCC 114"},
        {"half RGBA", DdsBytes(4, 3, DdsFourCc(113), Bytes(96)), "FourCC 113"},
        {"DX10", Dds10Bytes(4, 3, 2, FloatBytes(Level0())), "FourCC \"DX10\""},
        {"bit masks", DdsBytes(4, 3, argb, Bytes(48)), "bit masks"},
        {"cube map", DdsBytes(4, 3, DdsFourCc(116), FloatBytes(Level0()), 0x200 | 0xFC00), "cube map"},
        {"no width", Patched(good, 16, 0), "0 texels"},
        {"claims 100000 x 100000", Patched(Patched(good, 12, 100000), 16, 100000), "need 210000000128 bytes"},
        {"claims 2^32 - 1 squared", Patched(Patched(good, 12, 0xFFFFFFFFu), 16, 0xFFFFFFFFu), "more than 2^64"},
        {"level 0 of 6 x 3", Patched(good, 16, 6), "cut short"},
        {"4 levels of 4 x 3", Patched(good, 28, 4), "more than 4 x 3 texels have"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.path("bad.dds"), c.bytes);
        exporter::HorizonMap map;
        std::string why;
        const status::Status read = exporter::ReadHorizonMap(dir.path("bad.dds").c_str(), &map, &why);
        EXPECT_EQ(read.code, status::Code::InvalidData) << c.name;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.name << ": " << why;
        EXPECT_EQ(read.reason, dir.path("bad.dds") + ": " + why) << c.name;  // the file named
    }
}

TEST(HorizonMapFile, RefusesAMissingFileAndADirectory) {
    TempDir dir;
    exporter::HorizonMap map;
    std::string why;
    EXPECT_EQ(exporter::ReadHorizonMap(dir.path("none.dds").c_str(), &map, &why).code, status::Code::NotFound);
    EXPECT_EQ(exporter::ReadHorizonMap(dir.path().c_str(), &map, &why).code, status::Code::InvalidData);
    EXPECT_FALSE(why.empty());
}

}  // namespace
