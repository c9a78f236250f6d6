#include "platform/texture.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

bool LevelBytes(UINT width, UINT height, std::size_t* bytes) {
    const std::size_t texels = static_cast<std::size_t>(width) * height;  // 64-bit: cannot overflow
    if (texels > std::numeric_limits<std::size_t>::max() / kTexelBytes) return false;
    *bytes = texels * kTexelBytes;
    return true;
}

UINT FullMipCount(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2) ++levels;
    return levels;
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, Texture** out) {
    if (device == nullptr || out == nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    const UINT full = FullMipCount(width, height);
    const UINT count = (levels == 0 || levels == D3DX_DEFAULT || levels > full) ? full : levels;
    std::size_t bytes = 0;
    if (!LevelBytes(width, height, &bytes)) return E_OUTOFMEMORY;
    try {
        std::vector<Level> chain(count);
        UINT w = width, h = height;
        for (auto& level : chain) {
            level.width = w;
            level.height = h;
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
        // Promised before the check: two textures created at once must not both
        // count on the same memory.
        const std::size_t promisedBefore = device->promise(bytes);
        HRESULT hr = PageBuffer::Allocate(bytes, promisedBefore, chain[0].storage);
        if (hr == S_OK) {
            if (auto* texture = new (std::nothrow) Texture(device, std::move(chain))) {
                texture->promised_ = bytes;
                *out = texture;
                return S_OK;
            }
            hr = E_OUTOFMEMORY;
        }
        device->settle(bytes);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

Texture::Texture(Device* device, std::vector<Level> levels) : device_(device), levels_(std::move(levels)) {
    device_->AddRef();
}

Texture::~Texture() {
    device_->settle(promised_);
    device_->Release();
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
    *desc = D3DSURFACE_DESC{D3DFMT_A32B32G32R32F, D3DRTYPE_SURFACE, 0, D3DPOOL_SYSTEMMEM, 0, 0,
                            levels_[level].width, levels_[level].height};
    return S_OK;
}

void Texture::markWritten() {
    device_->settle(promised_);
    promised_ = 0;
}

HRESULT Texture::prepareLevel(UINT level) {
    Level& target = levels_[level];
    if (level == 0 || target.current) return S_OK;
    if (levels_[level - 1].locked) return D3DERR_INVALIDCALL;
    if (const HRESULT hr = prepareLevel(level - 1); hr != S_OK) return hr;
    if (target.storage.data() == nullptr) {
        std::size_t bytes = 0;
        LevelBytes(target.width, target.height, &bytes);
        if (const HRESULT hr = PageBuffer::Allocate(bytes, device_->promisedBytes(), target.storage); hr != S_OK)
            return hr;
    }
    const Level& upper = levels_[level - 1];
    DownsampleLevel(static_cast<const float*>(upper.storage.data()), upper.width, upper.height,
                    static_cast<float*>(target.storage.data()));
    target.current = true;
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
        offset = (static_cast<std::size_t>(rect->top) * target.width + static_cast<std::size_t>(rect->left)) *
                 kTexelBytes;
    }
    if (const HRESULT hr = prepareLevel(level); hr != S_OK) return hr;
    target.locked = true;
    // Whatever is written through this lock makes the levels below stale.
    if ((flags & D3DLOCK_READONLY) == 0)
        for (UINT i = level + 1; i < levels_.size(); ++i) levels_[i].current = false;
    locked->Pitch = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(target.width) * kTexelBytes,
                                                           std::numeric_limits<int>::max()));
    locked->pBits = static_cast<char*>(target.storage.data()) + offset;
    return S_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return S_OK;
}
