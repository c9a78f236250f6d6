#include "app/tool_steps.h"

#include "maps/horizon.h"
#include "maps/texture_set.h"
#include "maps/tree_mix.h"

ProcessingSteps ToolProcessingSteps() {
    return {InitDevice,          LoadTextures,           MixHeightMapAndTreeMap,
            GenerateHorizonMaps, MixHorizonMapAndTreeMap, WriteHorizonMapFile};
}
