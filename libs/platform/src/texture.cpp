#include "texture.h"

#include "dds/dds_header.h"
#include "dds/mip_chain.h"
#include "results/status_result.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <new>
#include <thread>
#include <utility>

namespace graphics {

bool LevelBytes(UINT width, UINT height, std::size_t* bytes) {
    const std::size_t texels = static_cast<std::size_t>(width) * height;  // 64-bit: cannot overflow
    if (texels > std::numeric_limits<std::size_t>::max() / kTexelBytes) return false;
    *bytes = texels * kTexelBytes;
    return true;
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Texture::create(Device* device, UINT width, UINT height, UINT levels, Budget budget, Texture** out) {
    if (device == nullptr || out == nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    const UINT full = dds::FullMipCount(width, height);
    const UINT count = (levels == 0 || levels == D3DX_DEFAULT || levels > full) ? full : levels;
    std::size_t topBytes = 0;
    if (!LevelBytes(width, height, &topBytes)) return E_OUTOFMEMORY;
    try {
        std::vector<Level> chain(count);
        std::size_t offset = 0;
        UINT w = width, h = height;
        for (auto& level : chain) {
            level.width = w;
            level.height = h;
            level.offset = offset;
            std::size_t bytes = 0;
            (void)LevelBytes(w, h, &bytes);  // fits: never more than level 0, checked above
            if (__builtin_add_overflow(offset, bytes, &offset)) return E_OUTOFMEMORY;
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
        std::size_t mapped = 0;
        if (__builtin_add_overflow(offset, kLevelsOffset, &mapped)) return E_OUTOFMEMORY;
        const std::size_t counted = budget == Budget::WholeChain ? offset : topBytes;
        // Promised before the check: two textures created at once must not both
        // count on the same memory.
        const std::size_t promisedBefore = device->promise(counted);
        HRESULT hr = ResultOfStatus(os::FitsInMemory(counted, promisedBefore));
        os::PageBuffer memory;
        if (hr == S_OK) hr = ResultOfStatus(os::PageBuffer::map(mapped, memory));
        if (hr == S_OK) {
            if (auto* texture = new (std::nothrow) Texture(device, std::move(chain), std::move(memory))) {
                texture->chainBytes_ = offset;
                texture->promised_ = counted;
                texture->lowerBudgeted_ = budget == Budget::WholeChain;
                *out = texture;
                return S_OK;
            }
            hr = E_OUTOFMEMORY;
        }
        device->settle(counted);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

Texture::Texture(Device* device, std::vector<Level> levels, os::PageBuffer memory)
    : device_(device), levels_(std::move(levels)), memory_(std::move(memory)) {
    device_->AddRef();
}

Texture::~Texture() {
    device_->settle(promised_);
    device_->Release();
}

float* Texture::levelData(UINT level) const {
    return reinterpret_cast<float*>(static_cast<char*>(memory_.data()) + kLevelsOffset + levels_[level].offset);
}

ULONG Texture::AddRef() { return ++refs_; }

ULONG Texture::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

DWORD Texture::GetLevelCount() { return static_cast<DWORD>(levels_.size()); }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size() || desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{D3DFMT_A32B32G32R32F, D3DRTYPE_SURFACE,     0, D3DPOOL_SYSTEMMEM, 0, 0,
                            levels_[level].width, levels_[level].height};
    return S_OK;
}

void Texture::markWritten() {
    device_->settle(promised_);
    promised_ = 0;
    for (UINT i = 1; i < levels_.size(); ++i) levels_[i].current = false;
}

UINT Texture::firstStale() const {
    // Stale levels are always the bottom of the chain.
    UINT first = 1;
    while (first < levels_.size() && levels_[first].current) ++first;
    return first;
}

HRESULT Texture::budgetLowerLevels() {
    if (lowerBudgeted_ || levels_.size() < 2) return S_OK;
    if (!os::FitsInMemory(chainBytes_ - levels_[1].offset, device_->promisedBytes()).ok()) return E_OUTOFMEMORY;
    lowerBudgeted_ = true;
    return S_OK;
}

void Texture::computeLevels(UINT first) {
    for (UINT i = first; i < levels_.size(); ++i) {
        const Level& upper = levels_[i - 1];
        dds::DownsampleInParallel(levelData(i - 1), upper.width, upper.height, levelData(i));
        levels_[i].current = true;
    }
}

HRESULT Texture::bringCurrent(UINT level) {
    if (levels_[level].current) return S_OK;
    // All stale levels are computed at once, from the lowest current one down.
    const UINT first = firstStale();
    for (UINT i = first - 1; i < levels_.size(); ++i)
        if (levels_[i].locked) return D3DERR_INVALIDCALL;
    if (const HRESULT hr = budgetLowerLevels(); hr != S_OK) return hr;
    computeLevels(first);
    return S_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level >= levels_.size() || locked == nullptr || levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& target = levels_[level];
    std::size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<unsigned long>(rect->right) > target.width ||
            static_cast<unsigned long>(rect->bottom) > target.height)
            return D3DERR_INVALIDCALL;
        offset =
            (static_cast<std::size_t>(rect->top) * target.width + static_cast<std::size_t>(rect->left)) * kTexelBytes;
    }
    if (const HRESULT hr = bringCurrent(level); hr != S_OK) return hr;
    target.locked = true;
    // Whatever is written through this lock makes the levels below stale.
    if ((flags & D3DLOCK_READONLY) == 0)
        for (UINT i = level + 1; i < levels_.size(); ++i) levels_[i].current = false;
    locked->Pitch = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(target.width) * kTexelBytes, std::numeric_limits<int>::max()));
    locked->pBits = reinterpret_cast<char*>(levelData(level)) + offset;
    return S_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return S_OK;
}

HRESULT Texture::lockChain(const void** bits, std::size_t* bytes, const LevelZeroWork& meanwhile) {
    if (bits == nullptr || bytes == nullptr) return D3DERR_INVALIDCALL;
    for (const Level& level : levels_)
        if (level.locked) return D3DERR_INVALIDCALL;
    const UINT first = firstStale();
    if (first < levels_.size())
        if (const HRESULT hr = budgetLowerLevels(); hr != S_OK) return hr;
    for (Level& level : levels_) level.locked = true;
    HRESULT hr = S_OK;
    {
        std::jthread lower;
        if (first < levels_.size()) {
            try {
                lower = std::jthread([this, first] { computeLevels(first); });
            } catch (const std::exception&) {
                computeLevels(first);  // no thread to be had: one after the other
            }
        }
        if (meanwhile) hr = meanwhile(levelData(0), levels_.size() > 1 ? levels_[1].offset : chainBytes_);
    }
    if (hr != S_OK) {
        unlockChain();
        return hr;
    }
    *bits = levelData(0);
    *bytes = chainBytes_;
    return S_OK;
}

void Texture::unlockChain() {
    for (Level& level : levels_) level.locked = false;
}

}  // namespace graphics
