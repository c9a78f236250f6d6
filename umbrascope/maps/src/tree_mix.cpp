#include "maps/tree_mix.h"

#include <cassert>
#include <cstddef>

#include "horizon/tree_rules.h"
#include "maps/texture_set.h"
#include "platform/console.h"
#include "platform/level_lock.h"
#include "settings/tool_settings.h"

namespace {

// One tree step: the title, the level descriptions, the two locks (the target for
// writing, the tree map for reading), `change` on every target texel under a tree,
// the progress dots and the unlocks, in the order locked. The loops run over the
// tree map's size; all three textures share it. A failed second lock releases the
// first.
template <class Change>
[[nodiscard]] HRESULT ForEachTreeTexel(const char* title, IDirect3DTexture9* target, const char* targetLockError,
                                       Change change) {
    assert(target != nullptr && TextureSet.TreeMap != nullptr);
    ConsolePrint("%s", title);
    D3DSURFACE_DESC targetDesc{}, treeDesc{};
    // The sizes are taken as the descriptions give them; their results are not looked at.
    (void)target->GetLevelDesc(0, &targetDesc);
    (void)TextureSet.TreeMap->GetLevelDesc(0, &treeDesc);
    graphics::LevelLock targetLock(target, 0, 0);
    if (targetLock.result() != S_OK) {
        ConsolePrint("%s", targetLockError);
        return E_FAIL;
    }
    graphics::LevelLock treeLock(TextureSet.TreeMap, 0, D3DLOCK_READONLY);
    if (treeLock.result() != S_OK) {
        ConsolePrint("ERROR:Can`t lock TreeMap texture!\n");
        return E_FAIL;
    }
    ConsolePrint(".");

    auto* texels = static_cast<float*>(targetLock.bits());
    const auto* trees = static_cast<const float*>(treeLock.bits());
    const std::size_t count = static_cast<std::size_t>(treeDesc.Width) * treeDesc.Height;
    for (std::size_t i = 0; i < count; ++i)
        if (horizon::IsTree(trees[i * 4])) change(texels + i * 4);

    ConsolePrint("......");
    targetLock.unlock();
    treeLock.unlock();
    ConsolePrint("..");
    ConsolePrint("OK\n");
    return S_OK;
}

}  // namespace

HRESULT MixHeightMapAndTreeMap() {
    const double raise = horizon::kTreeHeightMetres / static_cast<double>(ToolSettings.Height);
    return ForEachTreeTexel("Mixing height map & tree map", TextureSet.HeightMap,
                            "ERROR:Can`t lock HeightMap texture!\n", [raise](float* texel) {
                                for (int channel = 0; channel < 3; ++channel)
                                    texel[channel] = static_cast<float>(static_cast<double>(texel[channel]) + raise);
                            });
}

HRESULT MixHorizonMapAndTreeMap() {
    return ForEachTreeTexel("Mixing horizon map & tree map", TextureSet.OutTexture, "ERROR:Can`t lock OutTexture!\n",
                            [](float* texel) { texel[0] = texel[1] = horizon::kTreeShadeValue; });
}
