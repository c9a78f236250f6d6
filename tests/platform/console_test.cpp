#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

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
    const std::wstring wide = WidenBytes(all);
    ASSERT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide[0xC2], L'\xC3');
    EXPECT_EQ(NarrowToBytes(wide), all);
    EXPECT_EQ(NarrowToBytes(L"\x20AC"), "\xE2\x82\xAC");  // beyond a byte: UTF-8
}

}  // namespace
