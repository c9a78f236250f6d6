#pragma once
// How an encoder tells how far it has come.
#include <cstdint>
#include <functional>

namespace encode {

// Called with the rows encoded so far, never decreasing; must not throw. An empty one
// is not called.
using RowsDone = std::function<void(std::uint32_t rows)>;

}  // namespace encode
