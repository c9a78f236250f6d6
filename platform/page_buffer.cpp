#include "platform/page_buffer.h"

#include <sys/mman.h>

#include <utility>

#include "platform/image/memory_budget.h"

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        PageBuffer old(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

PageBuffer::~PageBuffer() {
    if (data_ != nullptr) munmap(data_, size_);
}

HRESULT PageBuffer::Allocate(std::size_t bytes, std::size_t promised, PageBuffer& out) {
    if (bytes == 0) bytes = 1;
    // Refuse up front what cannot be backed: an untouched mapping would succeed and
    // the kernel would kill the process later, when the pages are written.
    const std::size_t available = static_cast<std::size_t>(AvailableMemoryBytes());
    if (bytes > available || promised > available - bytes) return E_OUTOFMEMORY;
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return E_OUTOFMEMORY;
    out = PageBuffer();
    out.data_ = p;
    out.size_ = bytes;
    return S_OK;
}
