#pragma once
// The run: banner, intake, validation, the six processing steps, closing report.
#include "platform/console.h"
#include "results/result_code.h"

namespace app {

// The six processing steps, in the order they run. The tool passes its own; the
// tests pass fakes.
struct ProcessingSteps {
    HRESULT (*initDevice)(HWND window);
    HRESULT (*loadTextures)();
    HRESULT (*mixHeightMapAndTreeMap)();
    HRESULT (*generateHorizonMaps)();
    HRESULT (*mixHorizonMapAndTreeMap)();
    HRESULT (*writeHorizonMapFile)();
};

// Exit codes: 0 success; 1 to 6 the failing step; 7 no arguments, a command line
// that does not parse, or settings that fail validation.
constexpr int kExitBadInput = 7;

// Runs the tool once and returns the exit code.
[[nodiscard]] int RunTool(int argc, const char* const* argv, const ProcessingSteps& steps);

}  // namespace app

// Releases the graphics objects and prints the closing report for `result`: the
// success line, or the beep, the reason and the key wait.
void FinishRun(HRESULT result);
