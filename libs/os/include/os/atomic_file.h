#pragma once
// A file that appears under its name complete or not at all.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "os/direct_writer.h"
#include "os/errno_result.h"
#include "os/save_target.h"
#include "os/termination_signals.h"
#include "status/status.h"

namespace os {

// Written as an unnamed file beside its target and given the target's name only
// when complete and flushed, so a failure, a full disk or a killed process never
// leaves a partial file and never touches a file already there. Where the file
// system has no unnamed files, or /proc is missing to name one, a hidden temporary
// name is used, removed on every failure, with the termination signals held while
// it exists; it is short where the target's name leaves no room for a suffix, so
// any name the directory allows can be saved. The target is the file a symbolic
// link at the name leads to; a file replaced keeps its permission bits and, where
// the process may set them, its owner and group. Bulk data goes to the disk
// directly where the file system allows it (DirectWriter).
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Abandons an uncommitted file. The signals held for a temporary name are
    // released only here, so files that end in reverse order of opening nest.
    ~AtomicFile();

    // Starts the file that is to appear at `path`, abandoning one already started.
    // Ok; ResolveSaveTarget's refusal of the name; OutOfMemory; or the result of
    // the error met creating the file. Nothing of it is visible under `path` yet.
    [[nodiscard]] status::Status open(const std::string& path, DirectWriter::Mode mode = DirectWriter::Mode::Direct);
    // Appends `bytes` from `data` (not null unless `bytes` is 0). Ok; Failed when
    // the file is not open or already finished; or the write error met.
    [[nodiscard]] status::Status write(const void* data, std::size_t bytes);
    // Writes `bytes` from `data` at `offset`, over what is there or beyond it, for a
    // file laid out out of order (opened with Mode::Buffered and written only this
    // way). Ok; Failed when not open, finished or direct; or the write error met.
    [[nodiscard]] status::Status writeAt(std::uint64_t offset, const void* data, std::size_t bytes);
    // Gives the file its exact length and flushes it to disk; commit() does it too.
    // Ok (also once more after success); Failed when not open; or the error met.
    [[nodiscard]] status::Status finish();

    enum class DirectorySync { Now, ByCaller };
    // Finishes the file and puts it in place of the target; with DirectorySync::Now,
    // the new name is made durable too. Ok, or the first error met; on a failure
    // before the rename the target is untouched and the file can be abandoned.
    [[nodiscard]] status::Status commit(DirectorySync sync = DirectorySync::Now);

    // The file the name leads to (valid after open).
    const std::string& targetPath() const { return target_.path; }
    bool usesTemporaryName() const { return !tempName_.empty(); }

private:
    void abandon();
    [[nodiscard]] status::Status keepOwnerAndMode();

    SaveTarget target_;
    std::string tempName_;  // only when the file cannot be unnamed
    std::unique_ptr<TerminationSignalsBlocked> signalsHeld_;
    std::unique_ptr<DirectWriter> writer_;
    int fd_ = -1;
    bool finished_ = false;
};

// Flushes `directory`, so that a rename into it survives a crash. Ok, also where
// the file system cannot flush directories; the error met opening or flushing it.
[[nodiscard]] status::Status SyncDirectory(const std::string& directory);

}  // namespace os
