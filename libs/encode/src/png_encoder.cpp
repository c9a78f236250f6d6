#include "encode/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "encode/encoded_size.h"
#include "os/side_by_side_work.h"
#include "run_deflate.h"

namespace encode {

namespace {

// A chunk: length, type, data, CRC of type and data.
void AppendChunk(std::vector<std::uint8_t>* out, const char* type, const std::uint8_t* data, std::size_t size) {
    const auto word = [out](std::uint32_t v) {
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        out->insert(out->end(), b, b + 4);
    };
    word(static_cast<std::uint32_t>(size));
    const auto* t = reinterpret_cast<const std::uint8_t*>(type);
    out->insert(out->end(), t, t + 4);
    out->insert(out->end(), data, data + size);
    const uLong crc = crc32(0, t, 4);  // a null buffer would restart it
    word(static_cast<std::uint32_t>(size > 0 ? crc32(crc, data, static_cast<uInt>(size)) : crc));
}

// The pictures whose rows, side by side, make the file's rows.
struct Parts {
    const GreyImage* left;
    const GreyImage* right;  // or null
    std::uint32_t width() const { return left->width + (right != nullptr ? right->width : 0); }
};

// Filtered rows a batch at a time: as many as fit in a megabyte, 1 to 32.
std::uint32_t RowsAtOnce(std::size_t rowBytes) {
    return static_cast<std::uint32_t>(std::clamp<std::size_t>((1 << 20) / rowBytes, 1, 32));
}

// One row of samples filtered into `o` (Up when `above`, the row before, is given:
// each byte less the byte above it; else None); returns where the next part's go.
std::uint8_t* FilterSamples(const std::uint16_t* s, const std::uint16_t* above, std::uint32_t width, int bitDepth,
                            std::uint8_t* o) {
    if (bitDepth == 8) {
        for (std::uint32_t c = 0; c < width; ++c)
            o[c] = static_cast<std::uint8_t>(s[c] - (above != nullptr ? above[c] : 0));
        return o + width;
    }
    // Big-endian samples, each byte less the byte above it.
    for (std::uint32_t c = 0; c < width; ++c) {
        const unsigned a = above != nullptr ? above[c] : 0;
        o[2 * c] = static_cast<std::uint8_t>((s[c] >> 8) - (a >> 8));
        o[2 * c + 1] = static_cast<std::uint8_t>(s[c] - a);
    }
    return o + std::size_t{width} * 2;
}

// A file's rows from `first` on, given as batches of filtered rows, deflated as one
// piece of its zlib stream into IDAT chunks appended to `out`. A piece that is not
// the last ends on a byte boundary with a sync flush, so that pieces deflated apart
// join into one stream (as parallel gzip does).
class Piece {
public:
    // Exhausted memory escapes as std::bad_alloc.
    Piece(std::uint64_t rawBytes, std::size_t maxBatch, bool last, Compression compression,
          std::vector<std::uint8_t>* out)
        : rawBytes_(rawBytes), last_(last), out_(out) {
        if (compression == Compression::Fast)
            deflater_.emplace(rawBytes, maxBatch);
        else
            buffer_.resize(256 << 10);
    }
    ~Piece() {
        if (open_) deflateEnd(&stream_);
    }
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;

