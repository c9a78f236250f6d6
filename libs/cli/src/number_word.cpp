#include "cli/number_word.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace cli {

std::optional<double> NumberOf(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace cli
