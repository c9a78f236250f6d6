#pragma once
// An output made whole in memory, written so that it appears complete or not at all.
#include <cstddef>
#include <string>

#include "outputs/progress_line.h"
#include "status/status.h"

namespace outputs {

// Writes `size` bytes from `data` beside `path`, flushes them to disk and renames
// the file over `path` (os::AtomicFile): a failure never leaves a partial file nor
// touches an older one. Written in pieces, each shown on `line` when given. Ok, or
// the failing file operation's status (its reason names the file; out of memory
// included).
[[nodiscard]] status::Status WriteFile(const std::string& path, const void* data, std::size_t size,
                                       ProgressLine* line = nullptr);

}  // namespace outputs
