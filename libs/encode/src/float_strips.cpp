#include "float_strips.h"

#include "os/side_by_side_work.h"

#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace encode {

void PredictFloatWords(const std::uint32_t* w, std::size_t wc, std::size_t samples, std::uint8_t* out) {
    for (unsigned b = 0; b < 4; ++b) {
        const unsigned shift = 24 - 8 * b;
        std::uint8_t* o = out + b * wc;
        for (std::size_t j = 0; j < samples; ++j) {
            const auto before = b > 0 ? static_cast<std::uint8_t>(w[wc - samples + j] >> (shift + 8)) : 0;
            o[j] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(w[j] >> shift) - before);
        }
        for (std::size_t j = samples; j < wc; ++j)
            o[j] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(w[j] >> shift) -
                                             static_cast<std::uint8_t>(w[j - samples] >> shift));
    }
}

namespace {

struct ContextFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

// The planes a strip interleaves: all of a contiguous file's, or one band of a
// separate one.
struct StripPlanes {
    std::uint32_t width = 0, height = 0;
    std::vector<PlaneView> planes;
};

// One thread's share: its zstd context, its rows before compression.
class StripCompressor {
public:
    StripCompressor(const StripPlanes& channels, Compression compression)
        : channels_(channels), compression_(compression), context_(ZSTD_createCCtx()) {}

    // Rows from `first`, at most kRowsPerFloatStrip, into `out`. Ok; Failed when
    // zstd fails; OutOfMemory.
    status::Status compress(std::uint32_t first, std::vector<std::uint8_t>* out) noexcept {
        try {
            if (!context_) return status::OutOfMemory();
            const std::uint32_t rows = std::min(kRowsPerFloatStrip, channels_.height - first);
            const std::size_t samples = channels_.planes.size();
            const std::size_t wc = std::size_t{channels_.width} * samples;
            work_.resize(wc * 4 * rows);
            if (compression_ == Compression::None) {
                out->resize(wc * 4 * rows);
                for (std::uint32_t r = 0; r < rows; ++r) interleaveRow(first + r, out->data() + wc * 4 * r);
                return status::Ok();
            }
            for (std::uint32_t r = 0; r < rows; ++r) predictRow(first + r, work_.data() + wc * 4 * r);
            out->resize(ZSTD_compressBound(work_.size()));
            const std::size_t n = ZSTD_compressCCtx(context_.get(), out->data(), out->size(), work_.data(),
                                                    work_.size(), kFloatTiffZstdLevel);
            if (ZSTD_isError(n)) return status::Fail(status::Code::Failed, ZSTD_getErrorName(n));
            out->resize(n);
            return status::Ok();
        } catch (const std::bad_alloc&) {
            return status::OutOfMemory();
        }
    }

private:
    // The samples of one row as a little-endian file stores them.
    void interleaveRow(std::uint32_t row, std::uint8_t* out) const {
        const std::size_t samples = channels_.planes.size();
        const std::size_t first = std::size_t{row} * channels_.width;
        for (std::size_t c = 0; c < channels_.width; ++c)
            for (std::size_t s = 0; s < samples; ++s) {
                const std::uint32_t bits = channels_.planes[s].bits(first + c);
                std::memcpy(out + (c * samples + s) * 4, &bits, 4);
            }
    }

    // libtiff's floating-point predictor on one row: byte planes, then each byte less
    // the one a pixel before it.
    // The difference is taken along the whole row of byte planes, so a plane's first
    // bytes follow the last of the plane before; each plane is made in one pass from
    // the row's words, in a loop the compiler vectorises.
    void predictRow(std::uint32_t row, std::uint8_t* out) {
        const std::size_t samples = channels_.planes.size();
        const std::size_t wc = std::size_t{channels_.width} * samples;
        const std::size_t first = std::size_t{row} * channels_.width;
        words_.resize(wc);
        std::uint32_t* w = words_.data();
        for (std::size_t s = 0; s < samples; ++s) {
            const PlaneView& plane = channels_.planes[s];
            for (std::size_t c = 0; c < channels_.width; ++c) w[c * samples + s] = plane.bits(first + c);
        }
        PredictFloatWords(w, wc, samples, out);
    }

