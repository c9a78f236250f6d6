#pragma once
// The memory the companion needs to make its files, beyond the maps it has read:
// checked against the memory available before the first file is written, so that
// too little memory writes nothing instead of the kernel ending the run halfway.
#include <cstdint>

#include "export/export_options.h"
#include "encode/encoded_size.h"

namespace exporter {

// The most memory the run holds at one time after the maps are read, for a horizon
// map of `width` x `height` texels: the angles and the shaded picture, kept from
// their computation (while the height map loads) to the end, and the largest of the
// steps that make one output each (levels, images, channel planes, the encoder's rows
// and state, and the file itself). Any values; saturates at UINT64_MAX.
std::uint64_t WritingPeakBytes(const ExportOptions& options, std::uint32_t width, std::uint32_t height);

}  // namespace exporter
