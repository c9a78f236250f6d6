#pragma once
// A device of the graphics stand-in, and a float texture with its whole mip chain
// on one, released in reverse order.
#include <gtest/gtest.h>

#include <string>

#include "platform/d3d9.h"
#include "platform/wide_text.h"

struct TestDevice {
    TestDevice() {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device), S_OK);
    }
    ~TestDevice() {
        device->Release();
        d3d->Release();
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    IDirect3DTexture9* create(UINT w, UINT h, HRESULT expected = S_OK) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, w, h, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &texture), expected);
        return texture;
    }
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

struct TestTexture : TestDevice {
    TestTexture(UINT w, UINT h) : texture(create(w, h)) {}
    ~TestTexture() { texture->Release(); }

    // `fill(texels)` writes level 0: w x h texels of four floats, packed rows.
    template <typename Fill>
    void fillLevel0(Fill fill) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(texture->LockRect(0, &lr, nullptr, 0), S_OK);
        fill(static_cast<float*>(lr.pBits));
        EXPECT_EQ(texture->UnlockRect(0), S_OK);
    }
    HRESULT save(const std::string& path) {
        return D3DXSaveTextureToFileW(platform::WidenBytes(path).c_str(), D3DXIFF_DDS, texture, nullptr);
    }
    IDirect3DTexture9* texture = nullptr;
};
