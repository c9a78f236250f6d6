#pragma once
// Runs a program as a child process with standard input from /dev/null and
// collects its standard output, standard error and exit status.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;    // -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    long maxRssKb = 0;    // peak resident memory of the child
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
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
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
    wait4(child, &status, 0, &usage);
    result.maxRssKb = usage.ru_maxrss;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}
