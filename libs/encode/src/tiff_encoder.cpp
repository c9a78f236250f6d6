#include "encode/tiff_encoder.h"

#include <new>

#include "float_strips.h"
#include "float_tiff_tags.h"
#include "memory_tiff.h"
#include "encode/encoded_size.h"

namespace encode {

status::Status EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                               const TiffExtras& extras, const RowsDone& progress, Compression compression) {
    if (bytes == nullptr || why == nullptr || !channels.planesFit() || channels.planeCount() > 0xFFFF ||
        channels.width == 0 || channels.height == 0) {
        return status::Fail(status::Code::InvalidArgument, {});
    }
    try {
        MemoryTiff memory(bytes);
        const std::uint64_t raw = std::uint64_t{channels.width} * channels.height * channels.planeCount() * 4;
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, channels.height)));
        TiffHandle tiff = memory.open(raw);
        if (!tiff) return memory.finish(std::move(tiff), false, why);
        bool ok =
            WriteFloatTiffTags(tiff.get(), channels.width, channels.height, channels.names, extras, compression, false);
        if (ok) {
            const status::Status s = WriteFloatStrips(tiff.get(), channels, compression, progress);
            if (s.code == status::Code::OutOfMemory) memory.outOfMemory = true;
            ok = s.ok();
        }
        return memory.finish(std::move(tiff), ok, why);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace encode
