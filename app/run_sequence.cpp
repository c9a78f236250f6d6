#include "app/run_sequence.h"

#include "app/intake.h"
#include "app/tool_settings.h"
#include "maps/texture_set.h"
#include "platform/wide_text.h"
#include "results/describe_result.h"

namespace {

constexpr unsigned kExclamationBeep = 48;

struct StepEntry {
    HRESULT (*run)();
    const char* failureLine;
};

}  // namespace

void FinishRun(HRESULT result) {
    ReleaseTextureSet();
    if (result == S_OK) {
        ConsolePrint("Application work successfully finished. Good day!");
        return;
    }
    MessageBeep(kExclamationBeep);
    ConsolePrint("Reason: %s.\nApplication work finished with error. Press any key for exit...",
                 NarrowToBytes(DescribeResult(result)).c_str());
    WaitForKey();
}

int RunTool(int argc, const char* const* argv, const ProcessingSteps& steps) {
    ConsolePrint("\nUmbrascope v 1.1.\n");
    ConsolePrint("Horizon maps for terrain self-shadowing, 2026.\n");
    ConsolePrint("\n");

    if (!TakeCommandLine(argc, argv)) {
        FinishRun(E_FAIL);
        return kExitBadInput;
    }
    CopyParsedValues();
    if (!ValidateSettings()) {
        FinishRun(E_FAIL);
        return kExitBadInput;
    }

    if (const HRESULT hr = steps.InitDevice(GetDesktopWindow()); hr != S_OK) {
        ConsolePrint("ERROR:Can`t create D3DX device.\n");
        FinishRun(hr);
        return 1;
    }
    const StepEntry rest[] = {
        {steps.LoadTextures, "ERROR:Can`t init textures.\n"},
        {steps.MixHeightMapAndTreeMap, "ERROR:Can`t split HeightMap with a TreeMap.\n"},
        {steps.GenerateHorizonMaps, "ERROR:Can`t generate HorizoneMap.\n"},
        {steps.MixHorizonMapAndTreeMap, "ERROR:Can`t split HorizonMap with a TreeMap.\n"},
        {steps.WriteHorizonMapFile, "ERROR:Can`t save file.\n"},
    };
    for (int i = 0; i < 5; ++i) {
        if (const HRESULT hr = rest[i].run(); hr != S_OK) {
            ConsolePrint("%s", rest[i].failureLine);
            FinishRun(hr);
            return i + 2;
        }
    }
    FinishRun(S_OK);
    return 0;
}
