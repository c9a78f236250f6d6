#include "maps/horizon.h"

#include "settings/tool_settings.h"
#include "maps/horizon/horizon_fast.h"
#include "maps/texture_set.h"
#include "platform/console.h"

namespace {

constexpr std::uint64_t kRowsPerDot = 101;

}  // namespace

HRESULT GenerateHorizonMaps() {
    ConsolePrint("Generating Horizon maps optimized");
    D3DSURFACE_DESC heightDesc{}, outDesc{};
    TextureSet.HeightMap->GetLevelDesc(0, &heightDesc);
    TextureSet.OutTexture->GetLevelDesc(0, &outDesc);
    D3DLOCKED_RECT heights{}, out{};
    if (TextureSet.HeightMap->LockRect(0, &heights, nullptr, 0) != S_OK) {
        ConsolePrint("ERROR:Can`t lock HeightMap texture!\n");
        return E_FAIL;
    }
    if (TextureSet.OutTexture->LockRect(0, &out, nullptr, 0) != S_OK) {
        ConsolePrint("ERROR:Can`t lock OutTexture!\n");
        return E_FAIL;
    }
    ConsolePrint(".");

    const std::uint32_t start = GetTickCount();
    std::uint64_t dotsPrinted = 0;
    const horizon::HorizonProgress progress = [&dotsPrinted](std::uint64_t rowsDone) {
        for (; dotsPrinted < rowsDone / kRowsPerDot; ++dotsPrinted) ConsolePrint(".");
    };
    const horizon::HorizonSettings settings{ToolSettings.Height, ToolSettings.HeightZero, ToolSettings.TerraSize};
    const HRESULT hr = horizon::ComputeHorizonFast(static_cast<const float*>(heights.pBits), static_cast<float*>(out.pBits),
                                          heightDesc.Width, heightDesc.Height, settings, progress);

    TextureSet.HeightMap->UnlockRect(0);
    TextureSet.OutTexture->UnlockRect(0);
    if (hr != S_OK) return hr;  // the run reports it, on this console line
    ConsolePrint(".");
    ConsolePrint("OK\n");
    const std::uint32_t elapsed = GetTickCount() - start;  // unsigned: right across a wrap
    ConsolePrint("Time spend for operation: %f sec.\n", elapsed / 1000.0);
    return S_OK;
}
