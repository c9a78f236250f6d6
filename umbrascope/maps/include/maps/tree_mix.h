#pragma once
// The two steps that combine a map with the tree map.
#include "results/result_code.h"

// The tree steps need the textures LoadTextures made, of one size, none of them
// locked, and the settings validated; they print their title, dots and "OK\n", or
// the failed lock's error line.

// Raises the height map's red, green and blue by horizon::kTreeHeightMetres / Height under
// every tree. 0, or E_FAIL when a lock fails; nothing is changed then and nothing
// stays locked.
[[nodiscard]] HRESULT MixHeightMapAndTreeMap();

// Sets both horizon values of the output to horizon::kTreeShadeValue under every tree.
// 0, or E_FAIL when a lock fails, as above.
[[nodiscard]] HRESULT MixHorizonMapAndTreeMap();
