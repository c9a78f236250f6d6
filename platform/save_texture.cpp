// Saving a texture as a DDS file: header, then every level, level 0 first.
#include <new>
#include <string>

#include "platform/atomic_file.h"
#include "platform/d3d9.h"
#include "platform/dds_header.h"
#include "platform/texture.h"
#include "platform/wide_text.h"

namespace {

HRESULT WriteLevel(IDirect3DTexture9* texture, UINT level, AtomicFile& file) {
    D3DSURFACE_DESC desc{};
    if (const HRESULT hr = texture->GetLevelDesc(level, &desc); hr != S_OK) return hr;
    D3DLOCKED_RECT locked{};
    if (const HRESULT hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY); hr != S_OK) return hr;
    std::size_t bytes = 0;
    LevelBytes(desc.Width, desc.Height, &bytes);
    const HRESULT hr = file.write(locked.pBits, bytes);
    texture->UnlockRect(level);
    return hr;
}

}  // namespace

HRESULT D3DXSaveTextureToFileW(const wchar_t* destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* base,
                               const void* /*palette*/) {
    auto* texture = dynamic_cast<IDirect3DTexture9*>(base);
    if (destFile == nullptr || texture == nullptr || format != D3DXIFF_DDS) return D3DERR_INVALIDCALL;
    try {
        D3DSURFACE_DESC top{};
        if (const HRESULT hr = texture->GetLevelDesc(0, &top); hr != S_OK) return hr;
        if (top.Format != D3DFMT_A32B32G32R32F) return D3DERR_INVALIDCALL;
        const UINT levels = texture->GetLevelCount();
        AtomicFile file;
        if (const HRESULT hr = file.open(NarrowToBytes(destFile)); hr != S_OK) return hr;
        const auto header = DdsHeader(top.Width, top.Height, levels);
        if (const HRESULT hr = file.write(header.data(), header.size()); hr != S_OK) return hr;
        for (UINT level = 0; level < levels; ++level)
            if (const HRESULT hr = WriteLevel(texture, level, file); hr != S_OK) return hr;
        return file.commit();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
