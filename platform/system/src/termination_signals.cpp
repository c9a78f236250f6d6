#include "platform/termination_signals.h"

#include <pthread.h>

#include <initializer_list>

namespace platform {

TerminationSignalsBlocked::TerminationSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&blocked, s);
    pthread_sigmask(SIG_BLOCK, &blocked, &saved_);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

}  // namespace platform
