#pragma once
#include "app/run_sequence.h"

// The tool's own processing steps.
ProcessingSteps ToolProcessingSteps();
