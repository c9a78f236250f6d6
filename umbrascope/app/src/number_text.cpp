#include "app/number_text.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace app {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::size_t SkipBlanks(const std::string& text, std::size_t i) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i;
}

}  // namespace

std::int32_t TextToInt(const std::string& text) {
    std::size_t i = SkipBlanks(text, 0);
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

bool HasTextAfterInt(const std::string& text) {
    std::size_t i = SkipBlanks(text, 0);
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > digits && SkipBlanks(text, i) < text.size();
}

bool HasTextAfterFloat(const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    const auto read = static_cast<std::size_t>(end - text.c_str());
    return read > 0 && SkipBlanks(text, read) < text.size();
}

}  // namespace app