    // Unpacked: zlib's stored blocks, raw (the zlib header and checksum go around the
    // pieces). Ok, OutOfMemory, or Failed when zlib refuses.
    [[nodiscard]] status::Status start() {
        if (deflater_) return status::Ok();
        const int opened = deflateInit2(&stream_, 0, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (opened != Z_OK)
            return opened == Z_MEM_ERROR ? status::OutOfMemory() : status::Fail(status::Code::Failed, {});
        open_ = true;
        return status::Ok();
    }

    // The next `n` bytes of filtered rows; false when zlib refuses.
    [[nodiscard]] bool take(const std::uint8_t* data, std::size_t n, bool lastBatch) {
        adler_ = adler32(adler_, data, static_cast<uInt>(n));
        if (deflater_) {
            deflater_->block(data, n);
            return true;
        }
        stream_.next_in = const_cast<std::uint8_t*>(data);
        stream_.avail_in = static_cast<uInt>(n);
        return pack(!lastBatch ? Z_NO_FLUSH : last_ ? Z_FINISH : Z_SYNC_FLUSH);
    }

    // After the last batch: packed, the blocks go out in chunks of a megabyte.
    void finish() {
        if (!deflater_) return;
        deflater_->end(last_);
        constexpr std::size_t kChunk = std::size_t{1} << 20;
        for (std::size_t at = 0; at < deflater_->size(); at += kChunk)
            AppendChunk(out_, "IDAT", deflater_->data() + at, std::min(kChunk, deflater_->size() - at));
    }

    uLong adler() const { return adler_; }
    std::uint64_t rawBytes() const { return rawBytes_; }

private:
    // Deflates what is in the stream with `flush`, each buffer full becoming a chunk.
    bool pack(int flush) {
        for (;;) {
            stream_.next_out = buffer_.data();
            stream_.avail_out = static_cast<uInt>(buffer_.size());
            const int status = ::deflate(&stream_, flush);
            if (status == Z_STREAM_ERROR) return false;
            const std::size_t made = buffer_.size() - stream_.avail_out;
            if (made > 0) AppendChunk(out_, "IDAT", buffer_.data(), made);
            if (status == Z_STREAM_END) return true;
            // Done with this input once zlib leaves room: all it could give is out.
            if (stream_.avail_out > 0 && stream_.avail_in == 0 && flush != Z_FINISH) return true;
        }
    }

    std::uint64_t rawBytes_;
    bool last_;
    std::vector<std::uint8_t>* out_;
    std::optional<RunDeflater> deflater_;
    z_stream stream_{};
    bool open_ = false;
    std::vector<std::uint8_t> buffer_;
    uLong adler_ = adler32(0, nullptr, 0);
};

std::size_t RowBytes(std::uint32_t width, int bitDepth) { return 1 + std::size_t{width} * (bitDepth / 8); }

// Rows [first, end) of `parts` into `piece`.
status::Status DeflateRows(const Parts& parts, std::uint32_t first, std::uint32_t end, bool packed, Piece& piece) {
    try {
        if (status::Status s = piece.start(); !s.ok()) return s;
        const int depth = parts.left->bitDepth;
        const std::size_t rowBytes = RowBytes(parts.width(), depth);
        const std::uint32_t most = RowsAtOnce(rowBytes);
        std::vector<std::uint8_t> rows(rowBytes * most);
        for (std::uint32_t r = first; r < end;) {
            const std::uint32_t n = std::min(most, end - r);
            for (std::uint32_t i = 0; i < n; ++i, ++r) {
                std::uint8_t* row = rows.data() + i * rowBytes;
                const bool up = r > 0 && packed;
                row[0] = up ? 2 : 0;  // Up, or None
                std::uint8_t* o = row + 1;
                for (const GreyImage* image : {parts.left, parts.right}) {
                    if (image == nullptr) continue;
                    const std::uint16_t* s = image->samples.data() + std::size_t{r} * image->width;
                    o = FilterSamples(s, up ? s - image->width : nullptr, image->width, depth, o);
                }
            }
            if (!piece.take(rows.data(), n * rowBytes, r == end)) return status::Fail(status::Code::Failed, {});
        }
        piece.finish();
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

void Word(std::uint8_t* at, std::uint32_t v) {
    at[0] = static_cast<std::uint8_t>(v >> 24);
    at[1] = static_cast<std::uint8_t>(v >> 16);
    at[2] = static_cast<std::uint8_t>(v >> 8);
    at[3] = static_cast<std::uint8_t>(v);
}

bool Fits(const GreyImage& image) {
    return image.width > 0 && image.height > 0 && (image.bitDepth == 8 || image.bitDepth == 16) &&
           image.width <= (1u << 28) && image.height <= 0x7FFFFFFF &&
           image.samples.size() == std::size_t{image.width} * image.height;
}

std::size_t BatchBytes(std::uint32_t width, int depth) {
    return RowBytes(width, depth) * RowsAtOnce(RowBytes(width, depth));
}

// A file's two halves: the top deflated into the file itself, the bottom beside it
// until joined. Exhausted memory escapes as std::bad_alloc.
struct Halves {
    std::vector<std::uint8_t>* bytes;
    std::vector<std::uint8_t> later;
    Piece top, bottom;

    Halves(std::vector<std::uint8_t>* file, std::uint32_t width, std::uint32_t height, int depth,
           Compression compression)
        : bytes(file),
          top(std::uint64_t{height / 2} * RowBytes(width, depth), BatchBytes(width, depth), false, compression, file),
          bottom(std::uint64_t{height - height / 2} * RowBytes(width, depth), BatchBytes(width, depth), true,
                 compression, &later) {
        const std::uint64_t raw = std::uint64_t{height} * RowBytes(width, depth);
        bytes->clear();
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, height)));
        later.reserve(static_cast<std::size_t>(EncodedBytesBound(bottom.rawBytes(), height - height / 2)));
        const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        bytes->insert(bytes->end(), signature, signature + 8);
        std::uint8_t header[13] = {};
        Word(header, width);
        Word(header + 4, height);
        header[8] = static_cast<std::uint8_t>(depth);  // grey, deflate, filtered by row, not interlaced
        AppendChunk(bytes, "IHDR", header, sizeof header);
        const std::uint8_t zlibHeader[2] = {0x78, 0x01};  // deflate, 32K window
        AppendChunk(bytes, "IDAT", zlibHeader, 2);
    }

