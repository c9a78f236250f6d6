#pragma once
#include "app/run_sequence.h"

namespace app {

// The tool's own processing steps.
ProcessingSteps ToolProcessingSteps();

}  // namespace app
