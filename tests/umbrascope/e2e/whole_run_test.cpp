// Whole runs from the command line to the two files, checked against the plain
// computation done here from the same inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <regex>

#include "horizon/horizon_kernel.h"
#include "tool.h"

using horizon::HorizonSettings;

namespace {

constexpr int kSize = 36;  // even and a square: no warnings

struct Terrain {
    std::vector<float> heights;        // red of the height map
    std::vector<unsigned char> trees;  // 8-bit tree map
};

// Rolling hills with a ridge, and forests on the lower half of the slopes.
Terrain MakeTerrain(int size) {
    Terrain t;
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const double x = c / double(size), y = r / double(size);
            const double h = 0.5 + 0.25 * std::sin(7.1 * x + 2.3 * y) * std::cos(5.3 * y - 1.1 * x) +
                             0.2 * std::exp(-40 * (x - y) * (x - y)) + 0.05 * std::sin(31 * x * y);
            t.heights.push_back(static_cast<float>(h));
            t.trees.push_back(static_cast<unsigned char>(h < 0.45 && (r * 7 + c * 3) % 5 != 0 ? 200 : (r + c) % 30));
        }
    return t;
}

// What the run must produce: tree raise, plain horizon loops, tree shade.
std::vector<float> Expected(const Terrain& t, int size, const HorizonSettings& s) {
    std::vector<float> heights(t.heights.size() * 4, 0.0f), out(heights.size(), 0.0f);
    for (std::size_t i = 0; i < t.heights.size(); ++i) {
        const bool tree = static_cast<double>(t.trees[i] / 255.0f) > 0.1;
        heights[i * 4] = tree ? static_cast<float>(double(t.heights[i]) + 4.0 / double(s.height)) : t.heights[i];
    }
    horizon::ComputeHorizonReference(heights.data(), out.data(), size, size, s, {});
    for (std::size_t i = 0; i < t.trees.size(); ++i)
        if (static_cast<double>(t.trees[i] / 255.0f) > 0.1) out[i * 4] = out[i * 4 + 1] = 0.001f;
    return out;
}

TEST(WholeRun, WritesTwoIdenticalFilesHoldingTheHorizonMap) {
    TempDir dir;
    const Terrain terrain = MakeTerrain(kSize);
    WritePfm(dir.file("h.pfm"), kSize, kSize, terrain.heights);
    WritePgm(dir.file("t.pgm"), kSize, kSize, terrain.trees);
    const ProcessResult r = RunTool({"-H", dir.file("h.pfm"), "-T", dir.file("t.pgm"), "-r", std::to_string(kSize),
                                     "--Height=150", "-s", "2400", "--HeightZero=\"-10\"", "-o", dir.file("out.dds")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("\nUmbrascope v 1\\.1\\.\n.*\n\n"
                                                   "Loading textures\\.{10}OK\n"
                                                   "Mixing height map & tree map\\.{9}OK\n"
                                                   "Generating Horizon maps optimized\\.\\.OK\n"
                                                   "Time spend for operation: [0-9]+\\.[0-9]{6} sec\\.\n"
                                                   "Mixing horizon map & tree map\\.{9}OK\n"
                                                   "Writing HorizonMap file\\.{6}OK\n"
                                                   "Application work successfully finished\\. Good day!")))
        << r.out;
    EXPECT_EQ(r.err, "");

    const auto file = ReadAll(dir.file("out.dds"));
    EXPECT_EQ(file, ReadAll(dir.file("out.winter.dds")));
    ASSERT_GE(file.size(), 128u + kSize * kSize * 16);
    const auto expected = Expected(terrain, kSize, HorizonSettings{150.0f, -10.0f, 2400.0f});
    int mismatches = 0;
    for (int i = 0; i < kSize * kSize; ++i) {
        float texel[4];
        std::memcpy(texel, file.data() + 128 + i * 16, 16);
        for (int ch = 0; ch < 2; ++ch) mismatches += std::memcmp(&texel[ch], &expected[i * 4 + ch], 4) != 0;
        mismatches += texel[2] != 0.0f || texel[3] != 0.0f;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"h.pfm", "out.dds", "out.winter.dds", "t.pgm"}));
}

TEST(WholeRun, OutputNamesKeepTheirBytes) {
    TempDir dir;
    const Terrain terrain = MakeTerrain(8);
    WritePfm(dir.file("h.pfm"), 8, 8, terrain.heights);
    WritePgm(dir.file("t.pgm"), 8, 8, terrain.trees);
    std::filesystem::create_directory(dir.file("sub.d"));
    const struct {
        std::string name, companion;
    } cases[] = {
        {"my out.dds", "my out.winter.dds"},
        {"h\xC3\xB6he.dds", "h\xC3\xB6he.winter.dds"},
        {"sub.d/x.dds", "sub.d/x.winter.dds"},
        {"plain", "plain.winter"},
    };
    for (const auto& c : cases) {
        // Scaled from 8 x 8 to 4 x 4 on loading.
        const ProcessResult r =
            RunTool({"-H", dir.file("h.pfm"), "-T", dir.file("t.pgm"), "-r", "4", "-o", dir.file(c.name)});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_TRUE(std::filesystem::exists(dir.file(c.name))) << c.name;
        EXPECT_EQ(ReadAll(dir.file(c.name)), ReadAll(dir.file(c.companion))) << c.companion;
        EXPECT_EQ(ReadAll(dir.file(c.name)).size(), 128u + (16 + 4 + 1) * 16);
    }
}

// An elevation that is not finite is no data, as NaN is: each gives the NaN map. Every
// stored value, mip levels included, lies in [0, 1].
TEST(WholeRun, HeightsWithoutAFiniteElevationAreNoData) {
    constexpr int kSide = 16;
    TempDir dir;
    const Terrain terrain = MakeTerrain(kSide);
    WritePgm(dir.file("t.pgm"), kSide, kSide, std::vector<unsigned char>(kSide * kSide, 0));
    const float inf = std::numeric_limits<float>::infinity();
    const int noData[] = {8 * kSide + 5, 3 * kSide + 11, 15 * kSide + 2, 0};
    std::vector<char> nanMap;
    for (const float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 3e38f, -3e38f}) {
        std::vector<float> heights = terrain.heights;
        for (const int i : noData) heights[i] = value;
        WritePfm(dir.file("h.pfm"), kSide, kSide, heights);
        const ProcessResult r = RunTool({"-H", dir.file("h.pfm"), "-T", dir.file("t.pgm"), "-r", std::to_string(kSide),
                                         "-h", "100", "-o", dir.file("out.dds")});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        const auto file = ReadAll(dir.file("out.dds"));
        std::vector<float> stored((256 + 64 + 16 + 4 + 1) * 4);  // every level
        ASSERT_EQ(file.size(), 128 + stored.size() * 4);
        std::memcpy(stored.data(), file.data() + 128, stored.size() * 4);
        for (std::size_t i = 0; i < stored.size(); ++i)
            EXPECT_TRUE(stored[i] >= 0.0f && stored[i] <= 1.0f) << value << ": " << stored[i] << " at float " << i;
        for (const int i : noData) EXPECT_TRUE(stored[i * 4] == 0.999f && stored[i * 4 + 1] == 0.999f) << value;
        if (nanMap.empty()) nanMap = file;
        EXPECT_TRUE(file == nanMap) << value;
    }
}

}  // namespace
