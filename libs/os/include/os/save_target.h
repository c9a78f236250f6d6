#pragma once
// Where a file saved under a given name ends up, and whether it may go there.
#include <sys/stat.h>

#include <string>

#include "status/status.h"

namespace os {

struct SaveTarget {
    std::string path;           // the name itself, or the file its symbolic links lead to
    bool exists = false;        // a regular file is there now
    struct stat existing = {};  // its owner and mode, when it exists
};

// Follows symbolic links at `name` to the file they lead to (which need not exist)
// and looks at what is there. Ok when a save may replace it: nothing, or a regular
// file. Otherwise PathNotFound for an empty name, a name ending in '/' or a
// missing directory, AccessDenied for a directory, device, FIFO or socket in the
// way or for a link in a sticky world-writable directory owned by neither this
// process's user nor the directory's owner, or the failure of the error met (a link
// loop, a name too long, ...). `target` (not null) is filled only on Ok.
// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status ResolveSaveTarget(const std::string& name, SaveTarget* target);

// The directory part of a path: "." when it has none; "/" for a name in the root.
std::string DirectoryOf(const std::string& path);

}  // namespace os
