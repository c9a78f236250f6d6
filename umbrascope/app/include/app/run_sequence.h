#pragma once
// The run: banner, intake, validation, the six processing steps, closing report.
#include "platform/console.h"
#include "results/result_code.h"

namespace app {

// The six processing steps, in the order they run, none null. The tool passes its
// own; the tests pass fakes. A step returns 0 or its failure; one that lets
// std::bad_alloc escape fails with E_OUTOFMEMORY.
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

// Runs the tool once on `argc` words of `argv` (argv[0] the program's name) and
// returns the exit code. Prints everything the run reports; nothing escapes.
[[nodiscard]] int RunTool(int argc, const char* const* argv, const ProcessingSteps& steps);

}  // namespace app

// Releases the graphics objects and prints the closing report for `result` (any
// code): the success line for 0, else the beep, the reason and the key wait.
void FinishRun(HRESULT result);
