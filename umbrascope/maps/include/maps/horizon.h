#pragma once
// The horizon step.
#include "results/result_code.h"

// Computes the two horizon values of every texel from the (tree-raised) height
// map into the red and green channels of the output, printing its progress and its
// running time. Needs the height map and the output LoadTextures made, of one size,
// neither locked, and the settings validated. 0; E_FAIL when a lock fails, with its
// error line; E_OUTOFMEMORY when the computation's working memory cannot be had.
// Nothing stays locked on any outcome.
[[nodiscard]] HRESULT GenerateHorizonMaps();
