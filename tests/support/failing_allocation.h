#pragma once
// Exhausted memory on demand: a test program that links failing_allocation.cpp has
// its global allocation functions replaced; once armed, the n-th allocation from
// then on fails (with std::bad_alloc, or null for the nothrow forms), and with
// `persistent` every later one too, as when memory has run out for good.
#include <cstddef>

namespace failing_allocation {

void FailFrom(std::size_t n, bool persistent);

// Back to allocating normally; returns how many allocations were asked for
// since arming.
std::size_t Disarm();

// Disarms on every way out of a scope.
class Armed {
public:
    Armed(std::size_t n, bool persistent) { FailFrom(n, persistent); }
    ~Armed() { Disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace failing_allocation
