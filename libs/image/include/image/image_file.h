#pragma once
// An input image file: opened without blocking, refused unless it is a regular file,
// and read through a buffer that never goes past the size it had when opened.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "status/status.h"

namespace image {

class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Opens `path` (not null), once per ImageFile. Ok; NotFound,
    // PathNotFound or AccessDenied when it cannot be opened;
    // InvalidData for anything but a non-empty regular file. The reads below
    // need an open file. Exhausted memory escapes as std::bad_alloc.
    [[nodiscard]] status::Status open(const char* path);

    // The size when opened, and the read position (0 at first).
    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return position_; }

    // Moves the read position; a position past the end makes later reads come up short.
    void seek(std::uint64_t position) { position_ = position; }

    // Reads up to `count` bytes at the position into `destination` (room for
    // `count`) and advances it; fewer only at the end of the file or on a read error.
    std::size_t read(void* destination, std::size_t count);
    // True when all `count` bytes were read.
    [[nodiscard]] bool readExact(void* destination, std::size_t count) { return read(destination, count) == count; }

    // Reads all `count` bytes at `offset`, without the buffer and without moving the
    // position; false when the file holds fewer there or a read fails.
    [[nodiscard]] bool readExactAt(std::uint64_t offset, void* destination, std::size_t count) const;

    // The whole file as it was when opened, mapped read-only and shared with the page
    // cache: nothing copied, no memory of the process's own. Null when the system
    // refuses the mapping (the reads above still work). A file cut shorter by another
    // process while mapped raises SIGBUS on reading past its new end.
    std::shared_ptr<const std::uint8_t> mapWhole() const;

private:
    [[nodiscard]] bool refill();

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferOffset_ = 0;  // file offset of buffer_[0]
    std::size_t bufferLength_ = 0;
};

}  // namespace image
