// Textures created on two threads at once, as the two maps are loaded: the memory
// each is promised must be counted against the other's.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "platform/d3d9.h"
#include "os/memory_budget.h"

namespace {

TEST(TextureConcurrency, TwoThatDoNotFitTogetherAreNeverBothCreated) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device), S_OK);
    const auto create = [device](UINT size, IDirect3DTexture9** texture) {
        return D3DXCreateTexture(device, size, size, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, texture);
    };
    // An empty texture counts its whole mip chain: 16 bytes a texel, a third more
    // for the levels below.
    const double perTexel = 16.0 * 4 / 3;

    int created[3] = {};
    for (int round = 0; round < 40; ++round) {
        // Each one alone fits in what is free now; both do not. Nothing is touched.
        const auto size =
            static_cast<UINT>(std::sqrt(0.6 * static_cast<double>(os::AvailableMemoryBytes()) / perTexel));
        IDirect3DTexture9* textures[2] = {};
        HRESULT results[2] = {};
        std::atomic<int> ready{0};
        const auto worker = [&](int i) {
            ++ready;
            while (ready.load() < 2) {
            }
            results[i] = create(size, &textures[i]);
        };
        std::thread other(worker, 1);
        worker(0);
        other.join();
        const int count = (results[0] == S_OK) + (results[1] == S_OK);
        ++created[count];
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(results[i] == S_OK || results[i] == E_OUTOFMEMORY) << results[i];
            if (textures[i] != nullptr) textures[i]->Release();
        }
    }
    EXPECT_EQ(created[2], 0) << "both created although only one fits";
    EXPECT_GT(created[1], 0);
    device->Release();
    d3d->Release();
}

}  // namespace
