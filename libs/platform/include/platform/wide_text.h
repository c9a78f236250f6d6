#pragma once
// Wide texts hold bytes: each byte of a command-line word is the wide character of
// the same value, so any file name (UTF-8 or not) survives the trip unchanged.
#include <string>
#include <string_view>

namespace platform {

// Each byte becomes the wide character of the same value. Any bytes can be passed,
// NULs included. Exhausted memory escapes as std::bad_alloc, here and below.
std::wstring WidenBytes(std::string_view bytes);

// The inverse of WidenBytes: characters below 256 become their byte; any other
// character (only ever from outside the tool) is written as UTF-8.
std::string NarrowToBytes(std::wstring_view text);

}  // namespace platform
