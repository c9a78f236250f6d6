// Faults from outside: full disks, unusable output places, interrupts during the
// save, and inputs that are no images. Nothing may be lost, left half-written or
// hang.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <thread>

#include "tool.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kSaveFailed =
    "Writing HorizonMap fileERROR:Can`t save HorizonMap texture!\nERROR:Can`t save file.\n" +
    FailureReport("An undetermined error occurred");

// Size of the DDS of an n x n map with its whole mip chain.
std::size_t DdsBytes(unsigned n) {
    std::size_t texels = 0;
    for (unsigned s = n;; s /= 2) {
        texels += std::size_t{s} * s;
        if (s == 1) break;
    }
    return 128 + texels * 16;
}

// Input maps in one place, output in another.
struct Job {
    TempDir inputs, outputs;
    std::vector<std::string> args(unsigned size, const std::string& out) const {
        return {"-H", inputs.file("h.pgm"), "-T", inputs.file("t.pgm"), "-r", std::to_string(size), "-o", out};
    }
    explicit Job(unsigned size = 64) {
        std::vector<unsigned char> h(size * size), t(size * size);
        for (unsigned i = 0; i < size * size; ++i)
            h[i] = static_cast<unsigned char>((i * 7919u) >> 5), t[i] = i % 3 ? 0 : 200;
        WritePgm(inputs.file("h.pgm"), static_cast<int>(size), static_cast<int>(size), h);
        WritePgm(inputs.file("t.pgm"), static_cast<int>(size), static_cast<int>(size), t);
    }
};

std::string Text(const std::vector<char>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(Faults, DiskFullDuringTheSaveKeepsTheOlderFile) {
    Job job;
    const std::string out = job.outputs.file("out.dds");
    WriteAll(out, "older");
    // A file-size limit fails the write part-way, as a full disk does.
    const ProcessResult r = RunTool(job.args(64, out), 60, [] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16384, 16384};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.out.find(kSaveFailed), std::string::npos) << r.out;
    EXPECT_EQ(Text(ReadAll(out)), "older");
    EXPECT_EQ(job.outputs.entries(), std::vector<std::string>{"out.dds"});
}

TEST(Faults, UnusableOutputPlacesWriteNothing) {
    Job job;
    std::filesystem::create_directory(job.outputs.file("taken.dds"));
    for (const std::string& out :
         {job.outputs.file("taken.dds"), job.outputs.file("missing/out.dds"), job.outputs.file("taken.dds/")}) {
        const ProcessResult r = RunTool(job.args(16, out));
        EXPECT_EQ(r.exitCode, 6) << out;
        EXPECT_NE(r.out.find(kSaveFailed), std::string::npos) << r.out;
    }
    EXPECT_EQ(job.outputs.entries(), std::vector<std::string>{"taken.dds"});
    EXPECT_TRUE(std::filesystem::is_empty(job.outputs.file("taken.dds")));

    // The companion's place is taken by a directory, or the output is a FIFO (or,
    // for root, a device): refused before anything is written.
    std::filesystem::create_directory(job.outputs.file("pair.winter.dds"));
    ASSERT_EQ(mkfifo(job.outputs.file("fifo.dds").c_str(), 0600), 0);
    std::vector<std::string> refused = {job.outputs.file("pair.dds"), job.outputs.file("fifo.dds")};
    if (geteuid() == 0 && mknod(job.outputs.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        refused.push_back(job.outputs.file("null"));
    const auto before = job.outputs.entries();
    for (const auto& out : refused) {
        const ProcessResult r = RunTool(job.args(16, out));
        EXPECT_EQ(r.exitCode, 6) << out;
        EXPECT_NE(r.out.find(kSaveFailed), std::string::npos) << r.out;
    }
    EXPECT_EQ(job.outputs.entries(), before);
    EXPECT_TRUE(std::filesystem::is_fifo(job.outputs.file("fifo.dds")));
}

TEST(Faults, UnwritableDirectory) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere; the read-only file system case covers this";
    Job job;
    std::filesystem::permissions(job.outputs.path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const ProcessResult r = RunTool(job.args(16, job.outputs.file("out.dds")));
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_TRUE(job.outputs.entries().empty());
}

// Small file systems of our own, in a mount namespace of this test process: full
// during the first save, full during the second, and read-only.
class SmallFileSystem : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "needs root for a private tmpfs";
    }
    void mountAt(const std::string& dir, const std::string& options, unsigned long flags = 0) {
        ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", flags, options.c_str()), 0) << options;
        mounted_.push_back(dir);
    }
    void TearDown() override {
        for (const auto& dir : mounted_) umount2(dir.c_str(), MNT_DETACH);
    }
    std::vector<std::string> mounted_;
};

