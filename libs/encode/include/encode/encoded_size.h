#pragma once
// How large an encoded file can grow, so that encoders reserve it once.
#include <cstdint>

namespace encode {

// A size no file the encoders make from `rawBytes` of samples in `rows` rows
// exceeds (deflate that cannot pack, chunk and strip tables, headers): the encoders
// reserve it, so that the file grows without copies. Any values; saturates.
std::uint64_t EncodedBytesBound(std::uint64_t rawBytes, std::uint64_t rows);

}  // namespace encode
