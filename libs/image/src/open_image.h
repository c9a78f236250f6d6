#pragma once
// Opens the decoder that a file's content calls for.
#include <memory>

#include "image/row_source.h"
#include "raw_decoder.h"

namespace image {

class ImageFile;

// Ok with a source positioned at the top row; InvalidData for content no
// decoder takes; OutOfMemory when the decoder would need more memory than there is.
// `raw` is the RAW sample the file's name calls for (RawSampleFromName): the file is
// read as RAW when no other format's decoder takes its content.
[[nodiscard]] status::Status OpenImageSource(ImageFile& file, RawSample raw, std::unique_ptr<RowSource>* source);

}  // namespace image
