// A standard output that is broken, full or closed: the run goes on, writes its files
// as it would have, and ends with the exit code it would have had.
#include <gtest/gtest.h>

#include <thread>

#include "tool.h"

namespace {

// Each way of losing the console: what the child's standard output becomes, and
// what the parent does meanwhile.
class LostConsole {
public:
    enum Kind { ReaderStopsAfterTenBytes, ReaderGoneBeforeStart, DevFull, Closed };
    static constexpr Kind kAll[] = {ReaderStopsAfterTenBytes, ReaderGoneBeforeStart, DevFull, Closed};
    static const char* name(Kind kind) {
        static const char* const names[] = {"reader stops after 10 bytes", "reader gone before start", "/dev/full",
                                            "closed"};
        return names[kind];
    }

    explicit LostConsole(Kind kind) : kind_(kind) {
        if (kind_ == ReaderStopsAfterTenBytes || kind_ == ReaderGoneBeforeStart) {
            EXPECT_EQ(pipe2(pipe_, O_CLOEXEC), 0);
            if (kind_ == ReaderGoneBeforeStart) close(std::exchange(pipe_[0], -1));
        }
        if (kind_ == ReaderStopsAfterTenBytes) {
            // As `| head -c 10` does: read ten bytes, then go.
            reader_ = std::thread([this] {
                char buffer[10];
                std::size_t got = 0;
                while (got < sizeof buffer) {
                    const ssize_t n = read(pipe_[0], buffer + got, sizeof buffer - got);
                    if (n <= 0) break;
                    got += static_cast<std::size_t>(n);
                }
                firstBytes_.assign(buffer, got);
                close(pipe_[0]);
            });
        }
    }
    ~LostConsole() {
        if (pipe_[1] >= 0) close(pipe_[1]);  // a reader still waiting sees the end
        if (reader_.joinable()) reader_.join();
    }
    LostConsole(const LostConsole&) = delete;
    LostConsole& operator=(const LostConsole&) = delete;

    // Runs in the child, after the test's own pipes are in place.
    std::function<void()> beforeExec() const {
        return [kind = kind_, writeEnd = pipe_[1]] {
            if (kind == Closed) {
                close(STDOUT_FILENO);
            } else if (kind == DevFull) {
                const int full = open("/dev/full", O_WRONLY);
                dup2(full, STDOUT_FILENO);
                close(full);
            } else {
                dup2(writeEnd, STDOUT_FILENO);  // dup2 drops close-on-exec from the copy
            }
            // Whatever the test runner inherited, the tool starts with the default.
            signal(SIGPIPE, SIG_DFL);
        };
    }

    const std::string& firstBytes() const { return firstBytes_; }

private:
    Kind kind_;
    int pipe_[2] = {-1, -1};
    std::thread reader_;
    std::string firstBytes_;
};

struct Job {
    TempDir dir;
    Job() {
        std::vector<unsigned char> h(64 * 64), t(64 * 64);
        for (unsigned i = 0; i < h.size(); ++i)
            h[i] = static_cast<unsigned char>((i * 7919u) >> 5), t[i] = i % 3 ? 0 : 200;
        WritePgm(dir.file("h.pgm"), 64, 64, h);
        WritePgm(dir.file("t.pgm"), 64, 64, t);
    }
    std::vector<std::string> args(const std::string& out, const std::string& trees = "t.pgm") const {
        return {"-H", dir.file("h.pgm"), "-T", dir.file(trees), "-r", "64", "-o", dir.file(out)};
    }
};

TEST(LostConsole, FinishedRunsWriteTheSameFilesAndEndTheSame) {
    Job job;
    const ProcessResult normal = RunTool(job.args("normal.dds"));
    ASSERT_EQ(normal.exitCode, 0) << normal.out;
    const auto expected = ReadAll(job.dir.file("normal.dds"));
    ASSERT_GT(expected.size(), 128u);

    for (const LostConsole::Kind kind : LostConsole::kAll) {
        const std::string out = "out" + std::to_string(kind) + ".dds";
        const std::string companion = "out" + std::to_string(kind) + ".winter.dds";
        LostConsole console(kind);
        const ProcessResult r = RunTool(job.args(out), 60, console.beforeExec());
        EXPECT_EQ(r.signal, 0) << LostConsole::name(kind);
        EXPECT_EQ(r.exitCode, 0) << LostConsole::name(kind);
        EXPECT_EQ(r.err, "") << LostConsole::name(kind);
        EXPECT_TRUE(ReadAll(job.dir.file(out)) == expected) << LostConsole::name(kind);
        EXPECT_TRUE(ReadAll(job.dir.file(companion)) == expected) << LostConsole::name(kind);
        if (kind == LostConsole::ReaderStopsAfterTenBytes) {
            EXPECT_EQ(console.firstBytes(), normal.out.substr(0, 10));
        }
    }
}

TEST(LostConsole, FailedRunsEndWithTheirOwnCodes) {
    Job job;
    std::filesystem::create_directory(job.dir.file("folder"));
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {job.args("a.dds", "folder"), 2},  // a tree map that cannot be loaded
        {{}, 7},                           // no arguments: the usage
        {{"-H", job.dir.file("h.pgm"), "-q"}, 7},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(RunTool(c.args).exitCode, c.exitCode);
        for (const LostConsole::Kind kind : LostConsole::kAll) {
            LostConsole console(kind);
            const ProcessResult r = RunTool(c.args, 60, console.beforeExec());
            EXPECT_EQ(r.signal, 0) << LostConsole::name(kind);
            EXPECT_EQ(r.exitCode, c.exitCode) << LostConsole::name(kind);
            EXPECT_EQ(r.err, "") << LostConsole::name(kind);
        }
    }
    EXPECT_EQ(job.dir.entries(), (std::vector<std::string>{"folder", "h.pgm", "t.pgm"}));
}

}  // namespace
