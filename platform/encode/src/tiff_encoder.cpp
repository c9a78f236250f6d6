#include "platform/encode/tiff_encoder.h"

#include "platform/encode/encoded_size.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace exporter {

namespace {

// The growing file libtiff writes into, and the first message it gave.
struct MemoryTiff {
    std::vector<std::uint8_t>* bytes;
    std::uint64_t position = 0;
    bool outOfMemory = false;
    std::string message;
};

MemoryTiff* Of(thandle_t handle) { return reinterpret_cast<MemoryTiff*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* destination, tmsize_t count) {
    MemoryTiff* m = Of(handle);
    if (count < 0 || m->position >= m->bytes->size()) return 0;
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(count), m->bytes->size() - m->position));
    std::memcpy(destination, m->bytes->data() + m->position, n);
    m->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t handle, void* source, tmsize_t count) {
    MemoryTiff* m = Of(handle);
    if (count < 0) return -1;
    const std::uint64_t end = m->position + static_cast<std::uint64_t>(count);
    try {
        if (end > m->bytes->size()) m->bytes->resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        m->outOfMemory = true;
        return -1;
    }
    std::memcpy(m->bytes->data() + m->position, source, static_cast<std::size_t>(count));
    m->position = end;
    return count;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryTiff* m = Of(handle);
    const std::uint64_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->bytes->size() : 0;
    m->position = base + offset;
    return m->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return Of(handle)->bytes->size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int KeepMessage(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* m = static_cast<MemoryTiff*>(user);
    if (m->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        m->message = text;
    }
    return 1;  // handled: nothing printed
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

constexpr ttag_t kGdalMetadata = 42112;
constexpr ttag_t kGdalNoData = 42113;

// GDAL's two text tags, unknown to libtiff.
const TIFFFieldInfo kGdalFields[] = {
    {kGdalMetadata, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALMetadata")},
    {kGdalNoData, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALNoDataValue")},
};

[[nodiscard]] bool WriteGdalTags(TIFF* tiff, const TiffExtras& extras) {
    if (extras.gdalMetadata.empty() && extras.gdalNoData.empty()) return true;
    if (TIFFMergeFieldInfo(tiff, kGdalFields, 2) != 0) return false;
    return (extras.gdalMetadata.empty() || TIFFSetField(tiff, kGdalMetadata, extras.gdalMetadata.c_str()) == 1) &&
           (extras.gdalNoData.empty() || TIFFSetField(tiff, kGdalNoData, extras.gdalNoData.c_str()) == 1);
}

// GeoTIFF's tags as its library declares them.
const TIFFFieldInfo kGeoFields[] = {
    {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoPixelScale")},
    {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTiePoints")},
    {34264, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTransformationMatrix")},
    {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
    {34736, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoDoubleParams")},
    {34737, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoASCIIParams")},
};

template <typename T>
[[nodiscard]] bool SetArray(TIFF* tiff, ttag_t tag, const std::vector<T>& values) {
    if (values.empty()) return true;
    if (values.size() > 0xFFFF) return false;
    return TIFFSetField(tiff, tag, static_cast<int>(values.size()), values.data()) == 1;
}

[[nodiscard]] bool WriteGeoTags(TIFF* tiff, const GeoTiffTags& geo) {
    if (geo.empty()) return true;
    if (TIFFMergeFieldInfo(tiff, kGeoFields, 6) != 0) return false;
    return SetArray(tiff, 33550, geo.pixelScale) && SetArray(tiff, 33922, geo.tiepoints) &&
           SetArray(tiff, 34264, geo.transformation) && SetArray(tiff, 34735, geo.keys) &&
           SetArray(tiff, 34736, geo.doubleParams) &&
           (geo.asciiParams.empty() || TIFFSetField(tiff, 34737, geo.asciiParams.c_str()) == 1);
}

[[nodiscard]] bool WriteTags(TIFF* tiff, const FloatChannels& channels, const TiffExtras& extras) {
    const auto samples = static_cast<std::uint16_t>(channels.planes.size());
    const bool rgb = channels.isRgb();
    std::string description = extras.description;
    if (description.empty())
        for (const auto& name : channels.names) description += (description.empty() ? "" : " ") + name;
    std::vector<std::uint16_t> extra(rgb ? 0 : samples - 1u, EXTRASAMPLE_UNSPECIFIED);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, channels.width) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, channels.height) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples) == 1 &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) == 1 &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.c_str()) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SOFTWARE, extras.software.c_str()) == 1 &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) == 1;
    if (ok && !extra.empty())
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
    if (ok && extras.deflateLevel != 0) ok = TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, extras.deflateLevel) == 1;
    return ok && WriteGdalTags(tiff, extras) && WriteGeoTags(tiff, extras.geo);
}

[[nodiscard]] bool WriteRows(TIFF* tiff, const FloatChannels& channels) {
    const std::size_t samples = channels.planes.size();
    std::vector<float> row(std::size_t{channels.width} * samples);
    for (std::uint32_t r = 0; r < channels.height; ++r) {
        const std::size_t first = std::size_t{r} * channels.width;
        for (std::uint32_t c = 0; c < channels.width; ++c)
            for (std::size_t s = 0; s < samples; ++s) row[c * samples + s] = channels.planes[s][first + c];
        if (TIFFWriteScanline(tiff, row.data(), r, 0) != 1) return false;
    }
    return true;
}

}  // namespace

HRESULT EncodeFloatTiff(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                        const TiffExtras& extras) {
    if (bytes == nullptr || why == nullptr || channels.planes.empty() || channels.planes.size() > 0xFFFF ||
        channels.names.size() != channels.planes.size() || channels.width == 0 || channels.height == 0) {
        return E_INVALIDARG;
    }
    try {
        bytes->clear();
        MemoryTiff memory{bytes, 0, false, {}};
        const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
        if (!options) return E_OUTOFMEMORY;
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &KeepMessage, &memory);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &IgnoreWarning, nullptr);
        // "l": little-endian; "m": no mapping of the growing buffer; "8": BigTIFF, only
        // where 32-bit offsets might not reach the end.
        const std::uint64_t raw = std::uint64_t{channels.width} * channels.height * channels.planes.size() * 4;
        const char* mode = raw > (std::uint64_t{3} << 30) ? "wlm8" : "wlm";
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, channels.height)));
        std::unique_ptr<TIFF, TiffClose> tiff(TIFFClientOpenExt("export", mode, reinterpret_cast<thandle_t>(&memory),
                                                                &ReadProc, &WriteProc, &SeekProc, &CloseProc, &SizeProc,
                                                                &MapProc, &UnmapProc, options.get()));
        bool ok = tiff != nullptr && WriteTags(tiff.get(), channels, extras) && WriteRows(tiff.get(), channels) &&
                  TIFFFlush(tiff.get()) == 1;
        tiff.reset();
        if (ok && !memory.outOfMemory) return S_OK;
        bytes->clear();
        if (memory.outOfMemory) return E_OUTOFMEMORY;
        *why = memory.message.empty() ? "libtiff could not write the image" : "libtiff: " + memory.message;
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
