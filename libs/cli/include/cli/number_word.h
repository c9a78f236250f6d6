#pragma once
// Numbers as the companions take them on their command lines.
#include <optional>
#include <string>

namespace cli {

// The finite number that is the whole of `text`, read in the C locale (which the
// programs never change); nothing before or after it, no leading space. nullopt
// otherwise. Cannot fail.
std::optional<double> NumberOf(const std::string& text);

}  // namespace cli
