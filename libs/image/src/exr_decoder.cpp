#include "exr_decoder.h"

#include <openexr.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bad_data.h"
#include "image/image_file.h"
#include "os/memory_budget.h"
#include "stored_samples.h"

namespace image {

namespace {

// The library reads through the descriptor the loader holds, at the offsets it asks for.
int64_t ReadProc(exr_const_context_t, void* user, void* buffer, uint64_t size, uint64_t offset,
                 exr_stream_error_func_ptr_t) {
    const auto* file = static_cast<const ImageFile*>(user);
    if (offset >= file->size()) return 0;
    const std::uint64_t count = std::min(size, file->size() - offset);
    return file->readExactAt(offset, buffer, static_cast<std::size_t>(count)) ? static_cast<int64_t>(count) : -1;
}

int64_t SizeProc(exr_const_context_t, void* user) {
    return static_cast<int64_t>(static_cast<const ImageFile*>(user)->size());
}

void SilentHandler(exr_const_context_t, exr_result_t, const char*) {}

[[nodiscard]] status::Status ResultOf(exr_result_t rc) {
    if (rc == EXR_ERR_SUCCESS) return status::Ok();
    return rc == EXR_ERR_OUT_OF_MEMORY ? status::OutOfMemory() : BadData(exr_get_default_error_message(rc));
}

struct ContextFinish {
    void operator()(exr_context_t context) const { exr_finish(&context); }
};
using Context = std::unique_ptr<std::remove_pointer_t<exr_context_t>, ContextFinish>;

// How many decoded bytes one stored byte can stand for at most, as a bound on what
// a file of a given size can hold: an RLE run packs 128 bytes into 2; codecs with
// no such simple bound get a generous 65536.
std::uint64_t MaxCompressionRatio(exr_compression_t compression) {
    switch (compression) {
        case EXR_COMPRESSION_NONE: return 1;
        case EXR_COMPRESSION_RLE: return 64;
        case EXR_COMPRESSION_ZIPS:
        case EXR_COMPRESSION_ZIP: return os::kMaxDeflateRatio;
        default: return 65536;
    }
}

// A channel the rows are made of, decoded in its own type into a band of rows.
struct Plane {
    int index = -1;  // in the part's channel list
    exr_pixel_type_t type = EXR_PIXEL_FLOAT;
    std::vector<std::uint8_t> band;
};

unsigned PixelBytes(exr_pixel_type_t type) { return type == EXR_PIXEL_HALF ? 2 : 4; }

class ExrSource final : public RowSource {
public:
    ~ExrSource() override {
        if (decoderReady_) exr_decoding_destroy(context_.get(), &decoder_);
    }

