#pragma once
// Large buffers backed by huge pages where the kernel offers them on request: a
// buffer of 100 MB first written takes a few dozen page faults rather than tens of
// thousands, and walking it down its columns misses the TLB far less.
#include <cstddef>
#include <vector>

namespace os {

// Advice only, for the whole huge pages inside [data, data + bytes); nothing
// changes where the kernel has none to give. Any arguments.
void AdviseHugePages(void* data, std::size_t bytes);

// The opposite advice, for the whole 4 KiB pages inside [data, data + bytes): for a
// buffer first written in one pass and then handed on, where zeroing huge pages on
// first touch was measured to cost more than the small pages' faults. Any arguments.
void AvoidHugePages(void* data, std::size_t bytes);

// `buffer` emptied and given room for `count` elements under that advice, before
// any of it is touched. Exhausted memory escapes as std::bad_alloc.
template <typename T>
void ReserveOnHugePages(std::vector<T>* buffer, std::size_t count) {
    buffer->clear();
    buffer->reserve(count);
    AdviseHugePages(buffer->data(), buffer->capacity() * sizeof(T));
}

}  // namespace os
