#pragma once
// Holding the signals that would end the process while a file is half in place.
#include <signal.h>

namespace platform {

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

}  // namespace platform
