#include "failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace failing_allocation {
namespace {

std::atomic<bool> armed{false};
std::atomic<bool> failForGood{false};
std::atomic<std::size_t> failAt{0};
std::atomic<std::size_t> seen{0};

bool ShouldFail() {
    if (!armed.load(std::memory_order_acquire)) return false;
    const std::size_t k = seen.fetch_add(1);
    const std::size_t n = failAt.load();
    return failForGood.load() ? k >= n : k == n;
}

void* Allocate(std::size_t size) {
    if (ShouldFail()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void FailFrom(std::size_t n, bool persistent) {
    seen = 0;
    failAt = n;
    failForGood = persistent;
    armed.store(true, std::memory_order_release);
}

std::size_t Disarm() {
    armed.store(false, std::memory_order_release);
    return seen.load();
}

}  // namespace failing_allocation

// Every unaligned form, so that each new meets the matching delete; the aligned
// forms stay the library's, paired among themselves.
void* operator new(std::size_t size) {
    if (void* p = failing_allocation::Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return failing_allocation::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return failing_allocation::Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
