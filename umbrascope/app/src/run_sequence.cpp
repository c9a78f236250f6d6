#include "app/run_sequence.h"

#include <cassert>
#include <new>
#include <string>

#include "app/intake.h"
#include "maps/texture_set.h"
#include "platform/wide_text.h"
#include "results/describe_result.h"
#include "settings/tool_settings.h"

namespace app {
namespace {

constexpr unsigned kExclamationBeep = 48;

struct StepEntry {
    HRESULT (*run)();
    const char* failureLine;
};

// Intake, copy and validation: E_FAIL when the command line or the settings are
// refused, E_OUTOFMEMORY when the texts they need cannot be had.
[[nodiscard]] HRESULT TakeSettings(int argc, const char* const* argv) {
    try {
        if (!TakeCommandLine(argc, argv)) return E_FAIL;
        CopyParsedValues();
        return ValidateSettings() ? S_OK : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// A step that lets exhausted memory escape fails with it, like one that returns it.
template <class Step, class... Args>
[[nodiscard]] HRESULT RunStep(Step step, Args... args) {
    try {
        return step(args...);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// The reason through a buffer of its own: it must come out when memory has run
// out, which is when it is most likely "Ran out of memory". The descriptions are
// short texts of single bytes; anything else takes the general conversion.
void PrintReason(const wchar_t* description) {
    char bytes[1024];
    std::size_t n = 0;
    for (; description[n] != 0 && n + 1 < sizeof bytes; ++n) {
        if (static_cast<char32_t>(description[n]) >= 0x100) break;
        bytes[n] = static_cast<char>(description[n]);
    }
    bytes[n] = 0;
    const char* text = bytes;
    std::string converted;
    if (description[n] != 0) {
        try {
            converted = platform::NarrowToBytes(description);
            text = converted.c_str();
        } catch (const std::bad_alloc&) {
            // what fitted the buffer, then
        }
    }
    ConsolePrint("Reason: %s.\nApplication work finished with error. Press any key for exit...", text);
}

}  // namespace
}  // namespace app

void FinishRun(HRESULT result) {
    maps::ReleaseTextureSet();
    if (result == S_OK) {
        ConsolePrint("Application work successfully finished. Good day!");
        return;
    }
    MessageBeep(app::kExclamationBeep);
    app::PrintReason(DescribeResult(result));
    WaitForKey();
}

namespace app {

int RunTool(int argc, const char* const* argv, const ProcessingSteps& steps) {
    assert(argc >= 1 && argv != nullptr);
    assert(steps.initDevice && steps.loadTextures && steps.mixHeightMapAndTreeMap && steps.generateHorizonMaps &&
           steps.mixHorizonMapAndTreeMap && steps.writeHorizonMapFile);
    ConsolePrint("\nUmbrascope v 1.1.\n");
    ConsolePrint("Horizon maps for terrain self-shadowing, 2026.\n");
    ConsolePrint("\n");

    if (const HRESULT hr = TakeSettings(argc, argv); hr != S_OK) {
        FinishRun(hr);
        return kExitBadInput;
    }

    if (const HRESULT hr = RunStep(steps.initDevice, GetDesktopWindow()); hr != S_OK) {
        ConsolePrint("ERROR:Can`t create D3DX device.\n");
        FinishRun(hr);
        return 1;
    }
    // The console's own texts, as scripts read them: "Can`t" with a backquote and
    // "HorizoneMap" stay as they are.
    const StepEntry rest[] = {
        {steps.loadTextures, "ERROR:Can`t init textures.\n"},
        {steps.mixHeightMapAndTreeMap, "ERROR:Can`t split HeightMap with a TreeMap.\n"},
        {steps.generateHorizonMaps, "ERROR:Can`t generate HorizoneMap.\n"},
        {steps.mixHorizonMapAndTreeMap, "ERROR:Can`t split HorizonMap with a TreeMap.\n"},
        {steps.writeHorizonMapFile, "ERROR:Can`t save file.\n"},
    };
    for (int i = 0; i < 5; ++i) {
        if (const HRESULT hr = RunStep(rest[i].run); hr != S_OK) {
            ConsolePrint("%s", rest[i].failureLine);
            FinishRun(hr);
            return i + 2;
        }
    }
    FinishRun(S_OK);
    return 0;
}

}  // namespace app
