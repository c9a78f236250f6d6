#include "os/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace os {

void AdviseHugePages(void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    if (data == nullptr || bytes < kHugePage || start > UINTPTR_MAX - bytes) return;
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace os
