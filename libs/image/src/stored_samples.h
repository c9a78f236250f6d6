#pragma once
// Samples stored in kinds the row types do not carry: signed integers, 32-bit
// unsigned integers, half and double floats. Decoders hand them on as F32 rows.
#include <cstddef>
#include <cstdint>

namespace image {

enum class StoredSample : std::uint8_t { S8, S16, S32, U32, F16, F64 };

constexpr unsigned StoredSampleBytes(StoredSample kind) {
    switch (kind) {
        case StoredSample::S8: return 1;
        case StoredSample::S16:
        case StoredSample::F16: return 2;
        case StoredSample::S32:
        case StoredSample::U32: return 4;
        case StoredSample::F64: return 8;
    }
    return 0;
}

// Signed k of `bits` bits (8, 16 or 32) as max(k / (2^(bits-1) - 1), -1), rounded
// once to the nearest float: both ends of the range are -1 and 1.
float SignedToFloat(std::int32_t k, unsigned bits);

// k / (2^32 - 1), rounded once to the nearest float.
float Unsigned32ToFloat(std::uint32_t k);

// `count` samples of `kind` in native byte order to native floats, as the rows of
// SampleType::F32 hold them: integers as above, halves exactly, doubles rounded to
// the nearest float.
void StoredToFloats(StoredSample kind, const std::uint8_t* native, std::size_t count, std::uint8_t* floats);

}  // namespace image
