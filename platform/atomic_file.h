#pragma once
// A file that appears under its name complete or not at all.
#include <signal.h>

#include <cstddef>
#include <memory>
#include <string>

#include "results/result_code.h"

// Holds SIGINT, SIGTERM, SIGHUP and SIGQUIT for the calling thread while it lives;
// a signal that arrived meanwhile takes effect when it ends.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t saved_;
};

// Written as an unnamed file in the target's directory and given its name only when
// complete and flushed, so a failure, a full disk or a killed process never leaves
// a partial file and never touches a file already there. Where the file system has
// no unnamed files, a hidden temporary name is used and removed on failure.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();  // abandons an uncommitted file

    // S_OK, or a facility-7 result for the error met (path not found, access
    // denied, a directory in the way, ...).
    HRESULT open(const std::string& path);
    HRESULT write(const void* data, std::size_t bytes);
    // Appends everything from the current offset of `source` to its end.
    HRESULT copyFrom(int source);
    // Flushes to disk and puts the file in place of the target.
    HRESULT commit();

private:
    void abandon();

    std::string target_;
    std::string tempName_;  // only when the file system has no unnamed files
    std::unique_ptr<TerminationSignalsBlocked> signalsHeld_;
    int fd_ = -1;
};

// Copies the file `source` to `target`, which appears complete or not at all.
HRESULT CopyFileAtomically(const std::string& source, const std::string& target);

// The facility-7 result code of an errno value.
HRESULT ResultFromErrno(int error);
