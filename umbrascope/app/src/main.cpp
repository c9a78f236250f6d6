#include "app/tool_steps.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    ProtectStandardStreams();
    return app::RunTool(argc, argv, app::ToolProcessingSteps());
}
