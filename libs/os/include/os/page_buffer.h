#pragma once
// Zero-filled memory straight from the kernel: pages are only backed once touched,
// so a texture nobody writes costs nothing, and the buffer is freed on destruction.
#include <cstddef>

#include "status/status.h"

namespace os {

// Ok when `bytes` more fit beside `promised` (handed out, not yet touched) in the
// memory available now, as CheckFitsInMemoryBeside counts it; OutOfMemory when not.
[[nodiscard]] status::Status FitsInMemory(std::size_t bytes, std::size_t promised);

// The mapping of one buffer, moved never copied; a moved-from or default buffer
// holds nothing (data() null, size() 0).
class PageBuffer {
public:
    PageBuffer() = default;
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    ~PageBuffer();

    // Maps `bytes` (any size; 0 is taken as 1) into `out`, releasing what
    // `out` held. Ok, or OutOfMemory when `bytes` plus `promised` (memory
    // already handed out but not yet touched) exceeds the memory available now, or
    // the mapping fails; `out` is unchanged then.
    [[nodiscard]] static status::Status allocate(std::size_t bytes, std::size_t promised, PageBuffer& out);

    // Maps `bytes` without asking the budget, for callers that check what they will
    // touch themselves (FitsInMemory). Ok, or OutOfMemory; `out` unchanged then.
    [[nodiscard]] static status::Status map(std::size_t bytes, PageBuffer& out);

    // The zero-filled memory, page-aligned, and its size in bytes.
    void* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace os
