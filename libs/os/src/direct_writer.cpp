#include "os/direct_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "os/errno_result.h"

namespace os {

namespace {

// Many blocks, so that data that never lines up still costs one write per megabyte.
constexpr std::size_t kStagingBytes = std::size_t{1} << 20;
// Large pieces keep the system calls few; writes may return short anyway.
constexpr std::size_t kChunk = std::size_t{64} << 20;

bool Aligned(const void* p, std::size_t ahead = 0) {
    return (reinterpret_cast<std::uintptr_t>(p) + ahead) % DirectWriter::kBlock == 0;
}

}  // namespace

DirectWriter::DirectWriter(int fd, Mode mode) : fd_(fd), staging_(nullptr, &std::free) {
    if (mode != Mode::Direct) return;
    void* buffer = nullptr;
    if (posix_memalign(&buffer, kBlock, kStagingBytes) != 0) return;  // ordinary writes need no staging
    staging_.reset(static_cast<unsigned char*>(buffer));
    const int flags = fcntl(fd_, F_GETFL);
    direct_ = flags >= 0 && fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
}

DirectWriter::~DirectWriter() = default;

void DirectWriter::stopDirect() {
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
    direct_ = false;
}

status::Status DirectWriter::writeAt(const void* data, std::size_t bytes, std::uint64_t offset) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        const ssize_t written = pwrite(fd_, p, std::min(bytes, kChunk), static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            // Refused for this file or this piece after all: the same bytes, cached.
            if (errno == EINVAL && direct_) {
                stopDirect();
                continue;
            }
            return FailureOfErrno(errno);
        }
        if (written == 0) return FailureOfErrno(ENOSPC);
        p += written;
        bytes -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return status::Ok();
}

status::Status DirectWriter::flushStaging(std::size_t bytes) {
    status::Status s = writeAt(staging_.get(), bytes, end_ - staged_);
    staged_ = 0;
    return s;
}

status::Status DirectWriter::write(const void* data, std::size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        if (!direct_) {
            if (staged_ > 0)
                if (status::Status s = flushStaging(staged_); !s.ok()) return s;
            status::Status s = writeAt(p, bytes, end_);
            end_ += bytes;
            return s;
        }
        if (staged_ == 0 && Aligned(p) && bytes >= kBlock) {
            const std::size_t run = std::min(bytes / kBlock * kBlock, kChunk);
            if (status::Status s = writeAt(p, run, end_); !s.ok()) return s;
            p += run;
            bytes -= run;
            end_ += run;
            continue;
        }
        // Staged data starts on a block, so the file offset lines up again at the
        // next block boundary; stop there if the source lines up too.
        std::size_t take = std::min(bytes, kStagingBytes - staged_);
        const std::size_t toBoundary = kBlock - staged_ % kBlock;
        if (Aligned(p, toBoundary)) take = std::min(take, toBoundary);
        std::memcpy(staging_.get() + staged_, p, take);
        staged_ += take;
        end_ += take;
        p += take;
        bytes -= take;
        if (staged_ % kBlock == 0 && (staged_ == kStagingBytes || Aligned(p)))
            if (status::Status s = flushStaging(staged_); !s.ok()) return s;
    }
    return status::Ok();
}

status::Status DirectWriter::finish() {
    if (staged_ == 0) return status::Ok();
    if (!direct_) return flushStaging(staged_);
    // The last block goes out whole, padded, and the file is cut to its length.
    const std::size_t padded = (staged_ + kBlock - 1) / kBlock * kBlock;
    std::memset(staging_.get() + staged_, 0, padded - staged_);
    if (status::Status s = flushStaging(padded); !s.ok()) return s;
    while (ftruncate(fd_, static_cast<off_t>(end_)) != 0)
        if (errno != EINTR) return FailureOfErrno(errno);
    return status::Ok();
}

}  // namespace os
