#include "tiff_decoder.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bad_data.h"
#include "image/image_file.h"
#include "os/memory_budget.h"
#include "stored_samples.h"

namespace image {

namespace {

// libtiff talks to the file through these; it never sees the descriptor.
tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
    if (size <= 0) return 0;
    return static_cast<tmsize_t>(reinterpret_cast<ImageFile*>(handle)->read(data, static_cast<std::size_t>(size)));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = reinterpret_cast<ImageFile*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = file->position();
    if (whence == SEEK_END) base = file->size();
    std::uint64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target)) return static_cast<toff_t>(-1);
    file->seek(target);
    return target;
}

int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) { return reinterpret_cast<ImageFile*>(handle)->size(); }

int MapProc(thandle_t, void**, toff_t*) { return 0; }

void UnmapProc(thandle_t, void*, toff_t) {}

// Returning 1 tells libtiff the message is handled: nothing is printed.
int SilentHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff's last error, kept for the reason of a failure.
struct TiffError {
    char text[160] = {};
};

int KeepError(TIFF*, void* kept, const char*, const char* format, va_list arguments) {
    std::vsnprintf(static_cast<TiffError*>(kept)->text, sizeof TiffError::text, format, arguments);
    return 1;
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

template <typename T>
T FieldOr(TIFF* tiff, ttag_t tag, T fallback) {
    T value{};
    return TIFFGetField(tiff, tag, &value) == 1 ? value : fallback;
}

// How many decoded bytes one stored byte can stand for at most: a bound on the
// claims a file of a given size can back. An LZW code stands for at most 4096 bytes,
// a PackBits pair for 128; codecs without so
// simple a bound (zstd, LZMA, JPEG, ...) get a generous 65536.
std::uint64_t MaxCompressionRatio(std::uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE: return 1;
        case COMPRESSION_PACKBITS: return 64;
        case COMPRESSION_DEFLATE:
        case COMPRESSION_ADOBE_DEFLATE: return os::kMaxDeflateRatio;
        case COMPRESSION_LZW: return 4096;
        default: return 65536;
    }
}

class TiffSource final : public RowSource {
public:
    [[nodiscard]] status::Status open(ImageFile& file) {
        // A few messages (before a handle exists) only reach the process-wide handlers.
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
        if (!options) return status::OutOfMemory();
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &KeepError, &error_);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &SilentHandler, nullptr);
        const std::uint64_t available = os::AvailableMemoryBytes();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                            static_cast<tmsize_t>(std::min<std::uint64_t>(available, INT64_MAX)));
        file.seek(0);
        // "m": no memory mapping, every read goes through ReadProc.
        tiff_.reset(TIFFClientOpenExt("image", "rm", reinterpret_cast<thandle_t>(&file), &ReadProc, &WriteProc,
                                      &SeekProc, &CloseProc, &SizeProc, &MapProc, &UnmapProc, options.get()));
        if (!tiff_) return BadData(withError("TIFF header cut short or damaged"));
        TIFF* tiff = tiff_.get();

        const auto width = FieldOr<std::uint32_t>(tiff, TIFFTAG_IMAGEWIDTH, 0);
        const auto height = FieldOr<std::uint32_t>(tiff, TIFFTAG_IMAGELENGTH, 0);
        const auto bits = FieldOr<std::uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        const auto samples = FieldOr<std::uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        const auto format = FieldOr<std::uint16_t>(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
        const auto planar = FieldOr<std::uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        const auto photometric =
            FieldOr<std::uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        const auto compression = FieldOr<std::uint16_t>(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);

        if (width == 0 || height == 0) return BadData("TIFF of no texels");
        if (!TIFFIsCODECConfigured(compression))
            return BadData("TIFF of compression " + std::to_string(compression) + " is not read");
        // GDAL's INTERLEAVE=BAND: each sample a plane of its own, read a strip or a
        // row of tiles at a time and interleaved here.
        planes_ = planar == PLANARCONFIG_SEPARATE ? samples : 1;
        if (!chooseSamples(format, bits))
            return BadData("TIFF of " + std::to_string(bits) + "-bit samples of format " + std::to_string(format) +
                           " is not read");
        const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
        if (grey && samples == 1) {
            info_.layout = ChannelLayout::Grey;
        } else if (grey && samples == 2) {
            info_.layout = ChannelLayout::GreyAlpha;
        } else if (photometric == PHOTOMETRIC_RGB && samples == 3) {
            info_.layout = ChannelLayout::Rgb;
        } else if (photometric == PHOTOMETRIC_RGB && samples == 4) {
            info_.layout = ChannelLayout::Rgba;
        } else {
            return BadData("TIFF of " + std::to_string(samples) + " samples a texel, photometric " +
                           std::to_string(photometric) + ", is not read");
        }
        // Min-is-white grey is stored inverted; for signed and float samples that has
        // no clear meaning.
        invertGrey_ = photometric == PHOTOMETRIC_MINISWHITE;
        if (invertGrey_ && format != SAMPLEFORMAT_UINT) return BadData("TIFF of white-is-zero signed or float samples is not read");
        info_.width = width;
        info_.height = height;
        sampleBytes_ = bits / 8u;
        storedRowBytes_ = std::size_t{width} * info_.channels() * sampleBytes_;

        // A file too small to hold, even compressed, the texels it claims is cut short:
        // refuse it before any buffer is sized for the claim.
        maxRatio_ = MaxCompressionRatio(compression);
        std::uint64_t imageBytes = 0;
        if (!os::CheckedMul(storedRowBytes_, height, &imageBytes) || imageBytes / maxRatio_ > file.size())
            return CutShort("TIFF");

        if (TIFFIsTiled(tiff)) return setUpTiles(file.size());
        if (static_cast<std::uint64_t>(TIFFScanlineSize64(tiff)) != storedRowBytes_ / planes_)
            return BadData("TIFF rows of an unexpected length");
        if (planes_ > 1) return setUpPlaneStrips(file.size());
        if (stored_) {
            if (!os::CheckFitsInMemory(storedRowBytes_).ok()) return status::OutOfMemory();
            staging_.resize(storedRowBytes_);
        }
        return status::Ok();
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        for (std::uint32_t i = 0; i < count; ++i, ++nextRow_) {
            std::uint8_t* row = destination + i * rowBytes;
            std::uint8_t* stored = stored_ ? staging_.data() : row;
            if (tileHeight_ == 0) {
                if (TIFFReadScanline(tiff_.get(), stored, nextRow_, 0) < 0) return brokenRows();
            } else {
                if (nextRow_ % tileHeight_ == 0 && !(tileWidth_ == 0 ? readPlaneStrips() : readTileRow()))
                    return brokenRows();
                std::memcpy(stored, band_.get() + (nextRow_ % tileHeight_) * storedRowBytes_, storedRowBytes_);
            }
            if (invertGrey_) invertGrey(stored);
            if (stored_) StoredToFloats(*stored_, stored, std::size_t{info_.width} * info_.channels(), row);
        }
        return status::Ok();
    }