    // The bottom half after the top, the stream's checksum, the end.
    void join() {
        bytes->insert(bytes->end(), later.begin(), later.end());
        std::uint8_t check[4];
        Word(check, static_cast<std::uint32_t>(
                        adler32_combine(top.adler(), bottom.adler(), static_cast<z_off_t>(bottom.rawBytes()))));
        AppendChunk(bytes, "IDAT", check, 4);
        AppendChunk(bytes, "IEND", nullptr, 0);
    }
};

status::Status Failure(const status::Status (&made)[2]) {
    const bool memory = made[0].code == status::Code::OutOfMemory || made[1].code == status::Code::OutOfMemory;
    return memory ? status::OutOfMemory() : status::Fail(status::Code::Failed, {});
}

status::Status Encode(const Parts& parts, std::vector<std::uint8_t>* bytes, Compression compression) {
    const std::uint32_t height = parts.left->height;
    const bool packed = compression == Compression::Fast;
    try {
        Halves file(bytes, parts.width(), height, parts.left->bitDepth, compression);
        status::Status made[2] = {status::Fail(status::Code::Failed, {}), status::Fail(status::Code::Failed, {})};
        os::RunSideBySide([&] { made[0] = DeflateRows(parts, 0, height / 2, packed, file.top); },
                      [&] { made[1] = DeflateRows(parts, height / 2, height, packed, file.bottom); });
        if (!made[0].ok() || !made[1].ok()) {
            bytes->clear();
            return Failure(made);
        }
        file.join();
        return status::Ok();
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return status::OutOfMemory();
    }
}

// Filtered rows gathered into one file's batches, each handed to its piece when full.
class Batches {
public:
    Batches(std::size_t rowBytes, Piece* piece)
        : rowBytes_(rowBytes), most_(RowsAtOnce(rowBytes)), piece_(piece), rows_(rowBytes * most_) {}

