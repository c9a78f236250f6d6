#pragma once
// The run's graphics state for one test: a device and three textures of one size,
// with the settings the steps read, all restored afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "maps/texture_set.h"
#include "settings/tool_settings.h"

class MapFixture : public testing::Test {
protected:
    void create(UINT width, UINT height) {
        width_ = width;
        ToolSettings.resetToDefaults();
        TextureSet.Direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        ASSERT_EQ(TextureSet.Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &TextureSet.Device),
                  S_OK);
        for (IDirect3DTexture9** t : {&TextureSet.HeightMap, &TextureSet.TreeMap, &TextureSet.OutTexture})
            ASSERT_EQ(
                D3DXCreateTexture(TextureSet.Device, width, height, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, t),
                S_OK);
    }
    void TearDown() override {
        maps::ReleaseTextureSet();
        ToolSettings.resetToDefaults();
    }

    // Copies level 0 out of, or into, a texture (RGBA floats, packed rows).
    static std::vector<float> texels(IDirect3DTexture9* t) {
        D3DSURFACE_DESC d{};
        EXPECT_EQ(t->GetLevelDesc(0, &d), S_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
        const auto* p = static_cast<const float*>(lr.pBits);
        std::vector<float> copy(p, p + std::size_t{d.Width} * d.Height * 4);
        EXPECT_EQ(t->UnlockRect(0), S_OK);
        return copy;
    }
    static void fill(IDirect3DTexture9* t, const std::vector<float>& rgba) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
        std::copy(rgba.begin(), rgba.end(), static_cast<float*>(lr.pBits));
        EXPECT_EQ(t->UnlockRect(0), S_OK);
    }
    // Sets the red channel from one value per texel; other channels as given.
    static void fillRed(IDirect3DTexture9* t, const std::vector<float>& red, float others = 0.5f) {
        std::vector<float> rgba(red.size() * 4, others);
        for (std::size_t i = 0; i < red.size(); ++i) rgba[i * 4] = red[i];
        fill(t, rgba);
    }

    UINT width_ = 0;
};