TEST_F(SmallFileSystem, FullDuringTheFirstSave) {
    Job job;
    mountAt(job.outputs.path(), "size=40k");  // the file needs 86 KiB
    WriteAll(job.outputs.file("out.dds"), "older");
    const ProcessResult r = RunTool(job.args(64, job.outputs.file("out.dds")));
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.out.find(kSaveFailed), std::string::npos) << r.out;
    EXPECT_EQ(Text(ReadAll(job.outputs.file("out.dds"))), "older");
    EXPECT_EQ(job.outputs.entries(), std::vector<std::string>{"out.dds"});
}

TEST_F(SmallFileSystem, FullDuringTheSecondSave) {
    Job job;
    mountAt(job.outputs.path(), "size=120k");  // room for one file of 86 KiB, not two
    WriteAll(job.outputs.file("out.winter.dds"), "older companion");
    const ProcessResult r = RunTool(job.args(64, job.outputs.file("out.dds")));
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.out.find("Writing HorizonMap file...ERROR:Can`t save HorizonMap texture!\nERROR:Can`t save file.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(std::filesystem::file_size(job.outputs.file("out.dds")), DdsBytes(64));  // complete
    EXPECT_EQ(Text(ReadAll(job.outputs.file("out.winter.dds"))), "older companion");
    EXPECT_EQ(job.outputs.entries(), (std::vector<std::string>{"out.dds", "out.winter.dds"}));
}

TEST_F(SmallFileSystem, ReadOnly) {
    Job job;
    mountAt(job.outputs.path(), "size=1m", MS_RDONLY);
    const ProcessResult r = RunTool(job.args(16, job.outputs.file("out.dds")));
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.out.find(kSaveFailed), std::string::npos) << r.out;
    EXPECT_TRUE(job.outputs.entries().empty());
}

// An interrupt or a termination while the files are written: the process ends, and
// whatever is left under the output names is complete; no temporary remains.
TEST(Faults, InterruptDuringTheSaveLeavesNoPartialFile) {
    constexpr unsigned kSize = 2048;  // 89 MB per file: the save takes a while
    Job job(kSize);
    for (int sig : {SIGINT, SIGTERM}) {
        const std::string out = job.outputs.file("out" + std::to_string(sig) + ".dds");
        bool sent = false;
        const ProcessResult r = RunTool(job.args(kSize, out), 300, {}, [&](pid_t child, const std::string& text) {
            if (!sent && text.find("Writing HorizonMap file") != std::string::npos) {
                kill(child, sig);
                sent = true;
            }
        });
        ASSERT_TRUE(sent) << r.out;
        EXPECT_TRUE(r.signal == sig || r.exitCode == 0) << r.out;
        const std::string companion = job.outputs.file("out" + std::to_string(sig) + ".winter.dds");
        for (const auto& file : {out, companion}) {
            if (std::filesystem::exists(file)) {
                EXPECT_EQ(std::filesystem::file_size(file), DdsBytes(kSize)) << file;
            }
        }
        std::printf("signal %d: ended by signal %d, exit %d, files left %zu\n", sig, r.signal, r.exitCode,
                    job.outputs.entries().size());
        for (const auto& name : job.outputs.entries()) EXPECT_EQ(name.rfind("out", 0), 0u) << name;  // no ".out..tmp"
    }
}

// Whether a file can be made in `dir` without a name: then a killed save leaves
// no temporary behind (elsewhere a named one survives SIGKILL, as any would).
bool TakesUnnamedFiles(const std::string& dir) {
    const int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
}

