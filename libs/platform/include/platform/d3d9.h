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

// Reference-counted objects: Release returns the count left; the object is gone at
// 0. Each AddRef asks for one more Release.
struct IUnknown {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct IDirect3DDevice9 : IUnknown {};

struct IDirect3D9 : IUnknown {
    // A device for the textures. `presentation` and `device` must not be null, the
    // window is accepted as given. S_OK with `*device` set; D3DERR_INVALIDCALL for a
    // null pointer or an adapter other than the default; D3DERR_NOTAVAILABLE for a
    // device type other than HAL or REF; E_OUTOFMEMORY. `*device` is null on failure.
    [[nodiscard]] virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentation,
                                               IDirect3DDevice9** device) = 0;
};

struct IDirect3DBaseTexture9 : IUnknown {
    // Levels of the mip chain, 1 or more.
    virtual DWORD GetLevelCount() = 0;
};

// Texels of level i are packed rows: rows exactly Width x texel size apart.
struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    // The size and format of `level`. S_OK; D3DERR_INVALIDCALL for a level beyond the
    // chain or a null `desc`.
    [[nodiscard]] virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The texels of `level`, the whole level for a null `rect`, else the rectangle,
    // which must lie inside it; `flags` is 0 or D3DLOCK_READONLY (nothing written).
    // S_OK with `locked` set; D3DERR_INVALIDCALL for a level beyond the chain, a null
    // `locked`, a rectangle outside the level, or a level already locked;
    // E_OUTOFMEMORY when lower levels to be brought up to date cannot be had.
    [[nodiscard]] virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    // Ends the lock of `level`. S_OK; D3DERR_INVALIDCALL for a level not locked.
    [[nodiscard]] virtual HRESULT UnlockRect(UINT level) = 0;
};

// The graphics object, released by its Release. Null when the SDK version is not
// the one the tool was built for (D3D_SDK_VERSION) or memory runs out.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

// Loads an image file and scales it to width x height float RGBA texels (level 0;
// lower levels are computed when first needed). `device` comes from CreateDevice;
// `format` must be D3DFMT_A32B32G32R32F, `pool` D3DPOOL_SYSTEMMEM or
// D3DPOOL_MANAGED; usage, filters, colour key, source information and palette are
// accepted as given. Results: 0 with `*texture` set (null otherwise);
// D3DERR_INVALIDCALL for bad arguments; D3DXERR_INVALIDDATA for a file that
// cannot be decoded; E_FILE_NOT_FOUND, E_PATH_NOT_FOUND or E_ACCESSDENIED when it
// cannot be opened; E_OUTOFMEMORY when the texture or the decoded image would not
// fit in memory.
[[nodiscard]] HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, const wchar_t* srcFile, UINT width,
                                                   UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                   D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                                   void* srcInfo, void* palette, IDirect3DTexture9** texture);

// Creates a zero-filled texture with `mipLevels` levels (0 or D3DX_DEFAULT: the
// complete chain), arguments as D3DXCreateTextureFromFileExW takes them. Results: 0
// with `*texture` set (null otherwise); D3DERR_INVALIDCALL for a zero size, a null
// pointer or an unsupported format or pool; E_OUTOFMEMORY when the storage cannot
// be had.
[[nodiscard]] HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// Writes the texture with all its levels as a DDS file. The file appears complete
// or not at all: it is written beside the target and renamed over it at the end.
// `format` must be D3DXIFF_DDS; `palette` is ignored. Results: 0;
// D3DERR_INVALIDCALL for another format, a null name or a texture not created
// here; the refusal of a name that cannot be saved to (E_PATH_NOT_FOUND,
// E_ACCESSDENIED, ...); E_OUTOFMEMORY; the error met writing (E_DISK_FULL, ...).
[[nodiscard]] HRESULT D3DXSaveTextureToFileW(const wchar_t* destFile, D3DXIMAGE_FILEFORMAT format,
                                             IDirect3DBaseTexture9* texture, const void* palette);

// NOLINTEND(readability-identifier-naming)
