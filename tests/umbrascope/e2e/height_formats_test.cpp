// The same heights handed over in another format make the same horizon map: RAW
// files, told only by their names, against their headered twins.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "tool.h"

namespace {

static_assert(std::endian::native == std::endian::little, "the RAW files are written from native words");

constexpr int kSize = 16;

std::string LittleEndianWords(const std::vector<std::uint16_t>& words) {
    std::string bytes;
    for (const auto w : words) bytes.append({static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)});
    return bytes;
}

std::string Pgm16(const std::vector<std::uint16_t>& words) {
    std::string bytes = "P5\n" + std::to_string(kSize) + " " + std::to_string(kSize) + "\n65535\n";
    for (const auto w : words) bytes.append({static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)});
    return bytes;
}

std::vector<char> HorizonMap(const TempDir& dir, const std::string& heights) {
    const std::string out = dir.file(heights + ".dds");
    const ProcessResult r = RunTool({"-H", dir.file(heights), "-T", dir.file("t.pgm"), "-r", std::to_string(kSize),
                                     "-h", "600", "-s", "1600", "-o", out});
    EXPECT_EQ(r.exitCode, 0) << heights << "\n" << r.out;
    return ReadAll(out);
}

TEST(HeightFormats, RawFilesGiveWhatTheirHeaderedTwinsGive) {
    TempDir dir;
    std::vector<float> heights;
    std::vector<std::uint16_t> words;
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            const double h = 0.5 + 0.3 * std::sin(0.7 * c + 0.2 * r) * std::cos(0.4 * r - 0.1 * c);
            heights.push_back(static_cast<float>(h));
            words.push_back(static_cast<std::uint16_t>(h * 65535));
        }
    }
    WritePgm(dir.file("t.pgm"), kSize, kSize, std::vector<unsigned char>(kSize * kSize, 0));
    WritePfm(dir.file("h.pfm"), kSize, kSize, heights);
    WriteAll(dir.file("h.r32"), std::string(reinterpret_cast<const char*>(heights.data()), heights.size() * 4));
    WriteAll(dir.file("h16.pgm"), Pgm16(words));
    WriteAll(dir.file("h16.r16"), LittleEndianWords(words));
    WriteAll(dir.file("h16.RAW"), LittleEndianWords(words));

    const std::vector<char> fromPfm = HorizonMap(dir, "h.pfm");
    ASSERT_GT(fromPfm.size(), 128u);
    EXPECT_EQ(HorizonMap(dir, "h.r32"), fromPfm);
    const std::vector<char> fromPgm = HorizonMap(dir, "h16.pgm");
    ASSERT_GT(fromPgm.size(), 128u);
    EXPECT_NE(fromPgm, fromPfm);  // the 16-bit heights are rounded: a different map
    EXPECT_EQ(HorizonMap(dir, "h16.r16"), fromPgm);
    EXPECT_EQ(HorizonMap(dir, "h16.RAW"), fromPgm);
}

}  // namespace
