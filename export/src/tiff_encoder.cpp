#include "export/tiff_encoder.h"

#include "export/output_memory.h"
#include "float_strips.h"
#include "memory_tiff.h"

#include <new>

namespace exporter {

namespace {

[[nodiscard]] bool WriteTags(TIFF* tiff, const FloatChannels& channels, Compression compression) {
    const auto samples = static_cast<std::uint16_t>(channels.planes.size());
    const bool rgb = channels.isRgb();
    std::string description;
    for (const auto& name : channels.names) description += (description.empty() ? "" : " ") + name;
    std::vector<std::uint16_t> extra(rgb ? 0 : samples - 1u, EXTRASAMPLE_UNSPECIFIED);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, channels.width) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, channels.height) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples) == 1 &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.c_str()) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SOFTWARE, "umbrascope-export") == 1 &&
              SetFloatStripTags(tiff, compression) == S_OK;
    if (ok && !extra.empty())
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
    return ok;
}

}  // namespace

HRESULT EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                        const TiffTagWriter& moreTags, const RowsDone& progress, Compression compression) {
    if (bytes == nullptr || why == nullptr || channels.planes.empty() || channels.planes.size() > 0xFFFF ||
        channels.names.size() != channels.planes.size() || channels.width == 0 || channels.height == 0) {
        return E_INVALIDARG;
    }
    try {
        MemoryTiff memory(bytes);
        const std::uint64_t raw = std::uint64_t{channels.width} * channels.height * channels.planes.size() * 4;
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, channels.height)));
        TiffHandle tiff = memory.open(raw);
        if (!tiff) return memory.finish(std::move(tiff), false, why);
        bool ok = WriteTags(tiff.get(), channels, compression) && (!moreTags || moreTags(tiff.get()) == S_OK);
        if (ok) {
            const HRESULT hr = WriteFloatStrips(tiff.get(), channels, compression, progress);
            if (hr == E_OUTOFMEMORY) memory.outOfMemory = true;
            ok = hr == S_OK;
        }
        return memory.finish(std::move(tiff), ok, why);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
