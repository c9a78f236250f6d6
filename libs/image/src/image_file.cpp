#include "image/image_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <string>

#include "bad_data.h"
#include "os/errno_result.h"

namespace image {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

// A missing file in a missing directory is a missing path, as the file system
// results that callers know tell them apart.
bool ParentDirectoryExists(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return true;
    const std::string parent(path, slash == path ? 1 : static_cast<std::size_t>(slash - path));
    struct stat info {};
    return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The system's map, but for a reader a name that cannot lead to a file is a path
// not found, and a missing file is told from a missing directory.
[[nodiscard]] status::Status FailureOfOpenError(int error, const char* path) {
    switch (error) {
        case ENOENT:
            return ParentDirectoryExists(path) ? status::Fail(status::Code::NotFound, {})
                                               : status::Fail(status::Code::PathNotFound, {});
        case ENAMETOOLONG:
        case ELOOP:
        case ENXIO:
        case ENODEV: return status::Fail(status::Code::PathNotFound, {});
        default: return os::FailureOfErrno(error);
    }
}

// pread that retries interrupted calls; returns the bytes read before the end or an error.
std::size_t ReadFully(int fd, std::uint64_t offset, std::uint8_t* destination, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(fd, destination + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

ImageFile::~ImageFile() {
    if (fd_ >= 0) close(fd_);
}

status::Status ImageFile::open(const char* path) {
    assert(path != nullptr && fd_ < 0);
    // Look before opening so that a device is never opened (opening some has side
    // effects); fstat below settles the race with a file swapped in between.
    struct stat info {};
    if (stat(path, &info) != 0) return FailureOfOpenError(errno, path);
    if (!S_ISREG(info.st_mode)) return BadData("not a regular file");

    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return FailureOfOpenError(errno, path);
    fd_ = fd;
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return BadData("not a regular file");
    if (info.st_size <= 0) return BadData("the file is empty");
    size_ = static_cast<std::uint64_t>(info.st_size);
    buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, kBufferSize)));
    return status::Ok();
}

std::shared_ptr<const std::uint8_t> ImageFile::mapWhole() const {
    if (fd_ < 0 || size_ == 0 || size_ > SIZE_MAX) return nullptr;
    const auto bytes = static_cast<std::size_t>(size_);
    void* at = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (at == MAP_FAILED) return nullptr;
    return {static_cast<const std::uint8_t*>(at),
            [bytes](const std::uint8_t* p) { munmap(const_cast<std::uint8_t*>(p), bytes); }};
}

bool ImageFile::refill() {
    if (position_ >= size_) return false;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size_ - position_));
    bufferOffset_ = position_;
    bufferLength_ = ReadFully(fd_, position_, buffer_.data(), want);
    return bufferLength_ > 0;
}

std::size_t ImageFile::read(void* destination, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        if (position_ >= size_) break;
        const bool inBuffer = position_ >= bufferOffset_ && position_ < bufferOffset_ + bufferLength_;
        if (!inBuffer) {
            // Large reads skip the buffer.
            const std::uint64_t left = size_ - position_;
            if (count - done >= buffer_.size()) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, left));
                const std::size_t got = ReadFully(fd_, position_, out + done, want);
                done += got;
                position_ += got;
                if (got < want) break;
                continue;
            }
            if (!refill()) break;
        }
        const std::size_t offset = static_cast<std::size_t>(position_ - bufferOffset_);
        const std::size_t n = std::min(count - done, bufferLength_ - offset);
        std::memcpy(out + done, buffer_.data() + offset, n);
        done += n;
        position_ += n;
    }
    return done;
}

bool ImageFile::readExactAt(std::uint64_t offset, void* destination, std::size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    return ReadFully(fd_, offset, static_cast<std::uint8_t*>(destination), count) == count;
}

}  // namespace image
