// What a save may replace, where it writes through links, what a replaced file
// keeps, saves that take their names together, and saving without /proc.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "../../support/temp_dir.h"
#include "os/atomic_file.h"
#include "platform/d3d9.h"
#include "platform/texture_files.h"
#include "platform/wide_text.h"
#include "test_device.h"

namespace {

namespace fs = std::filesystem;

struct Graphics : TestTexture {
    explicit Graphics(UINT size = 8) : TestTexture(size, size) {
        fillLevel0([size](float* texels) {
            for (UINT i = 0; i < size * size * 4; ++i) texels[i] = static_cast<float>(i) / 3;
        });
    }
    // The bytes a save writes, taken from a save into a directory of its own.
    std::vector<char> fileBytes() {
        TempDir scratch;
        EXPECT_EQ(save(scratch.file("reference.dds")), S_OK);
        return ReadAll(scratch.file("reference.dds"));
    }
};

// Runs `body` in a child process and returns its exit status (-1 if it did not exit).
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsRoot() { return geteuid() == 0; }

TEST(SaveTargets, WhatIsNotARegularFileIsRefusedAndLeftAlone) {
    TempDir dir;
    Graphics g;
    fs::create_directory(dir.file("folder"));
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, dir.file("socket").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::vector<std::string> refused = {"folder", "fifo", "socket"};
    if (IsRoot() && mknod(dir.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) refused.push_back("null");
    fs::create_symlink("fifo", dir.file("link-to-fifo"));
    fs::create_symlink(dir.file("folder"), dir.file("link-to-folder"));
    refused.insert(refused.end(), {"link-to-fifo", "link-to-folder"});
    const auto before = dir.entries();
    for (const auto& name : refused) {
        EXPECT_EQ(graphics::CheckSaveTarget(platform::WidenBytes(dir.file(name)).c_str()), E_ACCESSDENIED) << name;
        EXPECT_EQ(g.save(dir.file(name)), E_ACCESSDENIED) << name;
    }
    EXPECT_EQ(dir.entries(), before);  // nothing added, nothing replaced
    EXPECT_TRUE(fs::is_fifo(dir.file("fifo")));
    EXPECT_TRUE(fs::is_socket(dir.file("socket")));
    EXPECT_TRUE(fs::is_empty(dir.file("folder")));
    close(sock);
    for (const char* fine : {"absent.dds", "regular"}) {
        if (std::string(fine) == "regular") WriteAll(dir.file(fine), "x");
        EXPECT_EQ(graphics::CheckSaveTarget(platform::WidenBytes(dir.file(fine)).c_str()), S_OK) << fine;
    }
    EXPECT_EQ(graphics::CheckSaveTarget(platform::WidenBytes(dir.file("missing/out.dds")).c_str()), E_PATH_NOT_FOUND);
}

// A link given as the output: the file it leads to is written, beside itself; the
// link stays a link. Relative links count from the link's own directory.
TEST(SaveTargets, LinksLeadToTheFileWritten) {
    TempDir dir;
    Graphics g;
    const auto expected = g.fileBytes();
    fs::create_directory(dir.file("real"));
    WriteAll(dir.file("real/old.dds"), "old");
    fs::create_symlink("real/old.dds", dir.file("relative.dds"));
    fs::create_symlink(dir.file("relative.dds"), dir.file("chain.dds"));  // a link to a link
    fs::create_symlink("real/new.dds", dir.file("dangling.dds"));

    ASSERT_EQ(g.save(dir.file("chain.dds")), S_OK);
    EXPECT_TRUE(fs::is_symlink(dir.file("chain.dds")));
    EXPECT_TRUE(fs::is_symlink(dir.file("relative.dds")));
    EXPECT_EQ(ReadAll(dir.file("real/old.dds")), expected);

    ASSERT_EQ(g.save(dir.file("dangling.dds")), S_OK);  // the file is made where the link points
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.dds")));
    EXPECT_EQ(ReadAll(dir.file("real/new.dds")), expected);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"chain.dds", "dangling.dds", "real", "relative.dds"}));
    EXPECT_EQ(DirectoryEntries(dir.file("real")), (std::vector<std::string>{"new.dds", "old.dds"}));

    fs::create_symlink("loop-b", dir.file("loop-a"));
    fs::create_symlink("loop-a", dir.file("loop-b"));
    EXPECT_LT(g.save(dir.file("loop-a")), 0);
}

