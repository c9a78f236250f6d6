#include "base64.h"

#include <cstdint>

namespace viewer {

void AppendBase64(const void* data, std::size_t size, std::string* out) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->reserve(out->size() + (size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t left = size - i;
        const std::uint32_t group = std::uint32_t{bytes[i]} << 16 | (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                    (left > 2 ? bytes[i + 2] : 0);
        out->push_back(kDigits[group >> 18 & 63]);
        out->push_back(kDigits[group >> 12 & 63]);
        out->push_back(left > 1 ? kDigits[group >> 6 & 63] : '=');
        out->push_back(left > 2 ? kDigits[group & 63] : '=');
    }
}

}  // namespace viewer