    [[nodiscard]] status::Status open(ImageFile& file) {
        exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
        init.user_data = &file;
        init.read_fn = &ReadProc;
        init.size_fn = &SizeProc;
        init.error_handler_fn = &SilentHandler;
        // A damaged offset table makes the file invalid, not a puzzle to solve.
        init.flags = EXR_CONTEXT_FLAG_SILENT_HEADER_PARSE | EXR_CONTEXT_FLAG_DISABLE_CHUNK_RECONSTRUCTION;
        exr_context_t context = nullptr;
        const exr_result_t started = exr_start_read(&context, "image", &init);
        context_.reset(context);
        if (started != EXR_ERR_SUCCESS) return ResultOf(started);

        exr_storage_t storage{};
        exr_attr_box2i_t window{};
        exr_compression_t compression{};
        const exr_attr_chlist_t* channels = nullptr;
        int32_t chunks = 0;
        if (exr_get_storage(context, 0, &storage) != EXR_ERR_SUCCESS ||
            exr_get_data_window(context, 0, &window) != EXR_ERR_SUCCESS ||
            exr_get_compression(context, 0, &compression) != EXR_ERR_SUCCESS ||
            exr_get_channels(context, 0, &channels) != EXR_ERR_SUCCESS || channels == nullptr ||
            exr_get_chunk_count(context, 0, &chunks) != EXR_ERR_SUCCESS) {
            return BadData("EXR header without the parts of an image");
        }
        if (storage != EXR_STORAGE_SCANLINE && storage != EXR_STORAGE_TILED)
            return BadData("deep EXR images are not read");
        // The core library of OpenEXR 3.1 has no DWA decoder (only the C++ library
        // does). A lossy codec for colour images is no way to store heights anyway.
        if (compression == EXR_COMPRESSION_DWAA || compression == EXR_COMPRESSION_DWAB)
            return BadData("EXR of DWA compression is not read");
        const std::int64_t width = std::int64_t{window.max.x} - window.min.x + 1;
        const std::int64_t height = std::int64_t{window.max.y} - window.min.y + 1;
        if (width <= 0 || height <= 0 || chunks <= 0) return BadData("EXR of no texels");
        originX_ = window.min.x;
        originY_ = window.min.y;
        info_.width = static_cast<std::uint32_t>(width);
        info_.height = static_cast<std::uint32_t>(height);
        info_.type = SampleType::F32;
        if (!chooseChannels(*channels)) return BadData("EXR without channels that are read (R, G, B, A, Y or one of any name)");
        info_.layout = planes_.size() == 2 ? ChannelLayout::GreyAlpha : ChannelLayout::Grey;

        // The offset table alone takes 8 bytes a chunk, and a file too small to hold
        // the chosen channels even compressed is cut short: both are refused before
        // the library sizes anything for them.
        maxRatio_ = MaxCompressionRatio(compression);
        std::uint64_t chosenBytes = 0;
        for (const Plane& plane : planes_) chosenBytes += PixelBytes(plane.type);
        std::uint64_t imageBytes = 0;
        if (std::uint64_t{static_cast<std::uint32_t>(chunks)} * 8 > file.size() ||
            !os::CheckedMul(info_.width, info_.height, chosenBytes, &imageBytes) ||
            imageBytes / maxRatio_ > file.size()) {
            return CutShort("EXR");
        }

        if (storage == EXR_STORAGE_TILED) {
            uint32_t tileWidth = 0, tileHeight = 0;
            exr_tile_level_mode_t levels{};
            exr_tile_round_mode_t round{};
            if (exr_get_tile_descriptor(context, 0, &tileWidth, &tileHeight, &levels, &round) != EXR_ERR_SUCCESS ||
                tileWidth == 0 || tileHeight == 0) {
                return BadData("EXR tiles of no size");
            }
            tileWidth_ = std::min<std::uint32_t>(tileWidth, info_.width);
            bandRows_ = std::min<std::uint32_t>(tileHeight, info_.height);
        } else {
            int32_t lines = 0;
            if (exr_get_scanlines_per_chunk(context, 0, &lines) != EXR_ERR_SUCCESS || lines <= 0)
                return BadData("EXR chunks of no lines");
            bandRows_ = std::min<std::uint32_t>(static_cast<std::uint32_t>(lines), info_.height);
        }
        std::uint64_t bandBytes = 0;
        const bool fits = os::CheckedMul(info_.width, bandRows_, chosenBytes, &bandBytes);
        if (!os::CheckFitsInMemory(bandBytes, !fits).ok()) return status::OutOfMemory();
        for (Plane& plane : planes_) {
            plane.band.resize(std::size_t{info_.width} * bandRows_ * PixelBytes(plane.type));
        }
        if (planes_.size() == 2) {
            grey_.resize(std::size_t{info_.width} * sizeof(float));
            alpha_.resize(std::size_t{info_.width} * sizeof(float));
        }
        fileSize_ = file.size();
        return status::Ok();
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i, ++nextRow_) {
            if (nextRow_ % bandRows_ == 0) {
                if (status::Status hr = decodeBand(nextRow_); !hr.ok()) {
                    if (hr.code != status::Code::InvalidData) return hr;
                    return BadData("EXR data is damaged after row " + std::to_string(nextRow_) + " of " +
                                   std::to_string(info_.height) + " (" + hr.reason + ")");
                }
            }
            convertRow(nextRow_ % bandRows_, destination + std::size_t{i} * info_.rowBytes());
        }
        return status::Ok();
    }

private:
    // R, else Y, else the first channel is the grey value; A, when there is one
    // besides, the alpha. Both must have a sample for every pixel.
    [[nodiscard]] bool chooseChannels(const exr_attr_chlist_t& channels) {
        const auto find = [&](std::string_view name) {
            for (int i = 0; i < channels.num_channels; ++i) {
                const exr_attr_string_t& n = channels.entries[i].name;
                if (n.str != nullptr && std::string_view(n.str, static_cast<std::size_t>(n.length)) == name) return i;
            }
            return -1;
        };
        if (channels.num_channels <= 0 || channels.entries == nullptr) return false;
        int grey = find("R");
        if (grey < 0) grey = find("Y");
        if (grey < 0) grey = 0;
        const int alpha = find("A");
        planes_.clear();
        for (const int index : {grey, alpha == grey ? -1 : alpha}) {
            if (index < 0) continue;
            const exr_attr_chlist_entry_t& entry = channels.entries[index];
            if (entry.x_sampling != 1 || entry.y_sampling != 1) return false;
            if (entry.pixel_type != EXR_PIXEL_UINT && entry.pixel_type != EXR_PIXEL_HALF &&
                entry.pixel_type != EXR_PIXEL_FLOAT) {
                return false;
            }
            Plane plane;
            plane.index = index;
            plane.type = entry.pixel_type;
            planes_.push_back(std::move(plane));
        }
        return true;
    }

