#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <regex>

#include "../../support/failing_allocation.h"
#include "map_fixture.h"
#include "maps/horizon.h"
#include "horizon/horizon_kernel.h"

using horizon::HorizonSettings;

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

float FromBits(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

class HorizonStep : public MapFixture {};

// 4 x 4, TerraSize 1000 (cells of 250 m, half size 500 m), Height 100, h = 1 in
// row 2. Forward, row 0: best sample row 2, s = 100/500 = 0.2f, D = float(0.2f x
// 900000) = 180000, q = float(180000 / 899500) = 0.200111166, value 0x3F7B05F6
// (0.980559707). Row 1: s = 100/250 = 0.4f, D = 0.4f x 899750 = 359900, q =
// 0.400111169, value 0x3F6DAE50 (0.928441048). Backward, row 3: s = 0.4f, D =
// 0.4f x 900750 = 360300, q = float(360300 / 900500) = 0.400111049, which rounds
// to the same value 0x3F6DAE50. Every other texel sees nothing higher: 0.999f.
TEST_F(HorizonStep, WorkedExample) {
    create(4, 4);
    ToolSettings.TerraSize = 1000.0f;
    std::vector<float> h(16, 0.0f);
    for (int c = 0; c < 4; ++c) h[2 * 4 + c] = 1.0f;
    fillRed(TextureSet.HeightMap, h);
    std::vector<float> marker(64, -7.0f);
    fill(TextureSet.OutTexture, marker);

    testing::internal::CaptureStdout();
    ASSERT_EQ(GenerateHorizonMaps(), S_OK);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(output, std::regex("Generating Horizon maps optimized\\.\\.OK\n"
                                                    "Time spend for operation: [0-9]+\\.[0-9]{6} sec\\.\n")))
        << output;

    const std::uint32_t open = 0x3F7FBE77;  // 0.999f
    const std::uint32_t red[4] = {0x3F7B05F6, 0x3F6DAE50, open, open};
    const std::uint32_t green[4] = {open, open, open, 0x3F6DAE50};
    const auto out = texels(TextureSet.OutTexture);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            const float* t = &out[(r * 4 + c) * 4];
            EXPECT_EQ(Bits(t[0]), red[r]) << r << "," << c;
            EXPECT_EQ(Bits(t[1]), green[r]) << r << "," << c;
            EXPECT_EQ(t[2], -7.0f);
            EXPECT_EQ(t[3], -7.0f);
        }
    EXPECT_NEAR(FromBits(red[0]), 0.980560, 5e-7);
    EXPECT_NEAR(FromBits(red[1]), 0.928441, 5e-7);
    EXPECT_EQ(texels(TextureSet.HeightMap)[8 * 4], 1.0f);  // heights unchanged
}

// One dot after the locks, one per 101 rows over both passes, one before "OK".
TEST_F(HorizonStep, ProgressDots) {
    for (UINT rows : {1u, 50u, 100u, 101u, 1024u}) {
        create(1, rows);
        testing::internal::CaptureStdout();
        ASSERT_EQ(GenerateHorizonMaps(), S_OK);
        const std::string output = testing::internal::GetCapturedStdout();
        const std::string expected =
            "Generating Horizon maps optimized." + std::string(2 * rows / 101, '.') + ".OK\nTime spend";
        EXPECT_EQ(output.substr(0, expected.size()), expected) << rows;
        TearDown();
    }
}

// Each failed lock is reported; the step leaves locked only what it found locked,
// the height map included when the output's lock is the one that failed.
TEST_F(HorizonStep, LockFailures) {
    create(2, 2);
    const struct {
        IDirect3DTexture9* held;
        const char* output;
    } cases[] = {
        {TextureSet.HeightMap, "Generating Horizon maps optimizedERROR:Can`t lock HeightMap texture!\n"},
        {TextureSet.OutTexture, "Generating Horizon maps optimizedERROR:Can`t lock OutTexture!\n"},
    };
    for (const auto& c : cases) {
        D3DLOCKED_RECT held{};
        ASSERT_EQ(c.held->LockRect(0, &held, nullptr, 0), S_OK);
        testing::internal::CaptureStdout();
        EXPECT_EQ(GenerateHorizonMaps(), E_FAIL);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        ASSERT_EQ(c.held->UnlockRect(0), S_OK);
        for (IDirect3DTexture9* t : {TextureSet.HeightMap, TextureSet.OutTexture}) {
            D3DLOCKED_RECT again{};
            EXPECT_EQ(t->LockRect(0, &again, nullptr, 0), S_OK) << c.output;
            EXPECT_EQ(t->UnlockRect(0), S_OK);
        }
    }
}

