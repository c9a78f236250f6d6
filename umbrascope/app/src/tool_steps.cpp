#include "app/tool_steps.h"

#include "maps/horizon.h"
#include "maps/texture_set.h"
#include "maps/tree_mix.h"

namespace app {

ProcessingSteps ToolProcessingSteps() {
    return {InitDevice,         LoadTextures, MixHeightMapAndTreeMap, GenerateHorizonMaps, MixHorizonMapAndTreeMap,
            WriteHorizonMapFile};
}

}  // namespace app
