#pragma once
#include "results/result_code.h"

// Computes the two horizon values of every texel from the (tree-raised) height
// map into the red and green channels of the output, printing its progress and its
// running time. 0, or E_FAIL when a lock fails.
HRESULT GenerateHorizonMaps();
