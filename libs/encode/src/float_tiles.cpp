#include "encode/float_tiles.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "encode/compression.h"
#include "float_strips.h"
#include "os/side_by_side_work.h"

namespace encode {

namespace {

struct ContextFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

// One thread's share of a row of tiles: its zstd context and buffers.
class TilePacker {
public:
    TilePacker() : context_(ZSTD_createCCtx()) {}

    // Tile column `column` of the row of tiles from row `top` into `out`.
    status::Status pack(const float* plane, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                        std::uint32_t top, std::uint32_t column, std::vector<std::uint8_t>* out) {
        if (!context_) return status::OutOfMemory();
        const std::uint32_t left = column * size;
        const std::uint32_t across = std::min(size, width - left), down = std::min(size, height - top);
        words_.assign(size, 0);
        work_.resize(std::size_t{size} * size * 4);
        for (std::uint32_t r = 0; r < size; ++r) {
            if (r < down) std::memcpy(words_.data(), plane + std::size_t{top + r} * width + left, across * 4);
            if (r == down) std::fill(words_.begin(), words_.end(), 0u);
            PredictFloatWords(words_.data(), size, 1, work_.data() + std::size_t{r} * size * 4);
        }
        out->resize(ZSTD_compressBound(work_.size()));
        const std::size_t n = ZSTD_compressCCtx(context_.get(), out->data(), out->size(), work_.data(), work_.size(),
                                                kFloatTiffZstdLevel);
        if (ZSTD_isError(n)) return status::Fail(status::Code::Failed, ZSTD_getErrorName(n));
        out->resize(n);
        return status::Ok();
    }

private:
    std::unique_ptr<ZSTD_CCtx, ContextFree> context_;
    std::vector<std::uint32_t> words_;
    std::vector<std::uint8_t> work_;
};

}  // namespace

status::Status WritePlaneTiles(TIFF* tiff, const float* plane, std::uint32_t width, std::uint32_t height,
                               std::uint32_t tileSize, std::uint32_t firstTile) {
    try {
        const std::uint32_t across = (width + tileSize - 1) / tileSize, down = (height + tileSize - 1) / tileSize;
        TilePacker packers[2];
        std::vector<std::vector<std::uint8_t>> packed(across);
        status::Status results[2];
        for (std::uint32_t row = 0; row < down; ++row) {
            // Even columns here, odd ones beside.
            const auto share = [&](int id) {
                for (std::uint32_t c = static_cast<std::uint32_t>(id); c < across && results[id].ok(); c += 2)
                    results[id] = packers[id].pack(plane, width, height, tileSize, row * tileSize, c, &packed[c]);
            };
            os::RunSideBySide([&] { share(0); }, [&] { share(1); });
            for (const status::Status& r : results)
                if (!r.ok()) return r;
            for (std::uint32_t c = 0; c < across; ++c) {
                const auto size = static_cast<tmsize_t>(packed[c].size());
                if (TIFFWriteRawTile(tiff, firstTile + row * across + c, packed[c].data(), size) != size)
                    return status::Fail(status::Code::Failed, "libtiff could not write a tile");
            }
        }
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace encode
