#include "os/termination_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cstring>

#include <algorithm>
#include <initializer_list>

namespace os {

TerminationSignalsBlocked::TerminationSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&blocked, s);
    pthread_sigmask(SIG_BLOCK, &blocked, &saved_);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

namespace {

char busMessage[1024];
std::size_t busMessageLength = 0;
int busExitCode = 1;

void OnBusError(int) {
    // Only what is safe in a handler: one write, then _exit.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, busMessage, busMessageLength);
    _exit(busExitCode);
}

}  // namespace

bool ExitOnBusError(const char* message, int exitCode) {
    busMessageLength = std::min(std::strlen(message), sizeof busMessage - 1);
    std::memcpy(busMessage, message, busMessageLength);
    busExitCode = exitCode;
    struct sigaction action {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, nullptr) == 0;
}

}  // namespace os