// SIGKILL, which nothing can hold off, at moments spread over the whole save: each
// name holds its older file or the new one complete, the companion is never newer
// than the main file, and nothing else is left.
TEST(Faults, KilledAtAnyMomentOfTheSaveLeavesWholeFilesOrTheOlderOnes) {
    constexpr unsigned kSize = 1024;  // 22 MB per file
    Job job(kSize);
    if (!TakesUnnamedFiles(job.outputs.path())) GTEST_SKIP() << "no unnamed temporary files here";
    const std::string reference = job.outputs.file("reference.dds");
    Clock::time_point saving{};
    const ProcessResult normal = RunTool(job.args(kSize, reference), 120, {}, [&](pid_t, const std::string& text) {
        if (saving == Clock::time_point{} && text.find("Writing HorizonMap file") != std::string::npos)
            saving = Clock::now();
    });
    ASSERT_EQ(normal.exitCode, 0) << normal.out;
    const auto saveTime = std::chrono::duration<double>(Clock::now() - saving).count();
    const std::vector<char> expected = ReadAll(reference);
    std::filesystem::remove(reference);
    std::filesystem::remove(job.outputs.file("reference.winter.dds"));

    const std::string out = job.outputs.file("out.dds"), companion = job.outputs.file("out.winter.dds");
    std::mt19937 random(7);
    int newMain = 0, newCompanion = 0;
    for (int run = 0; run < 12; ++run) {
        WriteAll(out, "older main");
        WriteAll(companion, "older companion");
        const auto delay = std::chrono::duration<double>(saveTime * 1.2 * (random() % 1000) / 1000.0);
        bool sent = false;
        const ProcessResult r = RunTool(job.args(kSize, out), 120, {}, [&](pid_t child, const std::string& text) {
            if (!sent && text.find("Writing HorizonMap file") != std::string::npos) {
                std::this_thread::sleep_for(delay);
                kill(child, SIGKILL);
                sent = true;
            }
        });
        ASSERT_TRUE(sent) << r.out;
        const std::vector<char> main = ReadAll(out), twin = ReadAll(companion);
        EXPECT_TRUE(Text(main) == "older main" || main == expected) << "run " << run;  // no partial file
        EXPECT_TRUE(Text(twin) == "older companion" || twin == expected) << "run " << run;
        if (twin == expected) {
            EXPECT_EQ(main, expected) << "companion renamed before the main file";
        }
        newMain += main == expected;
        newCompanion += twin == expected;
        // A kill between naming the new file and renaming it over the old one leaves
        // the hidden name (nothing holds off SIGKILL): the next save removes it.
        std::vector<std::string> entries = job.outputs.entries();
        std::erase_if(entries, [](const std::string& name) { return name.starts_with(".out.") && name.ends_with(".tmp"); });
        EXPECT_EQ(entries, (std::vector<std::string>{"out.dds", "out.winter.dds"})) << "run " << run;
    }
    ASSERT_EQ(RunTool(job.args(kSize, out)).exitCode, 0);
    EXPECT_EQ(job.outputs.entries(), (std::vector<std::string>{"out.dds", "out.winter.dds"})) << "after a whole run";

    // Only hidden names of this form whose maker no longer runs are removed.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string live = ".out.dds." + std::to_string(getpid()) + ".0123abcd.tmp", other = ".out.dds.1.tmp";
    for (const std::string& name : {".out.dds." + std::to_string(gone) + ".0123abcd.tmp", live, other})
        WriteAll(job.outputs.file(name), "x");
    ASSERT_EQ(RunTool(job.args(kSize, out)).exitCode, 0);
    EXPECT_EQ(job.outputs.entries(), (std::vector<std::string>{other, live, "out.dds", "out.winter.dds"}));
    std::printf("killed 12 times over %.3f s of saving: main new %d, companion new %d\n", saveTime, newMain,
                newCompanion);
}

