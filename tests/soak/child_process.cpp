#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& workingDirectory, int timeoutSeconds) {
    ChildResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]), close(outPipe[1]);
        return result;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull < 0 || dup2(devnull, STDIN_FILENO) < 0 || dup2(outPipe[1], STDOUT_FILENO) < 0 ||
            dup2(errPipe[1], STDERR_FILENO) < 0 || setsid() < 0 || chdir(workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]), close(errPipe[1]);
    if (child < 0) {
        close(outPipe[0]), close(errPipe[0]);
        return result;
    }

    const auto deadline = start + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int openPipes = 2;
    while (openPipes > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            kill(-child, SIGKILL);  // setsid made it a group leader
            kill(child, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --openPipes;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    for (pollfd& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}