    // The chunks holding the band that starts at image row `top`: one chunk of
    // scanlines, or a row of tiles of level 0. Each must cover exactly its place.
    [[nodiscard]] status::Status decodeBand(std::uint32_t top) {
        exr_const_context_t context = context_.get();
        const auto rows = static_cast<int32_t>(std::min(bandRows_, info_.height - top));
        exr_chunk_info_t chunk{};
        if (tileWidth_ == 0) {
            const auto y = static_cast<int>(originY_ + std::int64_t{top});
            if (const exr_result_t rc = exr_read_scanline_chunk_info(context, 0, y, &chunk); rc != EXR_ERR_SUCCESS)
                return ResultOf(rc);
            if (chunk.start_y != y || chunk.height != rows || chunk.width != static_cast<int32_t>(info_.width))
                return BadData("EXR chunk out of place");
            return decodeChunk(chunk, 0);
        }
        const auto tileY = static_cast<int>(top / bandRows_);
        int tileX = 0;
        for (std::uint32_t x = 0; x < info_.width; x += tileWidth_, ++tileX) {
            const exr_result_t rc = exr_read_tile_chunk_info(context, 0, tileX, tileY, 0, 0, &chunk);
            if (rc != EXR_ERR_SUCCESS) return ResultOf(rc);
            const auto columns = static_cast<int32_t>(std::min(tileWidth_, info_.width - x));
            if (chunk.start_x != tileX || chunk.start_y != tileY || chunk.level_x != 0 || chunk.level_y != 0 ||
                chunk.width != columns || chunk.height != rows) {
                return BadData("EXR tile out of place");
            }
            if (status::Status hr = decodeChunk(chunk, x); !hr.ok()) return hr;
        }
        return status::Ok();
    }

