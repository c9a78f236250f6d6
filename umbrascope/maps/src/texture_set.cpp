#include "maps/texture_set.h"

#include <cassert>

#include "background_load.h"
#include "platform/console.h"
#include "os/memory_budget.h"
#include "os/same_file.h"
#include "platform/texture_files.h"
#include "platform/wide_text.h"
#include "settings/tool_settings.h"

TextureSetRecord TextureSet;

HRESULT InitDevice(HWND window) {
    assert(TextureSet.Direct3D == nullptr && TextureSet.Device == nullptr);
    TextureSet.Direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (TextureSet.Direct3D == nullptr) return E_FAIL;
    D3DPRESENT_PARAMETERS presentation{};
    presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation.Windowed = 1;
    presentation.EnableAutoDepthStencil = 1;
    presentation.AutoDepthStencilFormat = D3DFMT_D16;
    const HRESULT hr =
        TextureSet.Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &presentation, &TextureSet.Device);
    return hr < 0 ? E_FAIL : S_OK;
}

namespace {

[[nodiscard]] HRESULT LoadMap(const std::wstring& name, IDirect3DTexture9** texture) {
    // The two maps are decoded at once: what one counts on, texture and decoding
    // buffers, is taken for the other's checks until it is loaded.
    const os::MemoryClaim claim;
    const auto size = static_cast<UINT>(ToolSettings.OutRez);
    return D3DXCreateTextureFromFileExW(TextureSet.Device, name.c_str(), size, size, 0, 0, D3DFMT_A32B32G32R32F,
                                        D3DPOOL_SYSTEMMEM, D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0, nullptr,
                                        nullptr, texture);
}

}  // namespace

HRESULT LoadTextures() {
    assert(TextureSet.Device != nullptr && TextureSet.HeightMap == nullptr);
    ConsolePrint("Loading textures");
    // The tree map is decoded on the other core meanwhile. Should the height map
    // fail, the step ends as if the tree map had never been loaded: leaving, `trees`
    // waits for it and releases it.
    maps::BackgroundLoad trees(&LoadMap, ToolSettings.TMfname);
    HRESULT heights = LoadMap(ToolSettings.HMfname, &TextureSet.HeightMap);
    // Memory may have gone to the tree map beside it: the height map is judged
    // alone, as loading in turn would, and the tree map after it.
    if (heights == E_OUTOFMEMORY && trees.discard()) heights = LoadMap(ToolSettings.HMfname, &TextureSet.HeightMap);
    if (heights != S_OK) {
        ConsolePrint("ERROR:Can`t load height map.\n");
        return heights;
    }
    ConsolePrint("....");
    if (const HRESULT hr = trees.finish(&TextureSet.TreeMap); hr != S_OK) {
        ConsolePrint("ERROR:Can`t load tree map.\n");
        return hr;
    }
    ConsolePrint("....");
    const auto size = static_cast<UINT>(ToolSettings.OutRez);
    if (const HRESULT hr = D3DXCreateTexture(TextureSet.Device, size, size, 0, 0, D3DFMT_A32B32G32R32F,
                                             D3DPOOL_SYSTEMMEM, &TextureSet.OutTexture);
        hr != S_OK) {
        ConsolePrint("ERROR:Can`t create new texture for horizon map.\n");
        return hr;
    }
    ConsolePrint("..");
    ConsolePrint("OK\n");
    return S_OK;
}

namespace {

// Whether `name` leads to the height map's or the tree map's file, however spelled.
[[nodiscard]] bool IsAnInput(const std::wstring& name) {
    const std::string bytes = platform::NarrowToBytes(name);
    return os::NamesSameFile(bytes, platform::NarrowToBytes(ToolSettings.HMfname)) ||
           os::NamesSameFile(bytes, platform::NarrowToBytes(ToolSettings.TMfname));
}

}  // namespace

HRESULT WriteHorizonMapFile() {
    assert(TextureSet.OutTexture != nullptr);
    ConsolePrint("Writing HorizonMap file");
    // Both names are checked before anything is written, so a name that cannot be
    // used leaves no half-done pair behind.
    std::wstring companion;
    const bool named = maps::CompanionFileName(ToolSettings.Outfname, &companion);
    if (named && (IsAnInput(ToolSettings.Outfname) || IsAnInput(companion))) {
        ConsolePrint("ERROR:Can`t save HorizonMap texture!\n");
        return E_ACCESSDENIED;  // an input map is never written over
    }
    const bool namesUsable = named && graphics::CheckSaveTarget(ToolSettings.Outfname.c_str()) == S_OK &&
                             graphics::CheckSaveTarget(companion.c_str()) == S_OK;
    // Both files are written and flushed before either takes its name.
    graphics::PendingSaves files;
    if (!namesUsable || files.save(ToolSettings.Outfname.c_str(), TextureSet.OutTexture) != S_OK) {
        ConsolePrint("ERROR:Can`t save HorizonMap texture!\n");
        return E_FAIL;
    }
    ConsolePrint("...");
    if (files.save(companion.c_str(), TextureSet.OutTexture) != S_OK) {
        // The first file stays; the step fails with E_FAIL whatever its commit gives.
        (void)files.commit();
        ConsolePrint("ERROR:Can`t save HorizonMap texture!\n");
        return E_FAIL;
    }
    if (files.commit() != S_OK) {
        ConsolePrint("ERROR:Can`t save HorizonMap texture!\n");
        return E_FAIL;
    }
    ConsolePrint("...");
    ConsolePrint("OK\n");
    return S_OK;
}

namespace maps {
namespace {

template <class Object>
void ReleaseOnce(Object*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

}  // namespace

void ReleaseTextureSet() {
    // Reverse order of creation; each exactly once.
    ReleaseOnce(TextureSet.OutTexture);
    ReleaseOnce(TextureSet.TreeMap);
    ReleaseOnce(TextureSet.HeightMap);
    ReleaseOnce(TextureSet.Device);
    ReleaseOnce(TextureSet.Direct3D);
}

}  // namespace maps
