#pragma once
// Opens the decoder that a file's content calls for.
#include <memory>

#include "platform/image/row_source.h"

class ImageFile;

// S_OK with a source positioned at the top row; D3DXERR_INVALIDDATA for content no
// decoder takes; E_OUTOFMEMORY when the decoder would need more memory than there is.
HRESULT OpenImageSource(ImageFile& file, std::unique_ptr<RowSource>* source);
