#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <thread>

#include "platform/console.h"
#include "platform/wide_text.h"

namespace {

// With standard input not a terminal, the key wait reads nothing and returns.
TEST(Console, KeyWaitDoesNotReadAPipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "k", 1), 1);
    const int savedStdin = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    WaitForKey();
    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    char c = 0;
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    EXPECT_EQ(read(fds[0], &c, 1), 1);
    EXPECT_EQ(c, 'k');
    close(fds[0]);
    close(fds[1]);
}

TEST(Console, BeepNeverReachesStandardStreams) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    MessageBeep(48);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Console, PrintGoesToStandardOutputAsFormatted) {
    testing::internal::CaptureStdout();
    ConsolePrint("a%sc%d %f", "b", 7, 1.5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "abc7 1.500000");
}

// In a child of its own, since it changes the process: with standard output closed
// and SIGPIPE at its default, the next file opened must not become standard output,
// and writing to a pipe without a reader must fail instead of ending the process.
TEST(Console, ProtectedStreamsSurviveClosedOutputAndBrokenPipes) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGPIPE, SIG_DFL);
        close(STDOUT_FILENO);
        ProtectStandardStreams();
        const int opened = open("/proc/self/stat", O_RDONLY);
        if (opened == STDOUT_FILENO || fcntl(STDOUT_FILENO, F_GETFD) == -1) _exit(1);
        int fds[2];
        if (pipe(fds) != 0) _exit(2);
        close(fds[0]);
        const char c = 'x';
        _exit(write(fds[1], &c, 1) == -1 && errno == EPIPE ? 0 : 3);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Console, WindowAndClock) {
    EXPECT_NE(GetDesktopWindow(), nullptr);
    const std::uint32_t before = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint32_t elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 10000u);
}

TEST(WideText, BytesSurviveTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::wstring wide = platform::WidenBytes(all);
    ASSERT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide[0xC2], L'\xC3');
    EXPECT_EQ(platform::NarrowToBytes(wide), all);
    EXPECT_EQ(platform::NarrowToBytes(L"\x20AC"), "\xE2\x82\xAC");  // beyond a byte: UTF-8
}

}  // namespace
