#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "platform/d3d9.h"
#include "platform/texture.h"

namespace {

// A device and what it creates, released in reverse order.
struct Graphics {
    Graphics() {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device), S_OK);
    }
    ~Graphics() {
        device->Release();
        d3d->Release();
    }
    IDirect3DTexture9* create(UINT w, UINT h, HRESULT expected = S_OK) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, w, h, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &texture),
                  expected);
        return texture;
    }
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

TEST(Graphics, OnlyTheToolsSdkVersionCreatesTheObject) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(32);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Texture, LevelsAndPackedRows) {
    Graphics g;
    struct Case {
        UINT w, h, levels;
    };
    for (const Case c : {Case{1, 1, 1}, Case{4, 4, 3}, Case{1024, 1024, 11}, Case{5, 3, 3}, Case{1, 7, 3}}) {
        IDirect3DTexture9* t = g.create(c.w, c.h);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->GetLevelCount(), c.levels) << c.w << "x" << c.h;
        D3DSURFACE_DESC d{};
        ASSERT_EQ(t->GetLevelDesc(0, &d), S_OK);
        EXPECT_EQ(d.Width, c.w);
        EXPECT_EQ(d.Height, c.h);
        EXPECT_EQ(d.Format, D3DFMT_A32B32G32R32F);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
        EXPECT_EQ(lr.Pitch, static_cast<int>(c.w * 16));
        const auto* texels = static_cast<const float*>(lr.pBits);
        for (std::size_t i = 0; i < std::size_t{c.w} * c.h * 4; ++i) ASSERT_EQ(texels[i], 0.0f);
        EXPECT_EQ(t->UnlockRect(0), S_OK);
        EXPECT_EQ(t->GetLevelDesc(c.levels, &d), D3DERR_INVALIDCALL);
        EXPECT_EQ(t->Release(), 0u);
    }
}

TEST(Texture, LockingRules) {
    Graphics g;
    IDirect3DTexture9* t = g.create(8, 8);
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(t->UnlockRect(0), D3DERR_INVALIDCALL);  // not locked
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(t->LockRect(1, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // needs level 0, which is locked
    EXPECT_EQ(t->UnlockRect(0), S_OK);
    EXPECT_EQ(t->LockRect(4, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // no such level
    RECT inside{2, 1, 4, 3};
    ASSERT_EQ(t->LockRect(0, &lr, &inside, 0), S_OK);
    static_cast<float*>(lr.pBits)[0] = 7.0f;
    t->UnlockRect(0);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(static_cast<const float*>(lr.pBits)[(1 * 8 + 2) * 4], 7.0f);
    t->UnlockRect(0);
    RECT outside{0, 0, 9, 1};
    EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    t->Release();
}

TEST(Texture, BadSizesAndFormats) {
    Graphics g;
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(D3DXCreateTexture(g.device, 0, 4, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &t),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTexture(g.device, 4, 0, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &t),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTexture(g.device, 4, 4, 0, 0, D3DFMT_D16, D3DPOOL_SYSTEMMEM, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(t, nullptr);
}

TEST(Texture, SizesBeyondMemoryFailQuicklyWithoutAllocating) {
    Graphics g;
    const auto start = std::chrono::steady_clock::now();
    // 46341^2 texels overflow 32 bits; 2^31-1 squared overflows the byte count.
    for (UINT size : {46341u, 100000u, 2147483647u, 4294967295u}) {
        IDirect3DTexture9* t = g.create(size, size, E_OUTOFMEMORY);
        EXPECT_EQ(t, nullptr);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::size_t bytes = 0;
    EXPECT_FALSE(LevelBytes(4294967295u, 4294967295u, &bytes));
    EXPECT_TRUE(LevelBytes(46341u, 46341u, &bytes));
    EXPECT_EQ(bytes, std::size_t{46341} * 46341 * 16);
}

TEST(Texture, ReleaseKeepsTheDeviceAliveUntilItsLastTexture) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device), S_OK);
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 2, 2, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &t), S_OK);
    EXPECT_EQ(t->AddRef(), 2u);
    EXPECT_EQ(t->Release(), 1u);
    EXPECT_EQ(device->Release(), 1u);  // the texture still holds it
    EXPECT_EQ(t->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

// Each texel of a lower level averages the 2x2 block it covers, 3 wide at the
// last row or column of an odd size; levels follow later writes to level 0.
TEST(Texture, MipLevelsAverageTheLevelAbove) {
    Graphics g;
    IDirect3DTexture9* t = g.create(5, 2);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
    auto* top = static_cast<float*>(lr.pBits);
    for (int i = 0; i < 10; ++i) top[i * 4] = static_cast<float>(i), top[i * 4 + 3] = 1.0f;
    t->UnlockRect(0);

    ASSERT_EQ(t->LockRect(1, &lr, nullptr, D3DLOCK_READONLY), S_OK);  // 2 x 1
    const auto* mip = static_cast<const float*>(lr.pBits);
    EXPECT_FLOAT_EQ(mip[0], (0 + 1 + 5 + 6) / 4.0f);
    EXPECT_FLOAT_EQ(mip[4], (2 + 3 + 4 + 7 + 8 + 9) / 6.0f);
    EXPECT_EQ(mip[3], 1.0f);
    t->UnlockRect(1);
    ASSERT_EQ(t->LockRect(2, &lr, nullptr, D3DLOCK_READONLY), S_OK);  // 1 x 1
    EXPECT_FLOAT_EQ(static_cast<const float*>(lr.pBits)[0], (3.0f + 5.5f) / 2);
    t->UnlockRect(2);

    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
    for (int i = 0; i < 10; ++i) static_cast<float*>(lr.pBits)[i * 4] = 2.0f;
    t->UnlockRect(0);
    ASSERT_EQ(t->LockRect(2, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(static_cast<const float*>(lr.pBits)[0], 2.0f);
    t->UnlockRect(2);
    t->Release();
}

TEST(Texture, LoadFailureLeavesNoTexture) {
    Graphics g;
    IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(&g);
    EXPECT_EQ(D3DXCreateTextureFromFileExW(g.device, L"/nonexistent/dir/map.png", 4, 4, 0, 0, D3DFMT_A32B32G32R32F,
                                           D3DPOOL_SYSTEMMEM, D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0,
                                           nullptr, nullptr, &t) < 0,
              true);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileExW(g.device, L"x.png", 0, 4, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM,
                                           D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0, nullptr, nullptr, &t),
              D3DERR_INVALIDCALL);
}

}  // namespace
