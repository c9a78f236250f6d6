#include "maps/tree_mix.h"

#include <cstddef>

#include "app/tool_settings.h"
#include "maps/texture_set.h"
#include "platform/console.h"

namespace {

struct TexelCount {
    UINT width;
    UINT height;
};

// The loops run over the tree map's size; all three textures share it.
TexelCount TreeMapSize() {
    D3DSURFACE_DESC desc{};
    TextureSet.TreeMap->GetLevelDesc(0, &desc);
    return {desc.Width, desc.Height};
}

// Locks `target` for writing and the tree map for reading, or prints the error of
// the lock that failed. A failed second lock leaves the first in place, released
// with everything else at the end of the run.
bool LockPair(IDirect3DTexture9* target, const char* targetError, D3DLOCKED_RECT* targetLock,
              D3DLOCKED_RECT* treeLock) {
    if (target->LockRect(0, targetLock, nullptr, 0) != S_OK) {
        ConsolePrint("%s", targetError);
        return false;
    }
    if (TextureSet.TreeMap->LockRect(0, treeLock, nullptr, D3DLOCK_READONLY) != S_OK) {
        ConsolePrint("ERROR:Can`t lock TreeMap texture!\n");
        return false;
    }
    return true;
}

void UnlockPair(IDirect3DTexture9* target) {
    target->UnlockRect(0);
    TextureSet.TreeMap->UnlockRect(0);
}

}  // namespace

HRESULT MixHeightMapAndTreeMap() {
    ConsolePrint("Mixing height map & tree map");
    D3DSURFACE_DESC heightDesc{};
    TextureSet.HeightMap->GetLevelDesc(0, &heightDesc);
    const TexelCount size = TreeMapSize();
    D3DLOCKED_RECT heights{}, trees{};
    if (!LockPair(TextureSet.HeightMap, "ERROR:Can`t lock HeightMap texture!\n", &heights, &trees)) return E_FAIL;
    ConsolePrint(".");

    auto* h = static_cast<float*>(heights.pBits);
    const auto* t = static_cast<const float*>(trees.pBits);
    const double raise = TreeHeightMetres / static_cast<double>(ToolSettings.Height);
    const std::size_t texels = static_cast<std::size_t>(size.width) * size.height;
    for (std::size_t i = 0; i < texels; ++i) {
        if (!IsTree(t[i * 4])) continue;
        for (int channel = 0; channel < 3; ++channel)
            h[i * 4 + channel] = static_cast<float>(static_cast<double>(h[i * 4 + channel]) + raise);
    }

    ConsolePrint("......");
    UnlockPair(TextureSet.HeightMap);
    ConsolePrint("..");
    ConsolePrint("OK\n");
    return S_OK;
}

HRESULT MixHorizonMapAndTreeMap() {
    ConsolePrint("Mixing horizon map & tree map");
    D3DSURFACE_DESC outDesc{};
    TextureSet.OutTexture->GetLevelDesc(0, &outDesc);
    const TexelCount size = TreeMapSize();
    D3DLOCKED_RECT horizon{}, trees{};
    if (!LockPair(TextureSet.OutTexture, "ERROR:Can`t lock OutTexture!\n", &horizon, &trees)) return E_FAIL;
    ConsolePrint(".");

    auto* out = static_cast<float*>(horizon.pBits);
    const auto* t = static_cast<const float*>(trees.pBits);
    const std::size_t texels = static_cast<std::size_t>(size.width) * size.height;
    for (std::size_t i = 0; i < texels; ++i) {
        if (!IsTree(t[i * 4])) continue;
        out[i * 4] = TreeShadeValue;
        out[i * 4 + 1] = TreeShadeValue;
    }

    ConsolePrint("......");
    UnlockPair(TextureSet.OutTexture);
    ConsolePrint("..");
    ConsolePrint("OK\n");
    return S_OK;
}
