#include "app/number_text.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace app {

std::int32_t TextToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

float TextToFloat(const std::string& text) {
    const double value = std::strtod(text.c_str(), nullptr);
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
        // Rounding to nearest overflows from FLT_MAX plus half its last place on.
        const double overflow = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
        const float magnitude = std::fabs(value) >= overflow ? std::numeric_limits<float>::infinity() : FLT_MAX;
        return std::signbit(value) ? -magnitude : magnitude;
    }
    return static_cast<float>(value);
}

}  // namespace app
