// Names a save shares: with other runs saving at once, with links others plant in
// shared directories, with the input maps; and names as long as a directory allows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <tuple>

#include "tool.h"

namespace {

// <i>.pgm, each of other heights, and t.pgm without trees.
void WriteMaps(const TempDir& dir, int count) {
    std::vector<unsigned char> h(64);
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < 64; ++j) h[j] = static_cast<unsigned char>(j * 7 + i * 13);
        WritePgm(dir.file(std::to_string(i) + ".pgm"), 8, 8, h);
    }
    WritePgm(dir.file("t.pgm"), 8, 8, std::vector<unsigned char>(64, 0));
}

std::vector<std::string> Tool(const std::string& height, const std::string& tree, const std::string& out) {
    return {UMBRASCOPE_EXE, "-H", height, "-T", tree, "-r", "8", "-o", out};
}

// Renames that interleave mix the pair in about half of such rounds.
TEST(SharedNames, RunsSavingAtOnceLeaveAPairOfOneRun) {
    TempDir dir;
    WriteMaps(dir, 20);
    std::string runs;  // started at once by a shell, which tells each failure
    for (int i = 0; i < 20; ++i) {
        runs += "{ ";
        for (const auto& word : Tool(dir.file(std::to_string(i) + ".pgm"), dir.file("t.pgm"), dir.file("out.dds")))
            runs.append(word).append(" ");
        runs += ">/dev/null || echo failed; } & ";
    }
    for (int round = 0; round < 8; ++round) {
        const ProcessResult r = RunProcess({"/bin/sh", "-c", runs + "wait"});
        ASSERT_TRUE(r.exitCode == 0 && r.out.empty()) << r.out;
        ASSERT_TRUE(ReadAll(dir.file("out.dds")) == ReadAll(dir.file("out.winter.dds"))) << "mixed in round " << round;
    }
}

// Names a save must take whole or refuse before writing, in one sticky world-writable
// directory: a component of 255 bytes (the longest output whose companion fits has
// 248), links planted there by another user, and the input maps themselves.
TEST(SharedNames, EachNameIsTakenOrRefusedBeforeWriting) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give links to another user";
    TempDir dir;
    WriteMaps(dir, 1);
    WritePgm(dir.file("t.winter.pgm"), 8, 8, std::vector<unsigned char>(64, 0));
    WriteAll(dir.file("private"), "root only");
    ASSERT_TRUE(chmod(dir.file("private").c_str(), 0600) == 0 && chmod(dir.path().c_str(), 01777) == 0);
    for (const auto& [link, to, owner] : {std::tuple{"own.winter.dds", "private", 0},
                                          {"link.dds", "0.pgm", 0},
                                          {"planted.winter.dds", "private", 65534},
                                          {"planted.exr", "private", 65534}})
        ASSERT_TRUE(symlink(to, dir.file(link).c_str()) == 0 && lchown(dir.file(link).c_str(), owner, owner) == 0);
    const std::string longest(244, 'a'), exported = std::string(251, 'c') + ".exr";
    const std::string refused = "ERROR:Can`t save file.\n", denied = refused + FailureReport("Access is denied");
    const struct {
        std::vector<std::string> argv, saved;  // saved: written, all equal
        int exitCode;
        std::string said;
    } cases[] = {
        {Tool("0.pgm", "t.pgm", longest + ".dds"), {longest + ".dds", longest + ".winter.dds"}, 0, "Good day!"},
        {Tool("0.pgm", "t.pgm", std::string(251, 'b') + ".dds"), {}, 6, refused},
        {{UMBRASCOPE_EXPORT_EXE, longest + ".dds", "-c", exported}, {exported}, 0, exported},
        {Tool("0.pgm", "t.pgm", "own.dds"), {"own.dds", "private"}, 0, "Good day!"},
        {Tool("0.pgm", "t.pgm", "planted.dds"), {}, 6, refused},
        {{UMBRASCOPE_EXPORT_EXE, "own.dds", "-c", "planted.exr"}, {}, 6, "cannot write"},
        {Tool("0.pgm", "t.pgm", "./0.pgm"), {}, 6, denied},
        {Tool("0.pgm", "t.winter.pgm", "t.pgm"), {}, 6, denied},
        {Tool("0.pgm", "t.pgm", "link.dds"), {}, 6, denied},
    };
    const auto contents = [&] {
        std::map<std::string, std::vector<char>> files;
        for (const auto& name : dir.entries()) files[name] = ReadAll(dir.file(name));  // links followed
        return files;
    };
    for (const auto& c : cases) {
        const auto before = contents();
        const ProcessResult r = RunProcess(c.argv, 60, [&] { (void)!chdir(dir.path().c_str()); });
        EXPECT_EQ(r.exitCode, c.exitCode) << c.argv.back() << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_TRUE(c.exitCode == 0 || contents() == before) << "changed by " << c.argv.back();
        for (const auto& name : c.saved)
            EXPECT_TRUE(!ReadAll(dir.file(name)).empty() && ReadAll(dir.file(name)) == ReadAll(dir.file(c.saved[0])))
                << name;
    }
}

}  // namespace
