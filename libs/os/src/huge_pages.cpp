#include "os/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace os {

namespace {

// `advice` for the whole pages of `page` bytes inside [data, data + bytes).
void Advise(void* data, std::size_t bytes, std::uintptr_t page, int advice) {
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    if (data == nullptr || bytes < page || start > UINTPTR_MAX - bytes) return;
    const std::uintptr_t first = (start + page - 1) & ~(page - 1);
    const std::uintptr_t end = (start + bytes) & ~(page - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, advice);
}

}  // namespace

void AdviseHugePages(void* data, std::size_t bytes) { Advise(data, bytes, std::uintptr_t{2} << 20, MADV_HUGEPAGE); }

void AvoidHugePages(void* data, std::size_t bytes) { Advise(data, bytes, 4096, MADV_NOHUGEPAGE); }

}  // namespace os
