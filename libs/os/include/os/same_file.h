#pragma once
// Whether two names lead to one file, however they are spelled.
#include <string>

namespace os {

// True when both names exist and lead (links followed) to the same file: the same
// device and inode. False when either cannot be looked at, which for a save means
// the output does not exist yet and so cannot be an input. Any texts; cannot fail.
[[nodiscard]] bool NamesSameFile(const std::string& a, const std::string& b);

}  // namespace os
