#include "app/tool_steps.h"

int main(int argc, char** argv) { return RunTool(argc, argv, ToolProcessingSteps()); }
