#pragma once
#include "results/result_code.h"

// Computes the two horizon values of every texel from the (tree-raised) height
// map into the red and green channels of the output, printing its progress and its
// running time. 0; E_FAIL when a lock fails; E_OUTOFMEMORY when the computation's
// working memory cannot be had, with both textures unlocked again.
[[nodiscard]] HRESULT GenerateHorizonMaps();
