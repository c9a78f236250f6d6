#include "platform/image/load_image.h"

// Placeholder until the decoders land: every file counts as undecodable.
HRESULT LoadImageScaled(const char*, std::uint32_t, std::uint32_t, float*) { return D3DXERR_INVALIDDATA; }
