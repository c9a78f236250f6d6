#include "os/page_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "os/huge_pages.h"
#include "os/memory_budget.h"

namespace os {

namespace {

// Large textures are walked down their columns, a page or more per step: on 4 KB
// pages every step misses the TLB and its page table entry. Huge pages, where the
// kernel has them, cut both; they need a 2 MB aligned start.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = 4 * kHugePage;

void* MapPages(std::size_t bytes) {
    return mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
}

// A mapping of `bytes` starting on a huge page boundary: one huge page more is
// mapped and the slack on either side returned.
void* MapOnHugePageBoundary(std::size_t bytes) {
    if (bytes > SIZE_MAX - kHugePage) return MAP_FAILED;
    const std::size_t mapped = bytes + kHugePage;
    void* p = MapPages(mapped);
    if (p == MAP_FAILED) return p;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
    const std::uintptr_t end = start + mapped;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t used = aligned + (bytes + page - 1) / page * page;
    if (aligned > start) munmap(p, aligned - start);
    if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
    AdviseHugePages(reinterpret_cast<void*>(aligned), bytes);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

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

status::Status FitsInMemory(std::size_t bytes, std::size_t promised) {
    // Refuse up front what cannot be backed: an untouched mapping would succeed and
    // the kernel would kill the process later, when the pages are written.
    return CheckFitsInMemoryBeside(bytes, promised);
}

status::Status PageBuffer::allocate(std::size_t bytes, std::size_t promised, PageBuffer& out) {
    if (status::Status s = FitsInMemory(bytes == 0 ? 1 : bytes, promised); !s.ok()) return s;
    return map(bytes, out);
}

status::Status PageBuffer::map(std::size_t bytes, PageBuffer& out) {
    if (bytes == 0) bytes = 1;
    void* p = bytes >= kHugeFrom ? MapOnHugePageBoundary(bytes) : MapPages(bytes);
    if (p == MAP_FAILED) return status::OutOfMemory();
    out = PageBuffer();
    out.data_ = p;
    out.size_ = bytes;
    return status::Ok();
}

}  // namespace os
