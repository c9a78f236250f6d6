#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "../../support/temp_dir.h"
#include "platform/d3d9.h"
#include "platform/wide_text.h"
#include "test_device.h"

namespace {

using Graphics = TestDevice;

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
    EXPECT_EQ(t->LockRect(1, &lr, nullptr, 0), D3DERR_INVALIDCALL);                 // needs level 0, which is locked
    EXPECT_EQ(t->UnlockRect(0), S_OK);
    EXPECT_EQ(t->LockRect(4, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // no such level
    RECT inside{2, 1, 4, 3};
    ASSERT_EQ(t->LockRect(0, &lr, &inside, 0), S_OK);
    static_cast<float*>(lr.pBits)[0] = 7.0f;
    EXPECT_EQ(t->UnlockRect(0), S_OK);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(static_cast<const float*>(lr.pBits)[(1 * 8 + 2) * 4], 7.0f);
    EXPECT_EQ(t->UnlockRect(0), S_OK);
    RECT outside{0, 0, 9, 1};
    EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    t->Release();
}

TEST(Texture, BadSizesAndFormats) {
    Graphics g;
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(D3DXCreateTexture(g.device, 0, 4, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTexture(g.device, 4, 0, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &t), D3DERR_INVALIDCALL);
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
    EXPECT_EQ(t->UnlockRect(0), S_OK);

    ASSERT_EQ(t->LockRect(1, &lr, nullptr, D3DLOCK_READONLY), S_OK);  // 2 x 1
    const auto* mip = static_cast<const float*>(lr.pBits);
    EXPECT_FLOAT_EQ(mip[0], (0 + 1 + 5 + 6) / 4.0f);
    EXPECT_FLOAT_EQ(mip[4], (2 + 3 + 4 + 7 + 8 + 9) / 6.0f);
    EXPECT_EQ(mip[3], 1.0f);
    EXPECT_EQ(t->UnlockRect(1), S_OK);
    ASSERT_EQ(t->LockRect(2, &lr, nullptr, D3DLOCK_READONLY), S_OK);  // 1 x 1
    EXPECT_FLOAT_EQ(static_cast<const float*>(lr.pBits)[0], (3.0f + 5.5f) / 2);
    EXPECT_EQ(t->UnlockRect(2), S_OK);

    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
    for (int i = 0; i < 10; ++i) static_cast<float*>(lr.pBits)[i * 4] = 2.0f;
    EXPECT_EQ(t->UnlockRect(0), S_OK);
    ASSERT_EQ(t->LockRect(2, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(static_cast<const float*>(lr.pBits)[0], 2.0f);
    EXPECT_EQ(t->UnlockRect(2), S_OK);
    t->Release();
}

TEST(Texture, LoadFailureLeavesNoTexture) {
    Graphics g;
    IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(&g);
    EXPECT_EQ(D3DXCreateTextureFromFileExW(g.device, L"/nonexistent/dir/map.png", 4, 4, 0, 0, D3DFMT_A32B32G32R32F,
                                           D3DPOOL_SYSTEMMEM, D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0, nullptr,
                                           nullptr, &t) < 0,
              true);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileExW(g.device, L"x.png", 0, 4, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM,
                                           D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0, nullptr, nullptr, &t),
              D3DERR_INVALIDCALL);
}

}  // namespace

namespace {

// A save writes every level as its lock shows it, one after another, whatever the
// size: the levels below are brought up to date beside the write of level 0.
TEST(Texture, ASaveHoldsEveryLevelAsLocksShowIt) {
    Graphics g;
    TempDir dir;
    for (UINT size : {1u, 6u, 37u, 1024u}) {
        const UINT height = size - (size > 1);
        IDirect3DTexture9* t = g.create(size, height);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
        auto* top = static_cast<float*>(lr.pBits);
        for (UINT i = 0; i < size * height * 4; ++i) top[i] = static_cast<float>(i % 101) - 50;
        EXPECT_EQ(t->UnlockRect(0), S_OK);
        const std::string file = dir.file("chain.dds");
        ASSERT_EQ(D3DXSaveTextureToFileW(platform::WidenBytes(file).c_str(), D3DXIFF_DDS, t, nullptr), S_OK);
        const auto bytes = ReadAll(file);
        std::size_t offset = 128;
        for (UINT level = 0; level < t->GetLevelCount(); ++level) {
            D3DSURFACE_DESC d{};
            EXPECT_EQ(t->GetLevelDesc(level, &d), S_OK);
            const std::size_t levelBytes = std::size_t{d.Width} * d.Height * 16;
            ASSERT_LE(offset + levelBytes, bytes.size());
            ASSERT_EQ(t->LockRect(level, &lr, nullptr, D3DLOCK_READONLY), S_OK);
            EXPECT_EQ(std::memcmp(bytes.data() + offset, lr.pBits, levelBytes), 0) << size << " level " << level;
            EXPECT_EQ(t->UnlockRect(level), S_OK);
            offset += levelBytes;
        }
        EXPECT_EQ(bytes.size(), offset);
        t->Release();
    }
}

// The plain definition: the covered texels summed in double in row order from +0,
// divided by their count, rounded once.
std::vector<float> PlainAverages(const std::vector<float>& upper, UINT w, UINT h) {
    const UINT lw = std::max(1u, w / 2), lh = std::max(1u, h / 2);
    auto span = [](UINT i, UINT size, UINT lower) {
        if (size == 1) return std::pair{0u, 1u};
        return std::pair{2 * i, (size % 2 == 1 && i == lower - 1) ? 3u : 2u};
    };
    std::vector<float> out(std::size_t{lw} * lh * 4);
    for (UINT r = 0; r < lh; ++r)
        for (UINT c = 0; c < lw; ++c)
            for (int ch = 0; ch < 4; ++ch) {
                const auto [y0, ny] = span(r, h, lh);
                const auto [x0, nx] = span(c, w, lw);
                double sum = 0.0;
                for (UINT y = y0; y < y0 + ny; ++y)
                    for (UINT x = x0; x < x0 + nx; ++x) sum += upper[(std::size_t{y} * w + x) * 4 + ch];
                out[(std::size_t{r} * lw + c) * 4 + ch] = static_cast<float>(sum / (ny * nx));
            }
    return out;
}

// Which NaN a sum of NaNs gives depends on the order the compiler picks for its
// operands; any other value must match to the bit.
bool SameBitsOrBothNan(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Level 1 is the plain average to the bit, whatever the values (signed zeros,
// infinities, NaN, the extremes) and the size: odd edges, and levels large enough
// for their rows to be shared among threads.
TEST(Texture, LowerLevelsAreThePlainAveragesBitForBit) {
    Graphics g;
    const float specials[] = {0.0f, -0.0f, 1e-45f, -3.4e38f, 3.4e38f, INFINITY, -INFINITY, NAN, 0.1f, 7.0f};
    const auto levelOne = [&](UINT w, UINT h, const std::vector<float>& upper) {
        IDirect3DTexture9* t = g.create(w, h);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
        std::memcpy(lr.pBits, upper.data(), upper.size() * sizeof(float));
        EXPECT_EQ(t->UnlockRect(0), S_OK);
        EXPECT_EQ(t->LockRect(1, &lr, nullptr, D3DLOCK_READONLY), S_OK);
        const auto* p = static_cast<const float*>(lr.pBits);
        std::vector<float> lower(p, p + std::size_t{std::max(1u, w / 2)} * std::max(1u, h / 2) * 4);
        EXPECT_EQ(t->UnlockRect(1), S_OK);
        t->Release();
        return lower;
    };
    for (const auto& [w, h] : {std::pair{2u, 1u}, {1u, 9u}, {5u, 5u}, {513u, 259u}, {1024u, 1024u}}) {
        std::vector<float> upper(std::size_t{w} * h * 4);
        for (std::size_t i = 0; i < upper.size(); ++i) upper[i] = specials[(i * 7 + i / 13) % 10] * ((i % 3) + 1);
        const auto lower = levelOne(w, h, upper);
        const auto plain = PlainAverages(upper, w, h);
        for (std::size_t i = 0; i < plain.size(); ++i)
            ASSERT_TRUE(SameBitsOrBothNan(lower[i], plain[i])) << w << "x" << h << " at " << i;
    }
    // 2 x 2 of -0 averages to +0: the sum starts at +0, as a plain sum does.
    EXPECT_FALSE(std::signbit(levelOne(2, 2, std::vector<float>(16, -0.0f))[0]));
    // A sum that does not fit a float still averages right.
    std::vector<float> large(16, 0.0f);
    for (int i = 0; i < 4; ++i) large[i * 4] = 3e38f;
    EXPECT_EQ(levelOne(2, 2, large)[0], 3e38f);
}

}  // namespace
