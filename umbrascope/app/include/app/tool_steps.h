#pragma once
#include "app/run_sequence.h"

namespace app {

// The tool's own processing steps, the map library's.
ProcessingSteps ToolProcessingSteps();

}  // namespace app
