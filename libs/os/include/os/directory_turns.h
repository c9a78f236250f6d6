#pragma once
// Processes that rename files into the same directories, one at a time.
#include <chrono>
#include <string>
#include <vector>

namespace os {

// Holds an advisory lock (flock) on each of `directories` while it lives, so that
// the renames made meanwhile do not interleave with those of another process that
// holds them too. Each directory counts once however it is spelled; the locks are
// taken in one order, a directory's turn waited for up to `patience`. A directory
// whose turn does not come in time, cannot be opened or has no locks is gone on
// without: the holder still renames, unguarded, as it would have. Cannot fail;
// exhausted memory leaves the rest unguarded too.
class DirectoryTurns {
public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    explicit DirectoryTurns(const std::vector<std::string>& directories,
                            std::chrono::milliseconds patience = kPatience);
    ~DirectoryTurns();
    DirectoryTurns(const DirectoryTurns&) = delete;
    DirectoryTurns& operator=(const DirectoryTurns&) = delete;

private:
    std::vector<int> held_;  // descriptors, each with its lock
};

}  // namespace os
