// Faults from outside: full disks, unusable output places, interrupts during the
// save, and inputs that are no images. Nothing may be lost, left half-written or
// hang.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <random>

#include "tool.h"

namespace {

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
