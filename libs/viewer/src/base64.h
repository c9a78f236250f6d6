#pragma once
// Standard base64 (RFC 4648, with padding), as the page's atob() reads it.
#include <cstddef>
#include <string>

namespace viewer {

// Appends the encoding of `size` bytes at `data` to `out`. Exhausted memory
// escapes as std::bad_alloc.
void AppendBase64(const void* data, std::size_t size, std::string* out);

}  // namespace viewer
