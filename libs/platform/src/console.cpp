#include "platform/console.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <iterator>

void ConsolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    // A failed write needs nothing here: stdio drops what it could not write and
    // tries the next print afresh.
    std::fflush(stdout);
}

void ProtectStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one.
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

namespace {

// The terminal's settings before the key wait, for a signal handler to put back.
termios gTerminalBeforeWait{};

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The handler is reset to the default on entry (SA_RESETHAND), so the raised signal,
// held until the handler returns, then ends the process as it would have.
extern "C" void RestoreTerminalAndEnd(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &gTerminalBeforeWait);
    raise(signal);
}

// Key mode (no echo, no line editing, no signal keys) for as long as it lives; the
// terminal gets its settings back on every way out: the end of the wait, or a
// termination signal meanwhile. Signals the process ignores or handles itself are
// left alone.
class KeyMode {
public:
    KeyMode(const termios& saved, const termios& raw) {
        gTerminalBeforeWait = saved;
        struct sigaction restore {};
        restore.sa_handler = &RestoreTerminalAndEnd;
        restore.sa_flags = SA_RESETHAND;
        sigemptyset(&restore.sa_mask);
        for (const int s : kEndingSignals) sigaddset(&restore.sa_mask, s);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            installed_[i] = sigaction(kEndingSignals[i], nullptr, &previous_[i]) == 0 &&
                            previous_[i].sa_handler == SIG_DFL && sigaction(kEndingSignals[i], &restore, nullptr) == 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~KeyMode() {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &gTerminalBeforeWait);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            if (installed_[i]) sigaction(kEndingSignals[i], &previous_[i], nullptr);
    }
    KeyMode(const KeyMode&) = delete;
    KeyMode& operator=(const KeyMode&) = delete;

    bool active() const { return active_; }

private:
    struct sigaction previous_[std::size(kEndingSignals)]{};
    bool installed_[std::size(kEndingSignals)] = {};
    bool active_ = false;
};

}  // namespace

void WaitForKey() {
    if (!isatty(STDIN_FILENO)) return;
    // A job in the background would be stopped by the terminal for touching it.
    if (tcgetpgrp(STDIN_FILENO) != getpgrp()) return;
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    // ISIG off too: Ctrl-C is a key like any other here, and the terminal is
    // always restored.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    const KeyMode mode(saved, raw);
    if (!mode.active()) return;
    unsigned char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
}

void MessageBeep(unsigned /*type*/) {
    const int tty = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return;
    const char bell = '\a';
    [[maybe_unused]] const auto written = write(tty, &bell, 1);
    close(tty);
}

HWND GetDesktopWindow() {
    static int desktop = 0;
    return &desktop;
}

std::uint32_t GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}
