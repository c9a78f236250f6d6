#pragma once
// Writing a file front to back without filling the page cache.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "status/status.h"

namespace os {

// Hands block-aligned runs of memory straight to the disk (O_DIRECT) where the file
// system allows it, so that the bulk of a large file neither passes through nor
// evicts the page cache. Pieces that do not line up with a block, like a header
// before page-aligned data or the end of the file, go through an aligned staging
// buffer. Where direct writes are refused, when the descriptor is switched on or
// at a write, it carries on with ordinary writes; the bytes on disk are the same.
class DirectWriter {
public:
    enum class Mode { Direct, Buffered };
    static constexpr std::size_t kBlock = 4096;  // covers 512-byte and 4 KB sectors

    // `fd` must be open for writing at offset 0 of an empty file and outlive the
    // writer; it stays the caller's. Direct mode is only tried: where it cannot be
    // had, or its staging buffer cannot, the writer writes as Buffered does.
    explicit DirectWriter(int fd, Mode mode = Mode::Direct);
    DirectWriter(const DirectWriter&) = delete;
    DirectWriter& operator=(const DirectWriter&) = delete;
    ~DirectWriter();

    // Appends `bytes` from `data`, which must not be null unless `bytes` is 0; any
    // alignment will do. Ok, or the failure of the write error met (DiskFull,
    // ...); after a failure what the file holds is unspecified.
    [[nodiscard]] status::Status write(const void* data, std::size_t bytes);
    // Writes what is staged and gives the file its exact length; call it once, after
    // the last write. Ok or the failure of the error met.
    [[nodiscard]] status::Status finish();

    // Whether writes still go to the disk directly; bytes accepted so far.
    bool direct() const { return direct_; }
    std::uint64_t written() const { return end_; }

private:
    [[nodiscard]] status::Status writeAt(const void* data, std::size_t bytes, std::uint64_t offset);
    [[nodiscard]] status::Status flushStaging(std::size_t bytes);
    void stopDirect();

    int fd_;
    bool direct_ = false;
    std::uint64_t end_ = 0;   // bytes accepted so far
    std::size_t staged_ = 0;  // the last `staged_` of them wait in the staging buffer
    std::unique_ptr<unsigned char, void (*)(void*)> staging_;
};

}  // namespace os
