#include "maps/horizon.h"

#include <cassert>

#include "horizon/horizon_fast.h"
#include "maps/texture_set.h"
#include "platform/console.h"
#include "platform/level_lock.h"
#include "results/status_result.h"
#include "settings/tool_settings.h"

namespace {

constexpr std::uint64_t kRowsPerDot = 101;

}  // namespace

HRESULT GenerateHorizonMaps() {
    assert(TextureSet.HeightMap != nullptr && TextureSet.OutTexture != nullptr);
    ConsolePrint("Generating Horizon maps optimized");
    D3DSURFACE_DESC heightDesc{}, outDesc{};
    // The sizes are taken as the descriptions give them; their results are not looked at.
    (void)TextureSet.HeightMap->GetLevelDesc(0, &heightDesc);
    (void)TextureSet.OutTexture->GetLevelDesc(0, &outDesc);
    // A failed second lock, or anything that ends the step early, releases the first.
    graphics::LevelLock heights(TextureSet.HeightMap, 0, 0);
    if (heights.result() != S_OK) {
        ConsolePrint("ERROR:Can`t lock HeightMap texture!\n");
        return E_FAIL;
    }
    graphics::LevelLock out(TextureSet.OutTexture, 0, 0);
    if (out.result() != S_OK) {
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
    const HRESULT hr = ResultOfStatus(horizon::ComputeHorizonFast(static_cast<const float*>(heights.bits()),
                                                                  static_cast<float*>(out.bits()), heightDesc.Width,
                                                                  heightDesc.Height, settings, progress));

    heights.unlock();
    out.unlock();
    if (hr != S_OK) return hr;  // the run reports it, on this console line
    ConsolePrint(".");
    ConsolePrint("OK\n");
    const std::uint32_t elapsed = GetTickCount() - start;  // unsigned: right across a wrap
    ConsolePrint("Time spend for operation: %f sec.\n", elapsed / 1000.0);
    return S_OK;
}