    // Decodes one chunk into the band from `column` on, each chosen channel in its
    // own type.
    [[nodiscard]] status::Status decodeChunk(const exr_chunk_info_t& chunk, std::uint32_t column) {
        // What is stored must lie in the file and be able to hold what it unpacks to.
        if (chunk.data_offset > fileSize_ || chunk.packed_size > fileSize_ - chunk.data_offset)
            return BadData("EXR chunk reaches past the file's end");
        if (maxRatio_ == 1 ? chunk.packed_size != chunk.unpacked_size
                           : chunk.unpacked_size / maxRatio_ > chunk.packed_size) {
            return BadData("EXR chunk of a size its compression cannot have");
        }
        // The library sizes its buffers by the chunk: what it reads, what that unpacks
        // to, and scratch space as large again for some codecs.
        if (!os::CheckFitsInMemory(chunk.packed_size + 3 * chunk.unpacked_size).ok()) return status::OutOfMemory();

        exr_const_context_t context = context_.get();
        const exr_result_t prepared = decoderReady_ ? exr_decoding_update(context, 0, &chunk, &decoder_)
                                                    : exr_decoding_initialize(context, 0, &chunk, &decoder_);
        if (prepared != EXR_ERR_SUCCESS) return ResultOf(prepared);
        decoderReady_ = true;
        for (int c = 0; c < decoder_.channel_count; ++c) decoder_.channels[c].decode_to_ptr = nullptr;
        for (Plane& plane : planes_) {
            if (plane.index >= decoder_.channel_count) return BadData("EXR chunk without a channel its header names");
            exr_coding_channel_info_t& channel = decoder_.channels[plane.index];
            const unsigned bytes = PixelBytes(plane.type);
            channel.user_data_type = static_cast<uint16_t>(plane.type);
            channel.user_bytes_per_element = static_cast<int16_t>(bytes);
            channel.user_pixel_stride = static_cast<int32_t>(bytes);
            channel.user_line_stride = static_cast<int32_t>(std::size_t{info_.width} * bytes);
            channel.decode_to_ptr = plane.band.data() + std::size_t{column} * bytes;
        }
        if (const exr_result_t rc = exr_decoding_choose_default_routines(context, 0, &decoder_); rc != EXR_ERR_SUCCESS)
            return ResultOf(rc);
        // A chunk that compression would not have made smaller is stored as it is.
        // The core library of OpenEXR 3.1 still runs the decompressor over it, and B44
        // fails on such a tile of one pixel.
        if (decoder_.decompress_fn != nullptr) decompress_ = decoder_.decompress_fn;
        decoder_.decompress_fn = chunk.packed_size == chunk.unpacked_size ? nullptr : decompress_;
        return ResultOf(exr_decoding_run(context, 0, &decoder_));
    }

    // Grey, and alpha interleaved with it, from the band's row to floats.
    void convertRow(std::uint32_t bandRow, std::uint8_t* row) {
        const std::size_t width = info_.width;
        if (planes_.size() == 1) return toFloats(planes_[0], bandRow, row);
        toFloats(planes_[0], bandRow, grey_.data());
        toFloats(planes_[1], bandRow, alpha_.data());
        for (std::size_t x = 0; x < width; ++x) {
            std::memcpy(row + 8 * x, grey_.data() + 4 * x, 4);
            std::memcpy(row + 8 * x + 4, alpha_.data() + 4 * x, 4);
        }
    }

    void toFloats(const Plane& plane, std::uint32_t bandRow, std::uint8_t* floats) const {
        const std::size_t width = info_.width;
        const std::uint8_t* stored = plane.band.data() + std::size_t{bandRow} * width * PixelBytes(plane.type);
        switch (plane.type) {
            case EXR_PIXEL_HALF: return StoredToFloats(StoredSample::F16, stored, width, floats);
            case EXR_PIXEL_UINT: return StoredToFloats(StoredSample::U32, stored, width, floats);
            default: std::memcpy(floats, stored, width * sizeof(float));
        }
    }

    Context context_;
    exr_decode_pipeline_t decoder_{};  // all zero, as EXR_DECODE_PIPELINE_INITIALIZER makes it
    bool decoderReady_ = false;
    exr_result_t (*decompress_)(exr_decode_pipeline_t*) = nullptr;  // the codec's, for chunks that need it
    std::vector<Plane> planes_;                                     // grey, then alpha if any
    std::vector<std::uint8_t> grey_;                                // one row of each as floats, when interleaved
    std::vector<std::uint8_t> alpha_;
    int originX_ = 0;
    int originY_ = 0;
    std::uint32_t tileWidth_ = 0;  // 0: scanline chunks
    std::uint32_t bandRows_ = 1;   // rows of a chunk or of a row of tiles
    std::uint64_t maxRatio_ = 1;
    std::uint64_t fileSize_ = 0;
    std::uint32_t nextRow_ = 0;
};

}  // namespace

status::Status OpenExrSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    auto exr = std::make_unique<ExrSource>();
    if (status::Status hr = exr->open(file); !hr.ok()) return hr;
    *source = std::move(exr);
    return status::Ok();
}

}  // namespace image