private:
    // `what`, with libtiff's own words when it gave some.
    std::string withError(const char* what) const {
        return error_.text[0] == 0 ? std::string(what) : std::string(what) + " (libtiff: " + error_.text + ")";
    }

    status::Status brokenRows() const {
        return BadData(withError(("TIFF data ends or is damaged after row " + std::to_string(nextRow_) + " of " +
                                  std::to_string(info_.height))
                                     .c_str()));
    }

    // 8- and 16-bit unsigned and 32-bit float samples go to the rows as stored; the
    // other kinds are converted to floats row by row.
    bool chooseSamples(std::uint16_t format, std::uint16_t bits) {
        if (format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16)) {
            info_.type = bits == 8 ? SampleType::U8 : SampleType::U16;
            info_.maxValue = bits == 8 ? 255 : 65535;
            return true;
        }
        info_.type = SampleType::F32;
        if (format == SAMPLEFORMAT_IEEEFP && bits == 32) return true;
        if (format == SAMPLEFORMAT_UINT && bits == 32) {
            stored_ = StoredSample::U32;
        } else if (format == SAMPLEFORMAT_INT && (bits == 8 || bits == 16 || bits == 32)) {
            stored_ = bits == 8 ? StoredSample::S8 : bits == 16 ? StoredSample::S16 : StoredSample::S32;
        } else if (format == SAMPLEFORMAT_IEEEFP && (bits == 16 || bits == 64)) {
            stored_ = bits == 16 ? StoredSample::F16 : StoredSample::F64;
        }
        return stored_.has_value();
    }

    [[nodiscard]] status::Status setUpTiles(std::uint64_t fileSize) {
        TIFF* tiff = tiff_.get();
        tileWidth_ = FieldOr<std::uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
        tileHeight_ = FieldOr<std::uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
        if (tileWidth_ == 0 || tileHeight_ == 0) return BadData("TIFF tiles of no size");
        std::uint64_t tileBytes = 0;
        if (!os::CheckedMul(tileWidth_, tileHeight_, storedTexelBytes(), &tileBytes) ||
            static_cast<std::uint64_t>(TIFFTileSize64(tiff)) != tileBytes || tileBytes / maxRatio_ > fileSize) {
            return BadData("TIFF tiles of an unexpected size");
        }
        return allocateBand(tileBytes);
    }

    // Planes in strips: a strip of every plane at a time, as tiles are read.
    [[nodiscard]] status::Status setUpPlaneStrips(std::uint64_t fileSize) {
        tileHeight_ = std::clamp<std::uint32_t>(FieldOr<std::uint32_t>(tiff_.get(), TIFFTAG_ROWSPERSTRIP, info_.height),
                                                1, info_.height);
        std::uint64_t stripBytes = 0;
        if (!os::CheckedMul(info_.width, tileHeight_, sampleBytes_, &stripBytes) || stripBytes / maxRatio_ > fileSize)
            return BadData("TIFF strips of an unexpected size");
        return allocateBand(stripBytes);
    }

    // The bytes of one stored texel of a tile or strip: one sample when planes are apart.
    std::size_t storedTexelBytes() const { return storedRowBytes_ / info_.width / planes_; }

    // One row of tiles (or strips) at a time, interleaved; `tileBytes` one tile (of one plane).
    [[nodiscard]] status::Status allocateBand(std::uint64_t tileBytes) {
        std::uint64_t bandBytes = 0;
        const bool fits = os::CheckedMul(storedRowBytes_, tileHeight_, &bandBytes);
        if (!os::CheckFitsInMemory(bandBytes + tileBytes + storedRowBytes_, !fits).ok()) return status::OutOfMemory();
        // Left uninitialised: a file that claims huge tiles and then fails touches little.
        band_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(bandBytes));
        tile_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(tileBytes));
        if (stored_) staging_.resize(storedRowBytes_);
        return status::Ok();
    }

    bool readTileRow() {
        const std::size_t texelBytes = storedRowBytes_ / info_.width, pieceBytes = storedTexelBytes();
        const std::uint32_t rows = std::min(tileHeight_, info_.height - nextRow_);
        for (std::uint64_t x = 0; x < info_.width; x += tileWidth_) {
            const std::size_t columns = std::min<std::uint64_t>(tileWidth_, info_.width - x);
            for (std::uint16_t p = 0; p < planes_; ++p) {
                if (TIFFReadTile(tiff_.get(), tile_.get(), static_cast<std::uint32_t>(x), nextRow_, 0, p) < 0)
                    return false;
                for (std::uint32_t r = 0; r < rows; ++r)
                    place(tile_.get() + r * tileWidth_ * pieceBytes, columns, p,
                          band_.get() + r * storedRowBytes_ + x * texelBytes);
            }
        }
        return true;
    }

    bool readPlaneStrips() {
        const std::uint32_t rows = std::min(tileHeight_, info_.height - nextRow_);
        const tmsize_t bytes = static_cast<tmsize_t>(std::size_t{info_.width} * rows * sampleBytes_);
        for (std::uint16_t p = 0; p < planes_; ++p) {
            if (TIFFReadEncodedStrip(tiff_.get(), TIFFComputeStrip(tiff_.get(), nextRow_, p), tile_.get(), bytes) <
                bytes)
                return false;
            for (std::uint32_t r = 0; r < rows; ++r)
                place(tile_.get() + std::size_t{r} * info_.width * sampleBytes_, info_.width, p,
                      band_.get() + r * storedRowBytes_);
        }
        return true;
    }

    // `count` stored texels of a tile's or strip's row into a row of the band: as they
    // are, or, planes being apart, the samples of plane `p` to their places.
    void place(const std::uint8_t* from, std::size_t count, std::uint16_t p, std::uint8_t* to) const {
        if (planes_ == 1) {
            std::memcpy(to, from, count * storedTexelBytes());
            return;
        }
        const std::size_t step = std::size_t{planes_} * sampleBytes_;
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(to + i * step + p * sampleBytes_, from + i * sampleBytes_, sampleBytes_);
    }

    // Unsigned samples only, before any conversion; an alpha channel keeps its meaning.
    void invertGrey(std::uint8_t* stored) const {
        const std::size_t step = std::size_t{info_.channels()} * sampleBytes_;
        const std::size_t end = std::size_t{info_.width} * step;
        switch (sampleBytes_) {
            case 1:
                for (std::size_t i = 0; i < end; i += step) stored[i] = static_cast<std::uint8_t>(255 - stored[i]);
                break;
            case 2:
                for (std::size_t i = 0; i < end; i += step) invert<std::uint16_t>(stored + i);
                break;
            default:
                for (std::size_t i = 0; i < end; i += step) invert<std::uint32_t>(stored + i);
                break;
        }
    }

    template <typename T>
    static void invert(std::uint8_t* sample) {
        T v = 0;
        std::memcpy(&v, sample, sizeof v);
        v = static_cast<T>(~v);
        std::memcpy(sample, &v, sizeof v);
    }

    std::unique_ptr<TIFF, TiffClose> tiff_;
    std::optional<StoredSample> stored_;  // set: converted to floats from this kind
    unsigned sampleBytes_ = 1;
    std::size_t storedRowBytes_ = 0;
    std::vector<std::uint8_t> staging_;  // one stored row, when converted
    std::uint64_t maxRatio_ = 1;
    bool invertGrey_ = false;
    std::uint32_t nextRow_ = 0;
    TiffError error_;
    std::uint16_t planes_ = 1;              // the samples' planes: 1 interleaved
    std::uint32_t tileWidth_ = 0;           // 0: strips
    std::uint32_t tileHeight_ = 0;          // 0: strips read by scanline; else rows of a tile or a strip
    std::unique_ptr<std::uint8_t[]> band_;  // one row of tiles
    std::unique_ptr<std::uint8_t[]> tile_;
};

}  // namespace

status::Status OpenTiffSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    auto tiff = std::make_unique<TiffSource>();
    if (status::Status hr = tiff->open(file); !hr.ok()) return hr;
    *source = std::move(tiff);
    return status::Ok();
}

}  // namespace image