    std::uint8_t* next() { return rows_.data() + held_ * rowBytes_; }
    // The row at next() is filled; `last`: the piece's last row.
    [[nodiscard]] bool add(bool last) {
        if (++held_ < most_ && !last) return true;
        const std::size_t n = held_;
        held_ = 0;
        return piece_->take(rows_.data(), n * rowBytes_, last);
    }

private:
    std::size_t rowBytes_;
    std::uint32_t most_;
    Piece* piece_;
    std::vector<std::uint8_t> rows_;
    std::uint32_t held_ = 0;
};

// Rows [first, end) of both pictures made by `source`, each filtered once, into the
// pieces of the left, the right and the side-by-side file, in the batches each file
// alone would have.
status::Status DeflateTrioRows(std::uint32_t width, int depth, const PictureRows& source, std::uint32_t first,
                               std::uint32_t end, bool packed, Piece* const (&pieces)[3]) {
    try {
        for (Piece* piece : pieces)
            if (status::Status s = piece->start(); !s.ok()) return s;
        const std::size_t one = RowBytes(width, depth);
        Batches batches[3] = {{one, pieces[0]}, {one, pieces[1]}, {RowBytes(2 * width, depth), pieces[2]}};
        std::vector<std::uint16_t> current[2], above[2];
        for (auto* samples : {&current[0], &current[1], &above[0], &above[1]}) samples->resize(width);
        if (first > 0 && packed) source(first - 1, above[0].data(), above[1].data());
        for (std::uint32_t r = first; r < end; ++r) {
            source(r, current[0].data(), current[1].data());
            const bool up = r > 0 && packed;
            std::uint8_t* both = batches[2].next();
            both[0] = up ? 2 : 0;  // Up, or None
            for (int k = 0; k < 2; ++k) {
                std::uint8_t* row = batches[k].next();
                row[0] = both[0];
                FilterSamples(current[k].data(), up ? above[k].data() : nullptr, width, depth, row + 1);
                std::memcpy(both + 1 + k * (one - 1), row + 1, one - 1);
            }
            std::swap(current, above);
            for (Batches& file : batches)
                if (!file.add(r + 1 == end)) return status::Fail(status::Code::Failed, {});
        }
        for (Piece* piece : pieces) piece->finish();
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace

status::Status EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes, Compression compression) {
    if (bytes == nullptr || !Fits(image)) return status::Fail(status::Code::InvalidArgument, {});
    return Encode({&image, nullptr}, bytes, compression);
}

status::Status EncodeGreyPngSideBySide(const GreyImage& left, const GreyImage& right, std::vector<std::uint8_t>* bytes,
                                       Compression compression) {
    if (bytes == nullptr || !Fits(left) || !Fits(right) || left.height != right.height ||
        left.bitDepth != right.bitDepth) {
        return status::Fail(status::Code::InvalidArgument, {});
    }
    return Encode({&left, &right}, bytes, compression);
}

status::Status EncodeGreyPngTrio(std::uint32_t width, std::uint32_t height, int bitDepth, const PictureRows& rows,
                                 std::vector<std::uint8_t>* left, std::vector<std::uint8_t>* right,
                                 std::vector<std::uint8_t>* both, Compression compression) {
    if (width == 0 || width > (1u << 27) || height == 0 || height > 0x7FFFFFFF || (bitDepth != 8 && bitDepth != 16) ||
        !rows || left == nullptr || right == nullptr || both == nullptr)
        return status::Fail(status::Code::InvalidArgument, {});
    const bool packed = compression == Compression::Fast;
    std::vector<std::uint8_t>* const files[3] = {left, right, both};
    try {
        Halves one(left, width, height, bitDepth, compression), two(right, width, height, bitDepth, compression),
            three(both, 2 * width, height, bitDepth, compression);
        Halves* const halves[3] = {&one, &two, &three};
        status::Status made[2] = {status::Fail(status::Code::Failed, {}), status::Fail(status::Code::Failed, {})};
        Piece* const tops[3] = {&one.top, &two.top, &three.top};
        Piece* const bottoms[3] = {&one.bottom, &two.bottom, &three.bottom};
        os::RunSideBySide([&] { made[0] = DeflateTrioRows(width, bitDepth, rows, 0, height / 2, packed, tops); },
                      [&] { made[1] = DeflateTrioRows(width, bitDepth, rows, height / 2, height, packed, bottoms); });
        if (!made[0].ok() || !made[1].ok()) {
            for (auto* file : files) file->clear();
            return Failure(made);
        }
        for (Halves* file : halves) file->join();
        return status::Ok();
    } catch (const std::bad_alloc&) {
        for (auto* file : files) file->clear();
        return status::OutOfMemory();
    }
}

}  // namespace encode