    const StripPlanes& channels_;
    Compression compression_;
    std::unique_ptr<ZSTD_CCtx, ContextFree> context_;
    std::vector<std::uint8_t> work_;
    std::vector<std::uint32_t> words_;
};

// The strips of `channels`, numbered from `firstStrip`, on two threads: each takes
// the next strip no one has taken, packs it and writes it when its turn comes, so
// that one packs while the other writes; the strips stay in order in the file. Taken
// in order, the earliest strip not yet written never waits: one thread alone (no
// second could start) writes them all.
status::Status WriteStrips(TIFF* tiff, const StripPlanes& channels, std::uint32_t firstStrip, Compression compression,
                           const RowsDone& progress) {
    try {
        StripCompressor compressors[2] = {{channels, compression}, {channels, compression}};
        const std::uint32_t strips = (channels.height + kRowsPerFloatStrip - 1) / kRowsPerFloatStrip;
        constexpr std::uint32_t kStopped = std::numeric_limits<std::uint32_t>::max();
        std::atomic<std::uint32_t> turn{0};  // the strip to be written next, or kStopped
        std::atomic<std::uint32_t> next{0};  // the strip to be taken next
        status::Status results[2];
        const auto stop = [&](int id, status::Status failure) {
            results[id] = std::move(failure);
            turn.store(kStopped);
            turn.notify_all();
        };
        const auto shareOf = [&](int id) {
            std::vector<std::uint8_t> packed;
            for (std::uint32_t k = next.fetch_add(1); k < strips; k = next.fetch_add(1)) {
                if (status::Status s = compressors[id].compress(k * kRowsPerFloatStrip, &packed); !s.ok())
                    return stop(id, std::move(s));
                for (std::uint32_t now = turn.load(); now != k; now = turn.load()) {
                    if (now == kStopped) return;
                    turn.wait(now);
                }
                const auto size = static_cast<tmsize_t>(packed.size());
                if (TIFFWriteRawStrip(tiff, firstStrip + k, packed.data(), size) != size)
                    return stop(id, status::Fail(status::Code::Failed, "libtiff could not write a strip"));
                if (progress && (k + 1) % 8 == 0) progress(std::min(channels.height, (k + 1) * kRowsPerFloatStrip));
                turn.store(k + 1);
                turn.notify_all();
            }
        };
        const auto share = [&](int id) {
            try {
                shareOf(id);
            } catch (const std::bad_alloc&) {
                stop(id, status::OutOfMemory());  // the other thread must not wait for a turn that never comes
            }
        };
        os::RunSideBySide([&] { share(0); }, [&] { share(1); });
        if (!results[0].ok()) return results[0];
        if (!results[1].ok()) return results[1];
        if (progress) progress(channels.height);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace

status::Status SetFloatStripTags(TIFF* tiff, Compression compression) {
    if (compression == Compression::None)
        return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
                       TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerFloatStrip) == 1
                   ? status::Ok()
                   : status::Fail(status::Code::Failed, {});
    if (!TIFFIsCODECConfigured(COMPRESSION_ZSTD)) return status::Fail(status::Code::Failed, "libtiff lacks ZSTD");
    const bool ok = TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD) == 1 &&
                    TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_FLOATINGPOINT) == 1 &&
                    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerFloatStrip) == 1;
    return ok ? status::Ok() : status::Fail(status::Code::Failed, {});
}

status::Status WriteFloatStrips(TIFF* tiff, const FloatChannels& channels, Compression compression,
                                const RowsDone& progress) {
    try {
        StripPlanes planes{channels.width, channels.height, {}};
        for (std::size_t k = 0; k < channels.planeCount(); ++k) planes.planes.push_back(channels.plane(k));
        return WriteStrips(tiff, planes, 0, compression, progress);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

status::Status WritePlaneStrips(TIFF* tiff, const float* plane, std::uint32_t width, std::uint32_t height,
                                std::uint32_t firstStrip, Compression compression) {
    try {
        return WriteStrips(tiff, {width, height, {PlaneView{plane, 1}}}, firstStrip, compression, {});
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace encode
