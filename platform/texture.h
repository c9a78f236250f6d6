#pragma once
// Float RGBA textures in process memory, with the device that accounts for them.
#include <atomic>
#include <cstddef>
#include <vector>

#include "platform/d3d9.h"
#include "platform/page_buffer.h"

constexpr std::size_t kTexelBytes = 16;  // four 32-bit floats: red, green, blue, alpha

// Bytes of a width x height level of float RGBA texels; false on overflow.
bool LevelBytes(UINT width, UINT height, std::size_t* bytes);

// Levels of a complete mip chain down to 1 x 1.
UINT FullMipCount(UINT width, UINT height);

class Device final : public IDirect3DDevice9 {
public:
    ULONG AddRef() override;
    ULONG Release() override;

    // Memory handed to textures that nobody has written yet; a new texture must fit
    // beside it in the memory available.
    std::size_t promisedBytes() const { return promised_.load(); }
    // Returns what was promised before.
    std::size_t promise(std::size_t bytes) { return promised_.fetch_add(bytes); }
    void settle(std::size_t bytes) { promised_ -= bytes; }

private:
    std::atomic<ULONG> refs_{1};
    std::atomic<std::size_t> promised_{0};
};

class Texture final : public IDirect3DTexture9 {
public:
    // Creates a zero-filled texture with `levels` levels (0: the complete chain).
    // Only level 0 is allocated now; lower levels when first locked.
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, Texture** out);

    ULONG AddRef() override;
    ULONG Release() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    // Level 0 has been filled by its creator (a loaded image): no longer promised.
    void markWritten();
    float* level0() const { return static_cast<float*>(levels_[0].storage.data()); }

private:
    struct Level {
        UINT width = 0;
        UINT height = 0;
        PageBuffer storage;
        bool locked = false;
        bool current = false;  // lower levels: matches the level above
    };

    Texture(Device* device, std::vector<Level> levels);
    ~Texture() override;
    HRESULT prepareLevel(UINT level);

    std::atomic<ULONG> refs_{1};
    Device* device_;
    std::vector<Level> levels_;
    std::size_t promised_ = 0;
};

// Fills `lower` (max(1, w/2) x max(1, h/2)) with plain averages of the texels of
// `upper` it covers: 2 x 2 blocks, 3 wide at the last row or column of an odd size.
void DownsampleLevel(const float* upper, UINT width, UINT height, float* lower);
