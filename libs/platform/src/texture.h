#pragma once
// Float RGBA textures in process memory, with the device that accounts for them.
#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "os/page_buffer.h"
#include "platform/d3d9.h"

namespace graphics {

constexpr std::size_t kTexelBytes = 16;  // four 32-bit floats: red, green, blue, alpha

// A texture's levels lie one after another from this offset into its page-aligned
// memory, as a DDS file lays them out after its header: file blocks and memory
// pages then line up, and a save can hand the memory to the disk directly.
constexpr std::size_t kLevelsOffset = 128;

// Bytes of a width x height level of float RGBA texels; false on overflow.
[[nodiscard]] bool LevelBytes(UINT width, UINT height, std::size_t* bytes);

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

// Whose memory the budget counts when a texture is created.
enum class Budget {
    WholeChain,  // every level will be written or saved: all are counted now
    TopLevel,    // only level 0 is counted now; lower levels when first computed
};

class Texture final : public IDirect3DTexture9 {
public:
    // Creates a zero-filled texture with `levels` levels (0: the complete chain), all
    // in one mapping whose pages are backed only when touched.
    [[nodiscard]] static HRESULT create(Device* device, UINT width, UINT height, UINT levels, Budget budget,
                                        Texture** out);

    ULONG AddRef() override;
    ULONG Release() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    // Lower levels follow level 0: one written through a lock brings every level
    // below it up to date, in one pass, when one of them is next needed.
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    // Work on level 0 alone (its texels and their bytes), such as writing it out.
    using LevelZeroWork = std::function<HRESULT(const void* level0, std::size_t bytes)>;

    // Locks every level read-only, brought up to date; `bits` gets level 0, which
    // the others follow packed, `bytes` the size of them all. `meanwhile`, when
    // given, runs on the calling thread while stale lower levels are computed on
    // others, so that their cost hides behind it. D3DERR_INVALIDCALL when a level is
    // locked already, E_OUTOFMEMORY when lower levels cannot be had, or the result
    // of `meanwhile`; nothing stays locked on a failure.
    [[nodiscard]] HRESULT lockChain(const void** bits, std::size_t* bytes, const LevelZeroWork& meanwhile = {});
    void unlockChain();

    // Level 0 has been filled by its creator (a loaded image): no longer promised.
    void markWritten();
    float* level0() const { return levelData(0); }

private:
    struct Level {
        UINT width = 0;
        UINT height = 0;
        std::size_t offset = 0;  // from the start of level 0
        bool locked = false;
        bool current = true;  // lower levels: matches the level above
    };

    Texture(Device* device, std::vector<Level> levels, os::PageBuffer memory);
    ~Texture() override;
    float* levelData(UINT level) const;
    UINT firstStale() const;  // the level count when all are current
    [[nodiscard]] HRESULT budgetLowerLevels();
    void computeLevels(UINT first);
    [[nodiscard]] HRESULT bringCurrent(UINT level);

    std::atomic<ULONG> refs_{1};
    Device* device_;
    std::vector<Level> levels_;
    os::PageBuffer memory_;
    std::size_t chainBytes_ = 0;  // all levels
    std::size_t promised_ = 0;
    bool lowerBudgeted_ = false;  // the lower levels' memory has been counted
};

}  // namespace graphics
