#pragma once
// The graphics interfaces the tool uses: a small stand-in with the same operations,
// arguments and results. Textures live in process memory; nothing is drawn.
#include <cstdint>

#include "platform/console.h"
#include "results/result_code.h"

// The platform's own names, spelt as the platform spells them.
// NOLINTBEGIN(readability-identifier-naming)

using UINT = unsigned int;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using D3DCOLOR = std::uint32_t;

constexpr UINT D3D_SDK_VERSION = 32;
constexpr UINT D3DADAPTER_DEFAULT = 0;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;

enum D3DDEVTYPE : std::uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2 };
enum D3DFORMAT : std::uint32_t { D3DFMT_UNKNOWN = 0, D3DFMT_D16 = 80, D3DFMT_A32B32G32R32F = 116 };
enum D3DPOOL : std::uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2 };
enum D3DRESOURCETYPE : std::uint32_t { D3DRTYPE_SURFACE = 1, D3DRTYPE_TEXTURE = 3 };
enum D3DSWAPEFFECT : std::uint32_t { D3DSWAPEFFECT_DISCARD = 1 };
enum D3DXIMAGE_FILEFORMAT : std::uint32_t { D3DXIFF_BMP = 0, D3DXIFF_DDS = 4 };

struct RECT {
    long left, top, right, bottom;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DLOCKED_RECT {
    int Pitch;
    void* pBits;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    UINT MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

// Reference-counted objects: Release returns the count left; the object is gone at 0.
struct IUnknown {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct IDirect3DDevice9 : IUnknown {};

struct IDirect3D9 : IUnknown {
    [[nodiscard]] virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* presentation, IDirect3DDevice9** device) = 0;
};

struct IDirect3DBaseTexture9 : IUnknown {
    virtual DWORD GetLevelCount() = 0;
};

// Texels of level i are packed rows: rows exactly Width x texel size apart.
struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    [[nodiscard]] virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // Locking a level that is already locked fails with D3DERR_INVALIDCALL.
    [[nodiscard]] virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    [[nodiscard]] virtual HRESULT UnlockRect(UINT level) = 0;
};

// Null when the SDK version is not the one the tool was built for.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

// Loads an image file and scales it to width x height float RGBA texels. Results:
// 0; D3DERR_INVALIDCALL for bad arguments; D3DXERR_INVALIDDATA for a file that
// cannot be decoded; E_FILE_NOT_FOUND, E_PATH_NOT_FOUND or E_ACCESSDENIED when it
// cannot be opened; E_OUTOFMEMORY when the texture or the decoded image would not
// fit in memory.
[[nodiscard]] HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, const wchar_t* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, void* srcInfo, void* palette,
                                     IDirect3DTexture9** texture);

// Creates a zero-filled texture. Results: 0; D3DERR_INVALIDCALL for a zero size or
// an unsupported format; E_OUTOFMEMORY when the storage cannot be had.
[[nodiscard]] HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// Writes the texture with all its levels as a DDS file. The file appears complete
// or not at all: it is written beside the target and renamed over it at the end.
[[nodiscard]] HRESULT D3DXSaveTextureToFileW(const wchar_t* destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* texture,
                               const void* palette);

// NOLINTEND(readability-identifier-naming)
