// The graphics object, its device and the texture calls of the D3DX side.
#include <atomic>
#include <new>
#include <string>

#include "image/load_image.h"
#include "platform/d3d9.h"
#include "platform/wide_text.h"
#include "results/status_result.h"
#include "texture.h"

namespace graphics {
namespace {

class Direct3D final : public IDirect3D9 {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // No window system is needed: the window is accepted as given.
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND, DWORD, D3DPRESENT_PARAMETERS* presentation,
                         IDirect3DDevice9** device) override {
        if (device == nullptr || presentation == nullptr) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF) return D3DERR_NOTAVAILABLE;
        try {
            *device = new Device();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    ~Direct3D() override = default;
    std::atomic<ULONG> refs_{1};
};

bool SupportedTexture(IDirect3DDevice9* device, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    return device != nullptr && texture != nullptr && format == D3DFMT_A32B32G32R32F &&
           (pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_MANAGED);
}

}  // namespace
}  // namespace graphics

using graphics::Budget;
using graphics::Device;
using graphics::Texture;

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return new (std::nothrow) graphics::Direct3D();
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD /*usage*/,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (!graphics::SupportedTexture(device, format, pool, texture)) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    Texture* created = nullptr;
    // Every level of an empty texture is there to be written and saved.
    const HRESULT hr =
        Texture::create(dynamic_cast<Device*>(device), width, height, mipLevels, Budget::WholeChain, &created);
    if (hr == S_OK) *texture = created;
    return hr;
}

HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, const wchar_t* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD /*usage*/, D3DFORMAT format, D3DPOOL pool, DWORD /*filter*/,
                                     DWORD /*mipFilter*/, D3DCOLOR /*colorKey*/, void* /*srcInfo*/, void* /*palette*/,
                                     IDirect3DTexture9** texture) {
    if (srcFile == nullptr || !graphics::SupportedTexture(device, format, pool, texture)) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    Texture* target = nullptr;
    // The lower levels of a loaded image are computed only if someone asks for them.
    if (const HRESULT hr =
            Texture::create(dynamic_cast<Device*>(device), width, height, mipLevels, Budget::TopLevel, &target);
        hr != S_OK)
        return hr;
    std::string path;
    try {
        path = platform::NarrowToBytes(srcFile);
    } catch (const std::bad_alloc&) {
        target->Release();
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = ResultOfStatus(image::LoadImageScaled(path.c_str(), width, height, target->level0()));
    if (hr != S_OK) {
        target->Release();
        return hr;
    }
    target->markWritten();
    *texture = target;
    return S_OK;
}