// The output name replaced while the files are written, by a link to a private
// file: the pair comes from the tool's own data, both equal, and the linked file
// is never read nor written. The tool is stopped while the name is swapped; a run
// whose save had already ended by then proves nothing and is tried again.
TEST(Faults, ANameReplacedDuringTheSaveNeitherLeaksNorMixes) {
    constexpr unsigned kSize = 2048;  // 89 MB per file
    Job job(kSize);
    const std::string reference = job.outputs.file("reference.dds");
    ASSERT_EQ(RunTool(job.args(kSize, reference)).exitCode, 0);
    const std::vector<char> expected = ReadAll(reference);

    const std::string secret = job.inputs.file("secret"), out = job.outputs.file("out.dds");
    WriteAll(secret, "private bytes");
    chmod(secret.c_str(), 0600);
    bool replaced = false;
    for (int attempt = 0; attempt < 8 && !replaced; ++attempt) {
        std::filesystem::remove(out);
        WriteAll(out, "older main");
        bool seen = false;
        const ProcessResult r = RunTool(job.args(kSize, out), 120, {}, [&](pid_t child, const std::string& text) {
            // The first dots follow the main file's temporary: its name was resolved
            // (a link there before then is followed, as a link given as the output).
            if (seen || text.find("Writing HorizonMap file...") == std::string::npos) return;
            seen = true;
            kill(child, SIGSTOP);
            if (Text(ReadAll(out)) == "older main") {  // not renamed yet
                std::filesystem::remove(out);
                std::filesystem::create_symlink(secret, out);
                replaced = true;
            }
            kill(child, SIGCONT);
        });
        ASSERT_EQ(r.exitCode, 0) << r.out;
    }
    if (!replaced) GTEST_SKIP() << "every save ended before the tool could be stopped (a busy machine)";
    EXPECT_FALSE(std::filesystem::is_symlink(out));  // the new file took the name
    EXPECT_TRUE(ReadAll(out) == expected);
    EXPECT_TRUE(ReadAll(job.outputs.file("out.winter.dds")) == expected);
    EXPECT_EQ(Text(ReadAll(secret)), "private bytes");
    struct stat s {};
    ASSERT_EQ(stat(secret.c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 07777, 0600u);
}

TEST(Faults, InputsThatAreNoImages) {
    TempDir dir;
    const std::string good = dir.file("good.pgm");
    WritePgm(good, 4, 4, std::vector<unsigned char>(16, 9));
    mkfifo(dir.file("fifo.png").c_str(), 0600);
    WriteAll(dir.file("empty.png"), "");
    std::filesystem::create_directory(dir.file("folder.png"));
    std::vector<std::string> invalid = {dir.file("fifo.png"), "/dev/zero", dir.file("empty.png"),
                                        dir.file("folder.png")};
    std::mt19937 random(20261208);
    // 1500 bytes are no whole square of RAW samples of any size either.
    for (const char* ext :
         {"png", "jpg", "tif", "bmp", "tga", "pgm", "ppm", "pfm", "hdr", "dds", "exr", "raw", "r16", "r32", "r8"}) {
        std::string noise(1500, '\0');
        for (char& c : noise) c = static_cast<char>(random());
        const std::string name = dir.file(std::string("noise.") + ext);
        WriteAll(name, noise);
        invalid.push_back(name);
    }
    for (const auto& input : invalid) {
        // A time bound against hangs: a FIFO or a device is never read forever.
        const ProcessResult r = RunTool({"-H", input, "-T", good, "-r", "4"}, 20);
        EXPECT_FALSE(r.timedOut) << input;
        EXPECT_EQ(r.exitCode, 2) << input;
        EXPECT_NE(
            r.out.find("ERROR:Can`t load height map.\nERROR:Can`t init textures.\n" + FailureReport("Invalid data")),
            std::string::npos)
            << input << "\n"
            << r.out;
    }
}

TEST(Faults, HeadersClaimingHugeImagesAllocateNothing) {
    TempDir dir;
    const std::string good = dir.file("good.pgm");
    WritePgm(good, 4, 4, std::vector<unsigned char>(16, 9));
    WriteAll(dir.file("huge.pgm"), "P5\n100000 100000\n255\n" + std::string(4096, '\x11'));
    WriteAll(dir.file("huge.pfm"), "Pf\n100000 100000\n-1.0\n" + std::string(4096, '\x11'));
    for (const char* name : {"huge.pgm", "huge.pfm"}) {
        const ProcessResult r = RunTool({"-H", dir.file(name), "-T", good, "-r", "4"}, 20);
        EXPECT_EQ(r.exitCode, 2) << name;
        const bool reason = r.out.find(FailureReport("Ran out of memory")) != std::string::npos ||
                            r.out.find(FailureReport("Invalid data")) != std::string::npos;
        EXPECT_TRUE(reason) << r.out;
        EXPECT_LT(r.maxRssKb, 512 * 1024) << name;  // far below the claimed 160 GB
    }
}

}  // namespace