// Out of memory inside the computation: the step unlocks both textures and returns
// the failure, its console line left for the run's own failure line.
TEST_F(HorizonStep, OutOfMemoryUnlocksAndReturnsIt) {
    create(64, 64);
    testing::internal::CaptureStdout();
    HRESULT hr = S_OK;
    {
        const failing_allocation::Armed noMemory(0, true);
        hr = GenerateHorizonMaps();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Generating Horizon maps optimized.");
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    for (IDirect3DTexture9* t : {TextureSet.HeightMap, TextureSet.OutTexture}) {
        D3DLOCKED_RECT lock{};
        EXPECT_EQ(t->LockRect(0, &lock, nullptr, 0), S_OK);
        EXPECT_EQ(t->UnlockRect(0), S_OK);
    }
}

// The plain computation on small maps whose answers are known without it.
struct Map {
    std::uint32_t width, height;
    std::vector<float> texels;  // RGBA, red = h
    Map(std::uint32_t w, std::uint32_t h, std::vector<float> red) : width(w), height(h), texels(red.size() * 4) {
        for (std::size_t i = 0; i < red.size(); ++i) texels[i * 4] = red[i];
    }
    std::vector<float> horizon(const HorizonSettings& s) const {
        std::vector<float> out(texels.size(), -1.0f);
        horizon::ComputeHorizonReference(texels.data(), out.data(), width, height, s, {});
        return out;
    }
};

constexpr HorizonSettings kDefault{100.0f, 0.0f, 5000.0f};

TEST(HorizonReference, OpenHorizonWhereNothingRises) {
    // Flat maps, a single row (no texel has samples), a single texel, and a
    // column whose samples are all exactly as high as the texel.
    const Map maps[] = {Map(3, 3, std::vector<float>(9, 0.4f)), Map(5, 1, {0.1f, 0.9f, 0.3f, 0.2f, 0.5f}),
                        Map(1, 1, {0.7f}), Map(2, 3, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f})};
    for (const Map& m : maps) {
        const auto out = m.horizon(kDefault);
        for (std::size_t i = 0; i < out.size(); i += 4) {
            EXPECT_EQ(out[i], 0.999f);
            EXPECT_EQ(out[i + 1], 0.999f);
            EXPECT_EQ(out[i + 2], -1.0f);
        }
    }
}

TEST(HorizonReference, EachColumnStandsAlone) {
    // Column 0 rises, column 1 is flat: the flat column's edge rows get 0.999,
    // not a value carried over from the neighbouring column.
    const Map m(2, 3, {0.0f, 0.2f, 0.5f, 0.2f, 0.4f, 0.2f});
    const auto out = m.horizon(kDefault);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(out[(r * 2 + 1) * 4], 0.999f) << r;
        EXPECT_EQ(out[(r * 2 + 1) * 4 + 1], 0.999f) << r;
    }
    EXPECT_NE(out[0], 0.999f);              // row 0 sees row 2 rise
    EXPECT_EQ(out[2 * 2 * 4], 0.999f);      // the last row has nothing ahead
    EXPECT_NE(out[2 * 2 * 4 + 1], 0.999f);  // but looks back at row 1, which is higher
}

TEST(HorizonReference, SlopeUnderflowingToZeroDoesNotRise) {
    // A rise of one subnormal step over 5000 m: the float slope is 0.
    const float tiny = std::numeric_limits<float>::denorm_min();
    const Map m(1, 2, {0.0f, tiny});
    const auto out = m.horizon(HorizonSettings{1.0f, 0.0f, 5000.0f});
    EXPECT_EQ(out[0], 0.999f);
}

TEST(HorizonReference, EqualSlopesFartherAwayGiveTheSameValue) {
    // Rows 1 and 2 lie on one line from row 0 (slopes 0.1 / 1000 and 0.2 / 2000).
    const Map line(1, 3, {0.0f, 0.1f, 0.2f});
    const Map nearOnly(1, 3, {0.0f, 0.1f, 0.0f});
    const HorizonSettings s{100.0f, 0.0f, 3000.0f};
    EXPECT_EQ(Bits(line.horizon(s)[0]), Bits(nearOnly.horizon(s)[0]));
    EXPECT_NE(line.horizon(s)[0], 0.999f);
}

TEST(HorizonReference, NegativeHeightOfEqualSizeGivesTheSameValue) {
    // One column of two rows 5000 m apart rising by 100 m: s = 0.02f and D = 18000
    // whatever HeightZero is. With HeightZero 0, z0 + D = 18000; with HeightZero
    // -36000, z0 + D = -18000, and 1 / sqrt(1 + q^2) does not see the sign.
    const Map m(1, 2, {0.0f, 1.0f});
    const auto up = m.horizon(HorizonSettings{100.0f, 0.0f, 5000.0f});
    const auto down = m.horizon(HorizonSettings{100.0f, -36000.0f, 5000.0f});
    EXPECT_EQ(Bits(up[0]), Bits(down[0]));
}

}  // namespace