TEST(SaveTargets, AReplacedFileKeepsItsModeAndOwnerANewOneFollowsTheUmask) {
    TempDir dir;
    Graphics g;
    const std::string priv = dir.file("private.dds");
    WriteAll(priv, "old");
    ASSERT_EQ(chmod(priv.c_str(), 0600), 0);
    const bool root = IsRoot();
    if (root) {
        ASSERT_EQ(chown(priv.c_str(), 1234, 5678), 0);
    }
    ASSERT_EQ(g.save(priv), S_OK);
    struct stat after {};
    ASSERT_EQ(stat(priv.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(after.st_uid, 1234u);
        EXPECT_EQ(after.st_gid, 5678u);
    }
    EXPECT_EQ(InChild([&] {
                  umask(027);
                  if (g.save(dir.file("new.dds")) != S_OK) return 1;
                  struct stat made {};
                  stat(dir.file("new.dds").c_str(), &made);
                  return (made.st_mode & 0777) == 0640 ? 0 : 2;
              }),
              0);
}

// Both files are written and flushed before either takes its name; a failing
// second save leaves the first to be committed alone.
TEST(PendingSavesTest, NamesAreTakenOnlyAtCommit) {
    TempDir dir;
    Graphics g;
    const auto expected = g.fileBytes();
    WriteAll(dir.file("a.dds"), "old a");
    WriteAll(dir.file("b.dds"), "old b");
    {
        graphics::PendingSaves files;
        ASSERT_EQ(files.save(platform::WidenBytes(dir.file("a.dds")).c_str(), g.texture), S_OK);
        ASSERT_EQ(files.save(platform::WidenBytes(dir.file("b.dds")).c_str(), g.texture), S_OK);
        EXPECT_EQ(ReadAll(dir.file("a.dds")), std::vector<char>({'o', 'l', 'd', ' ', 'a'}));
        ASSERT_EQ(files.commit(), S_OK);
    }
    EXPECT_EQ(ReadAll(dir.file("a.dds")), expected);
    EXPECT_EQ(ReadAll(dir.file("b.dds")), expected);
    {
        graphics::PendingSaves files;
        ASSERT_EQ(files.save(platform::WidenBytes(dir.file("c.dds")).c_str(), g.texture), S_OK);
    }  // never committed: nothing appears
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.dds", "b.dds"}));
    {
        graphics::PendingSaves files;
        ASSERT_EQ(files.save(platform::WidenBytes(dir.file("d.dds")).c_str(), g.texture), S_OK);
        EXPECT_LT(files.save(platform::WidenBytes(dir.file("missing/e.dds")).c_str(), g.texture), 0);
        EXPECT_EQ(files.commit(), S_OK);
    }
    EXPECT_EQ(ReadAll(dir.file("d.dds")), expected);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.dds", "b.dds", "d.dds"}));
}

// In a private mount namespace with an empty /proc, unnamed files cannot be named:
// a hidden temporary file takes their place, and goes on every failure.
TEST(SaveTargets, SavesWithoutProc) {
    if (!IsRoot()) GTEST_SKIP() << "needs root for a private mount namespace";
    TempDir dir;
    Graphics g;
    const auto expected = g.fileBytes();
    const int status = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "/proc", "tmpfs", 0, "size=64k") != 0)
            return 10;
        if (g.save(dir.file("out.dds")) != S_OK) return 1;
        if (ReadAll(dir.file("out.dds")) != expected) return 2;
        // A write that fails part-way must not leave the temporary behind.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256, 256};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (g.save(dir.file("second.dds")) == S_OK) return 3;
        return dir.entries() == std::vector<std::string>{"out.dds"} ? 0 : 4;
    });
    if (status == 10) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
}

}  // namespace
