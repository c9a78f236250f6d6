#include <gtest/gtest.h>

#include "map_fixture.h"
#include "maps/tree_mix.h"

namespace {

class TreeMix : public MapFixture {};

TEST_F(TreeMix, RaisesRedGreenBlueUnderTreesOnly) {
    create(4, 2);
    ToolSettings.Height = 200.0f;
    const std::vector<float> heights = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 1.0f};
    std::vector<float> rgba(32);
    for (int i = 0; i < 8; ++i) {
        rgba[i * 4] = heights[i];
        rgba[i * 4 + 1] = heights[i] * 2;
        rgba[i * 4 + 2] = heights[i] * 3;
        rgba[i * 4 + 3] = 0.25f;
    }
    fill(TextureSet.HeightMap, rgba);
    // 8-bit tree values k/255 at OutRez: 26 is the first that counts; the float
    // nearest 0.1 counts too, being above the double 0.1.
    const std::vector<float> trees = {0.0f, 25 / 255.0f, 26 / 255.0f, 0.1f, 1.0f, 0.09999f, 255 / 255.0f, -1.0f};
    fillRed(TextureSet.TreeMap, trees);

    testing::internal::CaptureStdout();
    ASSERT_EQ(MixHeightMapAndTreeMap(), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Mixing height map & tree map.........OK\n");

    const auto after = texels(TextureSet.HeightMap);
    const bool tree[8] = {false, false, true, true, true, false, true, false};
    for (int i = 0; i < 8; ++i)
        for (int ch = 0; ch < 4; ++ch) {
            const float before = rgba[i * 4 + ch];
            // 4 metres at 200 metres per unit, added in double, stored as float.
            const float raised = static_cast<float>(static_cast<double>(before) + 4.0 / 200.0);
            const float expected = (tree[i] && ch < 3) ? raised : before;
            EXPECT_EQ(after[i * 4 + ch], expected) << "texel " << i << " channel " << ch;
        }
    EXPECT_NE(after[2 * 4], rgba[2 * 4]);
}

TEST_F(TreeMix, NoTreesNoChange) {
    create(3, 3);
    std::vector<float> rgba(36);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<float>(i) / 7;
    fill(TextureSet.HeightMap, rgba);
    fill(TextureSet.OutTexture, rgba);
    testing::internal::CaptureStdout();
    ASSERT_EQ(MixHeightMapAndTreeMap(), S_OK);
    ASSERT_EQ(MixHorizonMapAndTreeMap(), S_OK);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(texels(TextureSet.HeightMap), rgba);
    EXPECT_EQ(texels(TextureSet.OutTexture), rgba);
}

TEST_F(TreeMix, ShadesExactlyTheRaisedTexels) {
    create(5, 4);
    std::vector<float> trees(20), heights(20);
    for (int i = 0; i < 20; ++i) {
        trees[i] = static_cast<float>((i * 37) % 11) / 40.0f;  // 0 .. 0.25, some above 0.1
        heights[i] = static_cast<float>(i) / 20;
    }
    fillRed(TextureSet.TreeMap, trees);
    fillRed(TextureSet.HeightMap, heights);
    std::vector<float> horizon(80);
    for (std::size_t i = 0; i < horizon.size(); ++i) horizon[i] = 0.5f + static_cast<float>(i) / 1000;
    fill(TextureSet.OutTexture, horizon);

    testing::internal::CaptureStdout();
    ASSERT_EQ(MixHeightMapAndTreeMap(), S_OK);
    ASSERT_EQ(MixHorizonMapAndTreeMap(), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Mixing height map & tree map.........OK\nMixing horizon map & tree map.........OK\n");

    const auto raised = texels(TextureSet.HeightMap);
    const auto shaded = texels(TextureSet.OutTexture);
    int treesSeen = 0;
    for (int i = 0; i < 20; ++i) {
        const bool wasRaised = raised[i * 4] != heights[i];
        treesSeen += wasRaised;
        EXPECT_EQ(shaded[i * 4], wasRaised ? 0.001f : horizon[i * 4]);
        EXPECT_EQ(shaded[i * 4 + 1], wasRaised ? 0.001f : horizon[i * 4 + 1]);
        EXPECT_EQ(shaded[i * 4 + 2], horizon[i * 4 + 2]);
        EXPECT_EQ(shaded[i * 4 + 3], horizon[i * 4 + 3]);
    }
    EXPECT_GT(treesSeen, 3);
    EXPECT_LT(treesSeen, 17);
}

// A texture that is already locked cannot be locked again: each step reports
// which lock failed, changes nothing and leaves locked only what it found locked.
TEST_F(TreeMix, LockFailures) {
    create(2, 2);
    fillRed(TextureSet.TreeMap, {1, 1, 1, 1});
    const auto heightsBefore = texels(TextureSet.HeightMap);
    D3DLOCKED_RECT held{};
    const struct {
        IDirect3DTexture9* held;
        HRESULT (*step)();
        const char* output;
    } cases[] = {
        {TextureSet.HeightMap, MixHeightMapAndTreeMap,
         "Mixing height map & tree mapERROR:Can`t lock HeightMap texture!\n"},
        {TextureSet.TreeMap, MixHeightMapAndTreeMap, "Mixing height map & tree mapERROR:Can`t lock TreeMap texture!\n"},
        {TextureSet.OutTexture, MixHorizonMapAndTreeMap, "Mixing horizon map & tree mapERROR:Can`t lock OutTexture!\n"},
        {TextureSet.TreeMap, MixHorizonMapAndTreeMap,
         "Mixing horizon map & tree mapERROR:Can`t lock TreeMap texture!\n"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.held->LockRect(0, &held, nullptr, 0), S_OK);
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.step(), E_FAIL);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        ASSERT_EQ(c.held->UnlockRect(0), S_OK);
        // The first lock of a step whose second one failed is released too.
        for (IDirect3DTexture9* t : {TextureSet.HeightMap, TextureSet.TreeMap, TextureSet.OutTexture}) {
            D3DLOCKED_RECT again{};
            EXPECT_EQ(t->LockRect(0, &again, nullptr, 0), S_OK) << c.output;
            EXPECT_EQ(t->UnlockRect(0), S_OK);
        }
    }
    EXPECT_EQ(texels(TextureSet.HeightMap), heightsBefore);
}

}  // namespace
