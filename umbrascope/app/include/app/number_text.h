#pragma once
// Decimal conversions of parameter values, as the C runtime's atoi and atof do
// them in the C locale, without undefined behaviour at the edges.
#include <cstdint>
#include <string>

namespace app {

// atoi: leading white space, a sign, digits up to the first other character; 0 when
// there are none. Values beyond the 32-bit range saturate to its nearest end. Any
// text; cannot fail.
std::int32_t TextToInt(const std::string& text);

// atof, rounded to a float; values beyond the float range become infinite or the
// largest float, as rounding to nearest gives them. Any text; 0 when no number
// starts it; cannot fail.
float TextToFloat(const std::string& text);

// Whether anything but blanks follows the number that TextToInt (TextToFloat)
// reads from the start of `text`: "4e3" and "33km" do, "12 " does not. False when
// no number starts it (that reads as 0, which validation judges as a value). Any
// text; cannot fail.
bool HasTextAfterInt(const std::string& text);
bool HasTextAfterFloat(const std::string& text);

}  // namespace app
