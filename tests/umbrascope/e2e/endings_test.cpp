// Every way a run can end, seen from outside: standard output and exit code.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>

#include "tool.h"

namespace {

TEST(Endings, NoArgumentPrintsTheUsage) {
    const ProcessResult r = RunTool({});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(r.out, kBanner + kToolUsage + FailureReport("An undetermined error occurred"));
    EXPECT_EQ(r.err, "");
}

TEST(Endings, ParseErrorsShowTextCaretAndMessage) {
    const std::string longLine = "-H heights.png -T trees.png -o some/long/output/name/horizon.dds -r 1024 -q";
    const struct {
        std::vector<std::string> args;
        std::string lines;  // error line, caret line, message
    } cases[] = {
        {{"--Nope=1", "-H", "a"}, "--Nope=1 -H a\n^\n--Nope: invalid parameter\n"},
        {{"-H", "a", "-q"}, "-H a -q\n      ^\n-q: invalid parameter\n"},
        {{"-R", "5"}, "-R 5\n ^\n-R: invalid parameter\n"},
        {{"--OutRez", "1024"}, "--OutRez 1024\n^\n--OutRez: parameter argument missing\n"},
        {{"-H", "a", "-T", "b", "-r"}, "-H a -T b -r\n           ^\n-r: parameter argument missing\n"},
        {{"-H", "\"abc"}, "-H \"abc\n    ^\nMissing enclosing quotemark\n"},
        {{"-H", "a"}, "-H a\n    ^\nMissing required parameter --TMfname\n"},
        {{"-r", "5"}, "-r 5\n    ^\nMissing required parameter --HMfname\n"},
        {{"-H", "a", "-T", "b", "extra"}, "-H a -T b extra\n          ^\nextra: invalid parameter\n"},
        {{"--HeightZero=-5", "-H", "a", "-T", "b"},
         "--HeightZero=-5 -H a -T b\n              ^\n-5: invalid parameter\n"},
        {{"-H", "a", "-T", "b", "[x]"}, "-H a -T b [x]\n          ^\nSyntax error\n"},
        // 75 characters: an error near the end keeps the last 67 behind "...", and
        // the caret stands at 74 - 75 + 70.
        {{"-H", "heights.png", "-T", "trees.png", "-o", "some/long/output/name/horizon.dds", "-r", "1024", "-q"},
         "..." + longLine.substr(8) + "\n" + std::string(69, ' ') + "^\n-q: invalid parameter\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 7) << c.lines;
        EXPECT_EQ(r.out, kBanner + c.lines + FailureReport("An undetermined error occurred"));
    }
}

TEST(Endings, ValidationMessages) {
    TempDir dir;
    const std::string map = dir.file("map.pgm");
    WritePgm(map, 2, 2, {0, 1, 2, 3});
    const std::string missing = dir.file("missing \xC3\xA9.png");  // printed byte for byte
    const std::string tooLong(260, 'n');
    const struct {
        std::vector<std::string> args;
        std::string printed;
    } cases[] = {
        {{"-H", missing, "-T", map, "-r", "1023"},
         "WARNING: Out File Resolution is not deviding by 2WARNING: Out File Resolution is not ^2\n"
         "ERROR:File " +
             missing + " not found\n"},
        {{"-H", map, "-T", missing, "-r", "2048"},
         "WARNING: Out File Resolution is not ^2\nERROR:File " + missing + " not found\n"},
        {{"-H", map, "-T", map, "-s", "0"}, "ERROR:bad Terrain Size: must be > 0\n"},
        {{"-H", map, "-T", map, "-s", "inf"}, "ERROR:bad Terrain Size: must be a finite number\n"},
        {{"-H", map, "-T", map, "-r", "abc"}, "ERROR:bad Out File Resolution: must be > 0\n"},
        {{"-H", map, "-T", map, "-h", "0"}, "ERROR:bad Height koeficient: must be a finite number other than 0\n"},
        {{"-H", map, "-T", map, "-z", "nan"}, "ERROR:bad Height Zero Point: must be a finite number\n"},
        {{"-H", map, "-T", map, "-o", tooLong}, "ERROR:Outfname is longer than 259 characters\n"},
        {{"-H", "", "-T", map}, "ERROR:File  not found\n"},
        // Text after a number is refused, not read up to it; before the other checks.
        {{"-H", map, "-T", map, "-r", "4e3"}, "ERROR: OutRez value '4e3' is not a whole number\n"},
        {{"-H", map, "-T", map, "-r", "1k", "-s", "0"}, "ERROR: OutRez value '1k' is not a whole number\n"},
        {{"-H", map, "-T", map, "-r", "4", "-s", "33km"}, "ERROR: TerraSize value '33km' is not a number\n"},
        {{"-H", map, "-T", map, "-r", "4", "-s", "10,000"}, "ERROR: TerraSize value '10,000' is not a number\n"},
        {{"-H", map, "-T", map, "-r", "4", "-h", "6e2abc"}, "ERROR: Height value '6e2abc' is not a number\n"},
        {{"-H", map, "-T", map, "-r", "4", "-z", "12m"}, "ERROR: HeightZero value '12m' is not a number\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 7) << c.printed;
        EXPECT_EQ(r.out, kBanner + c.printed + FailureReport("An undetermined error occurred"));
    }
}

TEST(Endings, StepFailuresReachTheirExitCodes) {
    TempDir dir;
    const std::string map = dir.file("map.pgm");
    WritePgm(map, 2, 2, {0, 1, 2, 3});
    const std::string loading = "Loading textures";

    // A directory passes validation (it exists) and fails loading.
    ProcessResult r = RunTool({"-H", dir.path().string(), "-T", map, "-r", "4"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, kBanner + loading + "ERROR:Can`t load height map.\nERROR:Can`t init textures.\n" +
                         FailureReport("Invalid data"));

    r = RunTool({"-H", map, "-T", dir.path().string(), "-r", "4"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, kBanner + loading + "....ERROR:Can`t load tree map.\nERROR:Can`t init textures.\n" +
                         FailureReport("Invalid data"));

    // Too large for this machine: refused before anything is allocated.
    for (const char* rez : {"46341", "2147483647", "99999999999"}) {
        r = RunTool({"-H", map, "-T", map, "-r", rez}, 20);
        EXPECT_EQ(r.exitCode, 2) << rez;
        EXPECT_NE(r.out.find("ERROR:Can`t load height map.\nERROR:Can`t init textures.\n" +
                             FailureReport("Ran out of memory")),
                  std::string::npos)
            << r.out;
    }

    // The output's directory does not exist: the save fails and nothing appears.
    r = RunTool({"-H", map, "-T", map, "-r", "4", "-o", dir.file("missing/out.dds")});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.out.find("Writing HorizonMap fileERROR:Can`t save HorizonMap texture!\nERROR:Can`t save file.\n" +
                         FailureReport("An undetermined error occurred")),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"map.pgm"});
}

// The failing tool with a terminal of its own as standard input: whatever ends its
// key wait, a key or a termination signal, the terminal gets its settings back.
TEST(Endings, KeyWaitGivesTheTerminalBack) {
    for (const int signal : {0, SIGTERM, SIGHUP, SIGINT}) {
        int terminal = -1, side = -1;
        ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
        termios before{}, now{};
        ASSERT_EQ(tcgetattr(side, &before), 0);
        const auto onTerminal = [side] { ioctl(side, TIOCSCTTY, 0), dup2(side, STDIN_FILENO); };
        const auto endWait = [&](pid_t child, const std::string& out) {
            if (!out.ends_with("Press any key for exit...")) return;
            // The prompt comes just before the wait switches echo off.
            for (int i = 0; i < 500 && tcgetattr(side, &now) == 0 && (now.c_lflag & ECHO) != 0; ++i) usleep(10000);
            EXPECT_EQ(signal != 0 ? kill(child, signal) : write(terminal, "x", 1) - 1, 0);
        };
        const ProcessResult r = RunTool({}, 60, onTerminal, endWait);  // no argument: usage, then failure
        EXPECT_EQ(signal != 0 ? r.signal : r.exitCode, signal != 0 ? signal : 7);
        ASSERT_EQ(tcgetattr(side, &now), 0);
        EXPECT_EQ(now.c_lflag, before.c_lflag) << signal;
        EXPECT_EQ(now.c_cc[VMIN], before.c_cc[VMIN]) << signal;
        close(terminal), close(side);
    }
}

}  // namespace
