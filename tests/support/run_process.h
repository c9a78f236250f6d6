#pragma once
// Runs a program as a child process with standard input from /dev/null and
// collects its standard output, standard error and exit status.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;      // -1 when it did not exit normally
    int signal = 0;         // the signal that ended it, if any
    bool timedOut = false;  // then the child's whole process group was killed
    double seconds = 0;     // from start to end
    long maxRssKb = 0;      // peak resident memory of the child
    double processorSeconds = 0;  // the child's user and system time
    std::string out;
    std::string err;
};

// `beforeExec` runs in the child (limits, signal dispositions); `whileOutput` runs
// in the parent on each piece of standard output read so far, with the child's pid.
inline ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutSeconds = 60,
                                const std::function<void()>& beforeExec = {},
                                const std::function<void(pid_t, const std::string&)>& whileOutput = {}) {
    int outPipe[2], errPipe[2];
    ProcessResult result;
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]), close(outPipe[1]);
        return result;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]), close(errPipe[0]), close(outPipe[1]), close(errPipe[1]);
        setsid();  // no controlling terminal: nothing may reach one
        if (beforeExec) beforeExec();
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
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
    int open = 2;
    while (open > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(-child, SIGKILL);  // setsid made it a group leader
            kill(child, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
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
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                if (i == 0 && whileOutput) whileOutput(child, result.out);
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.maxRssKb = usage.ru_maxrss;
    result.processorSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}
