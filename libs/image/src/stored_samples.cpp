#include "stored_samples.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "half_float.h"

namespace image {

namespace {

// k / d for |k| <= d < 2^32, d odd, rounded once to float. Below 2^24 both are
// exact floats and the float division rounds once. Above, the quotient is taken in
// long double and then rounded to float, which can differ from rounding k / d
// itself only where the long double falls exactly on a midpoint between two floats.
// k / d is never such a midpoint M / 2^s (odd d would have to divide k), and lies
// at least 1 / (d M) of it, over 2^-57, away, while the long double is within 2^-64
// of k / d. A double is not enough: (2^32 - 129) / (2^32 - 1) rounds to the
// midpoint below 1, then to 1.
static_assert(std::numeric_limits<long double>::digits >= 64, "the 32-bit quotients need a 64-bit significand");

float RoundedQuotient(std::int64_t k, std::uint32_t d) {
    if (d < (1u << 24)) return static_cast<float>(k) / static_cast<float>(d);
    return static_cast<float>(static_cast<long double>(k) / static_cast<long double>(d));
}

template <typename T>
T Load(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T, typename Convert>
void ConvertAll(const std::uint8_t* native, std::size_t count, std::uint8_t* floats, Convert convert) {
    for (std::size_t i = 0; i < count; ++i) {
        const float value = convert(Load<T>(native + i * sizeof(T)));
        std::memcpy(floats + i * sizeof(float), &value, sizeof value);
    }
}

}  // namespace

float SignedToFloat(std::int32_t k, unsigned bits) {
    const auto max = static_cast<std::uint32_t>((std::uint64_t{1} << (bits - 1)) - 1);
    return std::max(RoundedQuotient(k, max), -1.0f);
}

float Unsigned32ToFloat(std::uint32_t k) { return RoundedQuotient(k, UINT32_MAX); }

void StoredToFloats(StoredSample kind, const std::uint8_t* native, std::size_t count, std::uint8_t* floats) {
    switch (kind) {
        case StoredSample::S8:
            return ConvertAll<std::int8_t>(native, count, floats, [](std::int8_t k) { return SignedToFloat(k, 8); });
        case StoredSample::S16:
            return ConvertAll<std::int16_t>(native, count, floats, [](std::int16_t k) { return SignedToFloat(k, 16); });
        case StoredSample::S32:
            return ConvertAll<std::int32_t>(native, count, floats, [](std::int32_t k) { return SignedToFloat(k, 32); });
        case StoredSample::U32: return ConvertAll<std::uint32_t>(native, count, floats, &Unsigned32ToFloat);
        case StoredSample::F16: return ConvertAll<std::uint16_t>(native, count, floats, &HalfToFloat);
        case StoredSample::F64:
            return ConvertAll<double>(native, count, floats, [](double v) { return static_cast<float>(v); });
    }
}

}  // namespace image
