#pragma once
// Holding the signals that would end the process while a file is half in place.
#include <signal.h>

namespace os {

// Holds SIGINT, SIGTERM, SIGHUP and SIGQUIT for the calling thread while it lives;
// a signal that arrived meanwhile takes effect when it ends. Holds nest when they
// end in the reverse order of their start. Cannot fail: a mask that cannot be set
// leaves the signals as they were.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t saved_;
};

// From now on a SIGBUS (a mapped input file cut short by another process) writes
// `message` (copied; its first 1023 bytes) to standard error and ends the process
// with `exitCode`, without unwinding: files being written beside their names go with
// it, the older ones stay. Returns false when the handler cannot be set.
bool ExitOnBusError(const char* message, int exitCode);

}  // namespace os
